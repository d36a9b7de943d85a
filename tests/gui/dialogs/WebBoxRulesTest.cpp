#include <gtest/gtest.h>

#include "ui/WebAddress.h"
#include "ui/WebBoxRegister.h"

namespace {

using ui::WebBoxRegister;

TEST(WebBoxRegisterTest, OpenUntilClosed) {
    using State = WebBoxRegister::BoxState;
    WebBoxRegister reg;
    EXPECT_EQ(reg.State(42), State::NeverOpened);
    EXPECT_FALSE(reg.IsOpen(1));
    EXPECT_FALSE(reg.IsOpen(42));

    reg.MarkOpen(42);
    EXPECT_TRUE(reg.IsOpen(42));
    EXPECT_EQ(reg.State(42), State::Open);
    EXPECT_FALSE(reg.IsOpen(43));

    reg.MarkClosed(42);
    EXPECT_FALSE(reg.IsOpen(42));
    EXPECT_EQ(reg.State(42), State::Closed);

    reg.MarkOpen(1);
    EXPECT_TRUE(reg.IsOpen(1));
}

TEST(WebBoxAddressTest, LoadingPageGetsTheTargetWithoutPlainSchemePrefixes) {
    const struct {
        const char* product;
        const char* target;
        const char* address;
    } cases[] = {
        {"http://p.test", "http://www.a.test/x.htm",
         "http://p.test/load/LoadingPage.htm?q=www.a.test/x.htm"},
        // Every occurrence goes, also inside the query; nothing is encoded.
        {"http://p.test", "http://a.test/go?u=http://b.test/&n=1",
         "http://p.test/load/LoadingPage.htm?q=a.test/go?u=b.test/&n=1"},
        {"http://p.test", "www.a.test/x", "http://p.test/load/LoadingPage.htm?q=www.a.test/x"},
        // Only the plain prefix, lower case, exactly.
        {"http://p.test", "https://a.test/x",
         "http://p.test/load/LoadingPage.htm?q=https://a.test/x"},
        {"http://p.test", "HTTP://A.test/x",
         "http://p.test/load/LoadingPage.htm?q=HTTP://A.test/x"},
        {"http://p.test:8080/", "http://a.test/x",
         "http://p.test:8080/load/LoadingPage.htm?q=a.test/x"},
        {"http://p.test", "", "http://p.test/load/LoadingPage.htm?q="},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ui::LoadingPageAddress(QString::fromUtf8(c.product), QString::fromUtf8(c.target)),
                  QString::fromUtf8(c.address))
            << c.target;
    }
}

TEST(WebBoxAddressTest, IntroductionPageOnTheDownloadServer) {
    EXPECT_EQ(ui::IntroductionAddress(QStringLiteral("http://d.test"), 1234),
              QStringLiteral("http://d.test/rv_intro.php?aid=1234"));
    EXPECT_EQ(ui::IntroductionAddress(QStringLiteral("http://d.test/"), 7),
              QStringLiteral("http://d.test/rv_intro.php?aid=7"));
}

TEST(WebBoxAddressTest, CatalogAddressesOpenOnlyAsWebAddresses) {
    const struct {
        const char* address;
        const char* opened;  // empty: refused
    } cases[] = {
        {"http://a.test/x", "http://a.test/x"},
        {"https://a.test/x?y=1", "https://a.test/x?y=1"},
        {"HTTPS://A.test", "HTTPS://A.test"},
        {"  http://a.test  ", "http://a.test"},
        {"www.a.test/x", "http://www.a.test/x"},
        {"a.test:8080/x", "http://a.test:8080/x"},
        {"localhost:80", "http://localhost:80"},
        {"file:///etc/passwd", ""},
        {"javascript:alert(1)", ""},
        {"mailto:a@b.test", ""},
        {"ftp://a.test/x", ""},
        {"C:\\Windows\\notepad.exe", ""},
        {"c:/tools/run.exe", ""},
        {"/usr/bin/xterm", ""},
        {"\\\\server\\share\\run.exe", ""},
        {"", ""},
        {"   ", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ui::CatalogWebAddress(QString::fromUtf8(c.address)), QString::fromUtf8(c.opened))
            << c.address;
    }
}

TEST(WebBoxAddressTest, CaptionNamesTheOwningGame) {
    catalog::GameList games(2);
    games[0].id = 10;
    games[0].title = "仙境传说";
    games[1].id = 11;
    games[1].title = "剑侠";
    catalog::ToolRecord item;
    item.title = "攻略";
    const struct {
        std::uint32_t gameId;
        const char* caption;
    } cases[] = {{11, "剑侠： 攻略"}, {0, "攻略"}, {99, "攻略"}};
    for (const auto& c : cases) {
        item.gameId = c.gameId;
        EXPECT_EQ(ui::ItemCaption(games, item), QString::fromUtf8(c.caption)) << c.gameId;
    }
}

}  // namespace

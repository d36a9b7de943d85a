// The web pages of a launcher built without web boxes: they reach the default browser as the
// loading-page address a box would have requested, and nothing but a web address does.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UrlRecorder.h"
#include "ui/WebPages.h"

namespace {

using ui::WebBoxRegister;
using ui::WebPageBox;
using Urls = std::vector<std::string>;

const QString kProduct = QStringLiteral("http://p.test/");
const std::string kLoading = "http://p.test/load/LoadingPage.htm?q=";

catalog::CGameTool Item(std::uint32_t id, std::uint32_t type, const char* url) {
    catalog::CGameTool item;
    item.id = id;
    item.TYPE = type;
    item.TITLE = "攻略";
    item.URL = url;
    return item;
}

TEST(WebPagesInBrowserTest, ItemPagesOpenThroughTheLoadingPage) {
    const struct {
        const char* url;
        WebPageBox box;
        Urls opened;
    } cases[] = {
        {"http://pages.test/guide", WebPageBox::Small, {kLoading + "pages.test/guide"}},
        {"pages.test/map", WebPageBox::Large, {kLoading + "pages.test/map"}},
        {"https://pages.test/x?y=1&z=2",
         WebPageBox::Small,
         {kLoading + "https://pages.test/x?y=1&z=2"}},
        {"pages.test:8080/x", WebPageBox::Small, {kLoading + "pages.test:8080/x"}},
        // Encoded as the web view would have sent it.
        {"http://pages.test/新手 攻略",
         WebPageBox::Large,
         {kLoading + "pages.test/%E6%96%B0%E6%89%8B%20%E6%94%BB%E7%95%A5"}},
        // Not a web address: the browser never hears of it.
        {"file:///etc/passwd", WebPageBox::Small, {}},
        {"javascript:alert(1)", WebPageBox::Large, {}},
        {"C:\\Windows\\notepad.exe", WebPageBox::Small, {}},
        {"\\\\server\\share\\run.exe", WebPageBox::Small, {}},
        {"/usr/bin/xterm", WebPageBox::Small, {}},
        {"", WebPageBox::Small, {}},
    };
    for (const auto& c : cases) {
        UrlRecorder browser;
        WebBoxRegister reg;
        // No window of the launcher's own opens, so a run never minimises the main window.
        EXPECT_FALSE(ui::OpenItemPage(Item(301, catalog::kTypeSmallWebBox, c.url), c.box,
                                      QStringLiteral("仙境传说： 攻略"), kProduct, reg))
            << c.url;
        EXPECT_EQ(browser.urls, c.opened) << c.url;
        EXPECT_FALSE(reg.IsOpen(301)) << c.url;
    }
}

TEST(WebPagesInBrowserTest, EveryRunOpensThePageAgain) {
    UrlRecorder browser;
    WebBoxRegister reg;
    const catalog::CGameTool item = Item(302, catalog::kTypeLargeWebBox, "http://pages.test/map");
    for (int run = 0; run < 2; ++run) {
        ui::OpenItemPage(item, WebPageBox::Large, QStringLiteral("地图"), kProduct, reg);
    }
    EXPECT_EQ(browser.urls, Urls(2, kLoading + "pages.test/map"));
    EXPECT_NE(reg.State(302), WebBoxRegister::kOpen);
}

TEST(WebPagesInBrowserTest, IntroductionPagesOpenThroughTheLoadingPage) {
    UrlRecorder browser;
    for (int run = 0; run < 2; ++run) {
        ui::OpenIntroductionPage(QStringLiteral("小工具页"), 20001, kProduct,
                                 QStringLiteral("http://d.test/dl/"));
    }
    EXPECT_EQ(browser.urls, Urls(2, kLoading + "d.test/dl/rv_intro.php?aid=20001"));
}

TEST(WebPagesInBrowserTest, AProductServerThatIsNotAWebAddressOpensNothing) {
    for (const char* product : {"file:///srv/pages", "C:\\pages", ""}) {
        UrlRecorder browser;
        WebBoxRegister reg;
        ui::OpenItemPage(Item(303, catalog::kTypeSmallWebBox, "http://pages.test/guide"),
                         WebPageBox::Small, QStringLiteral("攻略"), QString::fromUtf8(product),
                         reg);
        ui::OpenIntroductionPage(QStringLiteral("攻略"), 303, QString::fromUtf8(product),
                                 QStringLiteral("http://d.test"));
        EXPECT_EQ(browser.urls, Urls()) << product;
    }
}

}  // namespace

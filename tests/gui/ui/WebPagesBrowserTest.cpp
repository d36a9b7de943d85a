// The web pages of a launcher built without web boxes: they reach the default browser as the
// loading-page address a box would have requested, and nothing but a web address does.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UrlRecorder.h"
#include "ui/WebPages.h"

namespace {

using ui::WebBoxRegister;
using ui::WebPageSize;
using Urls = std::vector<std::string>;

const QString kProduct = QStringLiteral("http://p.test/");
const std::string kLoading = "http://p.test/load/LoadingPage.htm?q=";

catalog::ToolRecord Item(std::uint32_t id, std::uint32_t type, const char* url) {
    catalog::ToolRecord item;
    item.id = id;
    item.type = type;
    item.title = "攻略";
    item.url = url;
    return item;
}

TEST(WebPagesInBrowserTest, ItemPagesOpenThroughTheLoadingPage) {
    const struct {
        const char* url;
        WebPageSize box;
        Urls opened;
    } cases[] = {
        {"http://pages.test/guide", WebPageSize::Small, {kLoading + "pages.test/guide"}},
        {"pages.test/map", WebPageSize::Large, {kLoading + "pages.test/map"}},
        {"https://pages.test/x?y=1&z=2",
         WebPageSize::Small,
         {kLoading + "https://pages.test/x?y=1&z=2"}},
        {"pages.test:8080/x", WebPageSize::Small, {kLoading + "pages.test:8080/x"}},
        // Encoded as the web view would have sent it.
        {"http://pages.test/新手 攻略",
         WebPageSize::Large,
         {kLoading + "pages.test/%E6%96%B0%E6%89%8B%20%E6%94%BB%E7%95%A5"}},
        // Not a web address: the browser never hears of it.
        {"file:///etc/passwd", WebPageSize::Small, {}},
        {"javascript:alert(1)", WebPageSize::Large, {}},
        {"C:\\Windows\\notepad.exe", WebPageSize::Small, {}},
        {"\\\\server\\share\\run.exe", WebPageSize::Small, {}},
        {"/usr/bin/xterm", WebPageSize::Small, {}},
        {"", WebPageSize::Small, {}},
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
    const catalog::ToolRecord item = Item(302, catalog::kTypeLargeWebBox, "http://pages.test/map");
    for (int run = 0; run < 2; ++run) {
        ui::OpenItemPage(item, WebPageSize::Large, QStringLiteral("地图"), kProduct, reg);
    }
    EXPECT_EQ(browser.urls, Urls(2, kLoading + "pages.test/map"));
    EXPECT_NE(reg.State(302), WebBoxRegister::BoxState::Open);
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
                         WebPageSize::Small, QStringLiteral("攻略"), QString::fromUtf8(product),
                         reg);
        ui::OpenIntroductionPage(QStringLiteral("攻略"), 303, QString::fromUtf8(product),
                                 QStringLiteral("http://d.test"));
        EXPECT_EQ(browser.urls, Urls()) << product;
    }
}

}  // namespace

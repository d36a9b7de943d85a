#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <csignal>
#include <functional>

#include "DialogTestSupport.h"
#include "RunFixture.h"
#include "WebEngineMaps.h"
#include "ui/WebBoxRegister.h"
#include "ui/WebPageBoxHost.h"
#include "ui/WebPages.h"

namespace {

using catalog::ViewKind;
using dialogtest::WaitFor;
using ui::WebBoxRegister;
using ui::WebPageBoxHost;

WebPageBoxHost& Host() {
    return WebPageBoxHost::Process();
}

// Waits until the helper has put every box the launcher asked for on screen.
bool AllShown() {
    return WaitFor([] {
        for (const WebPageBoxHost::Box& box : Host().Boxes()) {
            if (box.frame.isNull()) {
                return false;
            }
        }
        return true;
    });
}

// Closes box `key` as its close button would and waits until the helper said it has gone.
bool CloseBox(std::uint32_t key) {
    Host().Close(key);
    return WaitFor([key] {
        for (const WebPageBoxHost::Box& box : Host().Boxes()) {
            if (box.key == key) {
                return false;
            }
        }
        return true;
    });
}

// Whether process `pid` has ended and been reaped.
bool Ended(qint64 pid) {
    return WaitFor([pid] { return !QDir(QStringLiteral("/proc/%1").arg(pid)).exists(); });
}

class RunWebBoxTest : public RunFixture {
  protected:
    void SetUp() override {
        RunFixture::SetUp();
        Host().SetProgram(QStringLiteral(RAVIK_WEBBOX_PROGRAM));
        // Nothing listens on port 9: the loading page is never served.
        dir_.Write("launcher.ini",
                   "[web]\nproduct=http://127.0.0.1:9\ndownload=http://127.0.0.1:9/dl\n");
        dir_.Write("usercfg.dat", "[system]\nautomin=1\n");
        dir_.WriteGames({1001});
        dir_.WriteGameTools(1001, {{5001, 188, "攻略", 1001, 0, "http://pages.test/guide"},
                                   {5002, 190, "地图", 1001, 0, "pages.test/map"}});
        dir_.WriteGeneralTools({{20001, 188, "小工具页", 0, 0, "http://pages.test/small"}});
        dir_.WriteUsed({});
    }
    void TearDown() override {
        // Boxes a failed test left open go with their helper before the next test.
        for (const WebPageBoxHost::Box& box : std::vector(Host().Boxes())) {
            CloseBox(box.key);
        }
        RunFixture::TearDown();
    }
};

void RunTwiceCloseAndAgain(std::function<void()> run, uint32_t itemId, const QString& caption,
                           const QString& target, QSize size) {
    run();
    ASSERT_EQ(Host().Boxes().size(), 1u);
    ASSERT_TRUE(AllShown());
    const WebPageBoxHost::Box first = Host().Boxes()[0];
    EXPECT_EQ(first.itemId, itemId);
    EXPECT_EQ(first.title, caption);
    EXPECT_EQ(first.target, target);
    EXPECT_EQ(first.frame.size(), size);
    EXPECT_EQ(WebBoxRegister::Process().State(itemId), WebBoxRegister::BoxState::Open);

    // While it is open, running the item again opens nothing.
    run();
    ASSERT_EQ(Host().Boxes().size(), 1u);

    ASSERT_TRUE(CloseBox(first.key));
    EXPECT_EQ(WebBoxRegister::Process().State(itemId), WebBoxRegister::BoxState::Closed);

    run();
    ASSERT_EQ(Host().Boxes().size(), 1u);
    EXPECT_EQ(WebBoxRegister::Process().State(itemId), WebBoxRegister::BoxState::Open);
    ASSERT_TRUE(AllShown());
    ASSERT_TRUE(CloseBox(Host().Boxes()[0].key));
}

TEST_F(RunWebBoxTest, AWebBoxItemOpensOneBoxAtATimeAndIsListedOnce) {
    Open();
    RunTwiceCloseAndAgain([this] { Run(ViewKind::OnlineGames, 5001, 1001); }, 5001,
                          QStringLiteral("游戏1： 攻略"), QStringLiteral("http://pages.test/guide"),
                          QSize(575, 438));
    EXPECT_TRUE(window_->isMinimized());
    RunTwiceCloseAndAgain([this] { Run(ViewKind::OnlineGames, 5002, 1001); }, 5002,
                          QStringLiteral("游戏1： 地图"), QStringLiteral("http://pages.test/map"),
                          QSize(1017, 730));
    // A general tool's box has its own title alone.
    RunTwiceCloseAndAgain([this] { Run(ViewKind::GeneralTools, 20001); }, 20001,
                          QStringLiteral("小工具页"), QStringLiteral("http://pages.test/small"),
                          QSize(575, 438));

    EXPECT_EQ(UsedIds(), (std::vector<std::string>{"5001", "5002", "20001"}));
    EXPECT_EQ(events_, (std::vector<std::string>{"report 5001", "report 5001", "report 5001",
                                                 "report 5002", "report 5002", "report 5002",
                                                 "report 20001", "report 20001", "report 20001"}));
}

TEST_F(RunWebBoxTest, OneBoxPerItemWhateverItsSizeAndOnlyForWebAddresses) {
    WebBoxRegister reg;
    catalog::ToolRecord item;
    item.id = 303;
    item.url = "http://pages.test/guide";
    ASSERT_TRUE(ui::OpenItemPage(item, ui::WebPageSize::Small, "a", "http://127.0.0.1:9", reg));
    // While it is open, running the item again opens nothing, also as a large box.
    EXPECT_FALSE(ui::OpenItemPage(item, ui::WebPageSize::Small, "a", "http://127.0.0.1:9", reg));
    EXPECT_FALSE(ui::OpenItemPage(item, ui::WebPageSize::Large, "a", "http://127.0.0.1:9", reg));
    ASSERT_EQ(Host().Boxes().size(), 1u);
    ASSERT_TRUE(AllShown());
    ASSERT_TRUE(CloseBox(Host().Boxes()[0].key));
    EXPECT_EQ(reg.State(303), WebBoxRegister::BoxState::Closed);

    // Anything but a web address opens nothing, and starts no helper.
    for (const char* url : {"file:///etc/passwd", "javascript:alert(1)", ""}) {
        item.url = url;
        EXPECT_FALSE(ui::OpenItemPage(item, ui::WebPageSize::Small, "a", "http://p", reg)) << url;
        EXPECT_FALSE(ui::OpenItemPage(item, ui::WebPageSize::Large, "a", "http://p", reg)) << url;
        EXPECT_FALSE(reg.IsOpen(303)) << url;
    }
    EXPECT_TRUE(Host().Boxes().empty());
}

TEST_F(RunWebBoxTest, ADescriptionOpensTheIntroductionPageEveryTime) {
    Open();
    const WebBoxRegister::BoxState before = WebBoxRegister::Process().State(20001);
    window_->move(window_->pos() + QPoint(60, 20));
    grid::ItemTile* tile = Tile(ViewKind::GeneralTools, 20001);
    tile->RunCommand(grid::TileCommand::Describe);
    tile->RunCommand(grid::TileCommand::Describe);
    ASSERT_EQ(Host().Boxes().size(), 2u);
    ASSERT_TRUE(AllShown());
    for (const WebPageBoxHost::Box& box : Host().Boxes()) {
        EXPECT_EQ(box.title, QStringLiteral("小工具页"));
        EXPECT_EQ(box.target, QStringLiteral("http://127.0.0.1:9/dl/rv_intro.php?aid=20001"));
        EXPECT_TRUE(box.page.toString().startsWith(
            QStringLiteral("http://127.0.0.1:9/load/LoadingPage.htm?q=")));
        // Over the main window, not where the window manager would put it.
        const QPoint offCentre = box.frame.center() - window_->geometry().center();
        EXPECT_LE(offCentre.manhattanLength(), 2) << offCentre.x() << "," << offCentre.y();
    }
    // Introductions stay out of the register and off the My list.
    EXPECT_EQ(WebBoxRegister::Process().State(20001), before);
    EXPECT_TRUE(UsedIds().empty());
    for (const WebPageBoxHost::Box& box : std::vector(Host().Boxes())) {
        ASSERT_TRUE(CloseBox(box.key));
    }
    EXPECT_EQ(WebBoxRegister::Process().State(20001), before);
}

TEST_F(RunWebBoxTest, TheWebEngineRunsOnlyInTheHelperAndOnlyWhileABoxIsOpen) {
    Open();
    EXPECT_FALSE(MapsWebEngine(QApplication::applicationPid()));
    EXPECT_EQ(Host().HelperProcessId(), 0);

    Run(ViewKind::OnlineGames, 5001, 1001);
    ASSERT_TRUE(AllShown());
    const qint64 helper = Host().HelperProcessId();
    ASSERT_NE(helper, 0);
    EXPECT_TRUE(MapsWebEngine(helper));
    EXPECT_FALSE(MapsWebEngine(QApplication::applicationPid()));

    // The last box closed, the helper ends and its memory goes back.
    ASSERT_TRUE(CloseBox(Host().Boxes()[0].key));
    EXPECT_EQ(Host().HelperProcessId(), 0);
    EXPECT_TRUE(Ended(helper));
}

TEST_F(RunWebBoxTest, WhenTheHelperCrashesItsBoxesCountAsClosed) {
    Open();
    Run(ViewKind::OnlineGames, 5001, 1001);
    ASSERT_TRUE(AllShown());
    const qint64 helper = Host().HelperProcessId();
    ASSERT_NE(helper, 0);
    ASSERT_EQ(::kill(static_cast<pid_t>(helper), SIGKILL), 0);
    ASSERT_TRUE(WaitFor([] { return Host().Boxes().empty(); }));
    EXPECT_EQ(WebBoxRegister::Process().State(5001), WebBoxRegister::BoxState::Closed);
    // The item opens again, in a new helper.
    Run(ViewKind::OnlineGames, 5001, 1001);
    ASSERT_TRUE(AllShown());
    EXPECT_NE(Host().HelperProcessId(), helper);
    ASSERT_TRUE(CloseBox(Host().Boxes()[0].key));
}

TEST_F(RunWebBoxTest, WithoutTheHelperThePageOpensInTheDefaultBrowser) {
    Host().SetProgram(QString::fromStdString(dir_.dir()) + QStringLiteral("/no-such-helper"));
    Open();
    Run(ViewKind::OnlineGames, 5001, 1001);
    ASSERT_TRUE(WaitFor([] { return Host().Boxes().empty(); }));
    EXPECT_EQ(WebBoxRegister::Process().State(5001), WebBoxRegister::BoxState::Closed);
    EXPECT_EQ(events_, (std::vector<std::string>{
                           "report 5001",
                           "url http://127.0.0.1:9/load/LoadingPage.htm?q=pages.test/guide"}));
}

}  // namespace

#include <gtest/gtest.h>

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "AutostartSandbox.h"
#include "DataServer.h"
#include "ProgramFixture.h"
#include "app/BusyIndicator.h"
#include "app/MainWindow.h"
#include "app/PageBar.h"
#include "app/ServerLink.h"
#include "grid/GridView.h"

namespace {

using catalog::ViewKind;

TEST(ServerSyncTest, ARebuildAfterASyncLandsOnTheOnlineTabPageOne) {
    // Three new games whose icons the server's HTTP service has.
    DataServer server(R"({"games": [
        {"id": 5001, "TITLE": "新游戏一", "INFO": "一", "PNG": "{{http}}/icons/5001.png", "TIME": 100},
        {"id": 5002, "TITLE": "新游戏二", "INFO": "二", "PNG": "{{http}}/icons/5002.png", "TIME": 101},
        {"id": 5003, "TITLE": "新游戏三", "INFO": "三", "PNG": "{{http}}/icons/5003.png", "TIME": 102}
    ]})");
    for (const char* id : {"5001", "5002", "5003"}) {
        server.WriteFile(std::string("icons/") + id + ".png",
                         ProgramFixture::Png(QColor(40, 160, 90)));
    }
    QTRY_VERIFY_WITH_TIMEOUT(server.Port() > 0, 30000);

    ProgramFixture dir;
    dir.WriteGeneralTools(30);
    dir.WriteUsed({{20001, 187, "工具1"}});
    dir.Write("launcher.ini", server.LauncherIni());
    TempDir config;
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.path().string()));

    app::MainWindow window(app::DeskOptions::For(dir.dir()));
    window.Start();
    window.show();
    ASSERT_EQ(window.SelectedTab(), app::MainWindow::MyTabButton);
    window.ShowToolsTab();
    window.PageCommandClicked(grid::PageCommand::Next);
    ASSERT_EQ(window.View(ViewKind::GeneralTools)->CurrentPage(), 2u);

    QTRY_VERIFY_WITH_TIMEOUT(window.View(ViewKind::OnlineGames)->ItemCount() == 3, 60000);
    EXPECT_EQ(window.SelectedTab(), app::MainWindow::OnlineTabButton);
    EXPECT_EQ(window.View(ViewKind::OnlineGames)->CurrentPage(), 1u);
    EXPECT_EQ(window.View(ViewKind::GeneralTools)->CurrentPage(), 1u);
    EXPECT_EQ(window.Pages().SelectedDot(), 1);
    EXPECT_EQ(window.ListLabel()->text(), QStringLiteral("网络游戏"));
    EXPECT_EQ(window.View(ViewKind::OnlineGames)->VisibleTiles().size(), 3u);
    QTRY_VERIFY_WITH_TIMEOUT(window.isEnabled() && window.Busy().Box() == nullptr, 10000);
    EXPECT_FALSE(window.Busy().Busy());
    EXPECT_TRUE(dir.Read("gamecfg.dat").find("新游戏二") != std::string::npos);

    // The start report was answered: the timer starts no more workers.
    ASSERT_TRUE(window.Server().HasReachedServer());
    const int started = window.Server().WorkersStarted();
    window.Server().Tick();
    EXPECT_EQ(window.Server().WorkersStarted(), started);
}

// What the user sees of one synchronisation: the window losing and regaining its input and
// the busy box coming on screen, in order.
class BusyRecorder : public QObject {
  public:
    explicit BusyRecorder(app::MainWindow& window) : window_(window) {
        window.installEventFilter(this);
        connect(&window.Busy(), &app::BusyIndicator::boxShown, this,
                [this] { events.push_back(window_.isEnabled() ? "box (window enabled)" : "box"); });
    }
    std::vector<std::string> events;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &window_ && event->type() == QEvent::EnabledChange) {
            events.push_back(window_.isEnabled() ? "enabled" : "disabled");
        }
        return false;
    }

  private:
    app::MainWindow& window_;
};

struct BusyCase {
    const char* name;
    const char* newGames;  // games of the seed beside the two the client already has
    const char* rest;      // the seed's other parts
    std::vector<std::string> events;
};

TEST(ServerSyncTest, TheBusyBoxShowsForEveryChangeThatRebuildsTheGrid) {
    const std::vector<std::string> withBox{"disabled", "box", "enabled"};
    const char* sameOrder = R"("ranking": {"stamp": "7", "games": []})";
    const BusyCase cases[] = {
        {"a catalog record only", R"(, {"id": 10003, "TITLE": "新游戏", "TIME": 60})", sameOrder,
         withBox},
        {"a new game order only", "",
         R"("ranking": {"stamp": "9", "games": [{"id": 10002, "position": 1},
                                               {"id": 10001, "position": 2}]})",
         withBox},
        {"a catalog record and a new game order",
         R"(, {"id": 10003, "TITLE": "新游戏", "TIME": 60})",
         R"("ranking": {"stamp": "9", "games": [{"id": 10003, "position": 1}]})", withBox},
        {"a removal only",
         "",
         R"("removals": [{"games": [10001], "TIME": 60}], "ranking": {"stamp": "7", "games": []})",
         {"disabled", "enabled"}},
        {"nothing new", "", sameOrder, {}},
    };
    for (const BusyCase& c : cases) {
        SCOPED_TRACE(c.name);
        DataServer server(std::string(R"({"games": [{"id": 10001, "TITLE": "游戏一", "TIME": 40},
                                                    {"id": 10002, "TITLE": "游戏二", "TIME": 40})") +
                          c.newGames + "], " + c.rest + "}");
        QTRY_VERIFY_WITH_TIMEOUT(server.Port() > 0, 30000);
        // The client has the two games and every stamp up to 50, and game order 7.
        ProgramFixture dir;
        dir.WriteGames({10001, 10002});
        dir.Write("usercfg.dat", "[ravikver]\nlasttime=50\npxtime=7\n");
        dir.Write("launcher.ini", server.LauncherIni());
        TempDir config;
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.path().string()));

        app::MainWindow window(app::DeskOptions::For(dir.dir()));
        BusyRecorder recorder(window);
        QSignalSpy applied(&window.Server(), &app::ServerLink::syncApplied);
        QSignalSpy unchanged(&window.Server(), &app::ServerLink::syncUnchanged);
        window.Start();
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(applied.count() + unchanged.count() > 0, 60000);
        QTRY_VERIFY_WITH_TIMEOUT(window.isEnabled() && window.Busy().Box() == nullptr, 10000);
        EXPECT_EQ(recorder.events, c.events);
        EXPECT_FALSE(window.Busy().Busy());
    }
}

}  // namespace

namespace {

// Whether anything is drawn in the middle band of a view besides its background.
bool DrawsInTheMiddle(QWidget* view) {
    const QImage image = view->grab().toImage();
    const QColor background = image.pixelColor(2, 2);
    for (int y = image.height() / 3; y < image.height() * 2 / 3; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y) != background) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

// An empty grid says why it is empty instead of showing nothing: first that the window is
// connecting, then that the server did not answer (and another try follows), or that the
// server has nothing yet. The My list is the user's own, whatever the server does.
TEST(ServerSyncTest, EmptyGridsSayWhyTheyAreEmpty) {
    const AutostartSandbox autostart;
    const QString my = QStringLiteral("您运行过的游戏和工具会显示在这里");
    {
        ProgramFixture dir;
        // Nothing listens on the discard port of the loopback address.
        dir.Write("launcher.ini", "[server]\nhost=127.0.0.1\nport=9\n");
        app::MainWindow window(app::DeskOptions::For(dir.dir()));
        window.Start();
        window.show();
        grid::GridView* online = window.View(ViewKind::OnlineGames);
        EXPECT_EQ(online->EmptyText(), QStringLiteral("正在连接数据服务器…"));
        EXPECT_EQ(window.View(ViewKind::My)->EmptyText(), my);
        EXPECT_TRUE(DrawsInTheMiddle(online));

        QTRY_COMPARE_WITH_TIMEOUT(window.View(ViewKind::OnlineGames)->EmptyText(),
                                  QStringLiteral("无法连接数据服务器，稍后自动重试"), 30000);
        EXPECT_EQ(window.View(ViewKind::GeneralTools)->EmptyText(),
                  QStringLiteral("无法连接数据服务器，稍后自动重试"));
        EXPECT_EQ(window.View(ViewKind::My)->EmptyText(), my);
    }
    {
        DataServer server(R"({"games": []})");
        QTRY_VERIFY_WITH_TIMEOUT(server.Port() > 0, 30000);
        ProgramFixture dir;
        dir.Write("launcher.ini", server.LauncherIni());
        app::MainWindow window(app::DeskOptions::For(dir.dir()));
        QSignalSpy states(&window.Server(), &app::ServerLink::catalogStateChanged);
        window.Start();
        window.show();
        QTRY_COMPARE_WITH_TIMEOUT(window.View(ViewKind::OnlineGames)->EmptyText(),
                                  QStringLiteral("暂无网络游戏"), 60000);
        // Between the server's first answer and the catalog's the grid says it is fetching.
        ASSERT_EQ(states.count(), 2);
        EXPECT_EQ(states[0][0].value<app::CatalogState>(), app::CatalogState::Fetching);
        EXPECT_EQ(states[1][0].value<app::CatalogState>(), app::CatalogState::Current);
        EXPECT_EQ(window.View(ViewKind::GeneralTools)->EmptyText(), QStringLiteral("暂无通用工具"));
        EXPECT_TRUE(DrawsInTheMiddle(window.View(ViewKind::OnlineGames)));
    }
    {
        // A list with items draws no message over its tiles' gaps.
        ProgramFixture dir;
        dir.WriteGeneralTools(3);
        app::MainWindow window(app::DeskOptions::For(dir.dir()));
        window.Start();
        window.ShowToolsTab();
        window.show();
        EXPECT_FALSE(DrawsInTheMiddle(window.View(ViewKind::GeneralTools)));
    }
}

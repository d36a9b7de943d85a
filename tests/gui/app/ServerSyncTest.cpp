#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <memory>

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

}  // namespace

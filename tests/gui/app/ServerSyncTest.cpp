#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTest>
#include <memory>

#include "ProgramFixture.h"
#include "app/BusyIndicator.h"
#include "app/CRavikDlg.h"
#include "app/PageBar.h"
#include "app/ServerLink.h"
#include "grid/CShowView.h"

namespace {

using catalog::ViewKind;

// A reference data server on loopback ports of its own, with three new games whose icons
// it serves over HTTP.
class DataServer {
  public:
    DataServer() {
        for (const char* id : {"5001", "5002", "5003"}) {
            files_.Write(std::string("www/icons/") + id + ".png",
                         ProgramFixture::Png(QColor(40, 160, 90)));
        }
        files_.Write("seed.json", R"({"games": [
            {"id": 5001, "TITLE": "新游戏一", "INFO": "一", "PNG": "{{http}}/icons/5001.png", "TIME": 100},
            {"id": 5002, "TITLE": "新游戏二", "INFO": "二", "PNG": "{{http}}/icons/5002.png", "TIME": 101},
            {"id": 5003, "TITLE": "新游戏三", "INFO": "三", "PNG": "{{http}}/icons/5003.png", "TIME": 102}
        ]})");
        process_.start(QStringLiteral(RAVIK_DATASERVER_PROGRAM),
                       {"--listen", "127.0.0.1:0", "--http", "127.0.0.1:0", "--www",
                        QString::fromStdString(files_ / "www"), "--db",
                        QString::fromStdString(files_ / "data.db"), "--seed",
                        QString::fromStdString(files_ / "seed.json"), "--port-file",
                        QString::fromStdString(files_ / "ports")});
    }
    ~DataServer() {
        process_.kill();
        process_.waitForFinished(10000);
    }

    // The data server's port once it listens; 0 until then.
    int Port() const {
        const std::string ports = files_.Read("ports");
        const auto at = ports.find("tcp ");
        return at == std::string::npos ? 0 : std::atoi(ports.c_str() + at + 4);
    }

  private:
    TempDir files_;
    QProcess process_;
};

TEST(ServerSyncTest, ARebuildAfterASyncLandsOnTheOnlineTabPageOne) {
    DataServer server;
    QTRY_VERIFY_WITH_TIMEOUT(server.Port() > 0, 30000);

    ProgramFixture dir;
    dir.WriteGeneralTools(30);
    dir.WriteUsed({{20001, 187, "工具1"}});
    dir.Write("launcher.ini",
              "[server]\nhost=127.0.0.1\nport=" + std::to_string(server.Port()) + "\n");
    TempDir config;
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.path().string()));

    app::CRavikDlg window(app::DeskOptions::For(dir.dir()));
    window.Start();
    window.show();
    ASSERT_EQ(window.SelectedTab(), app::CRavikDlg::MyTabButton);
    window.ShowToolsTab();
    window.PageCommandClicked(grid::PageCommand::Next);
    ASSERT_EQ(window.View(ViewKind::GeneralTools)->CurrentPage(), 2u);

    QTRY_VERIFY_WITH_TIMEOUT(window.View(ViewKind::OnlineGames)->ItemCount() == 3, 60000);
    EXPECT_EQ(window.SelectedTab(), app::CRavikDlg::OnlineTabButton);
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

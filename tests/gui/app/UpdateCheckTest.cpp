#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "DataServer.h"
#include "ProgramFixture.h"
#include "RawHttpServer.h"
#include "app/BusyIndicator.h"
#include "app/MainMenu.h"
#include "app/MainWindow.h"
#include "app/ServerLink.h"
#include "catalog/IniFile.h"
#include "ui/BusyBox.h"
#include "ui/PngButton.h"

namespace {

using app::MainWindow;

// "检查更新" from the settings menu, against a data server on loopback.
class UpdateCheckTest : public testing::Test {
  protected:
    void SetUp() override {
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config_.path().string()));
    }

    MainWindow& Open(int port) {
        dir_.Write("launcher.ini", "[server]\nhost=127.0.0.1\nport=" + std::to_string(port) + "\n");
        app::DeskOptions options = app::DeskOptions::For(dir_.dir());
        options.startServerWorker = false;
        window_ = std::make_unique<MainWindow>(options);
        window_->Start();
        window_->show();
        return *window_;
    }

    void ChooseCheckUpdate() {
        window_->Button(MainWindow::SettingsButton)->click();
        QMenu* menu = window_->Menu().Menu();
        ASSERT_NE(menu, nullptr);
        menu->actions().at(2)->trigger();
        menu->close();
    }

    // The message box on screen, if any.
    static QMessageBox* Box() {
        return qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    }

    // Answers the message boxes as they come. A box runs its own event loop on top of the
    // test's, so it can only be answered from inside that loop: a timer looks for it.
    class Answerer {
      public:
        explicit Answerer(QMessageBox::StandardButton answer) {
            QObject::connect(&timer_, &QTimer::timeout, [this, answer] {
                if (QMessageBox* box = Box()) {
                    texts << box->text();
                    box->button(answer)->click();
                }
            });
            timer_.start(20);
        }
        QStringList texts;

      private:
        QTimer timer_;
    };

    ProgramFixture dir_;
    TempDir config_;
    std::unique_ptr<MainWindow> window_;
};

TEST_F(UpdateCheckTest, TheWindowWaitsWithoutFreezingWhileTheServerIsSlow) {
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    MainWindow& window = Open(silent.serverPort());
    ChooseCheckUpdate();

    // The check runs beside the UI thread: the window shows that it waits while this
    // thread goes on handling events.
    EXPECT_TRUE(window.Server().CheckingForUpdates());
    EXPECT_FALSE(window.isEnabled());
    EXPECT_EQ(window.cursor().shape(), Qt::WaitCursor);
    QTRY_VERIFY_WITH_TIMEOUT(silent.hasPendingConnections(), 30000);
    EXPECT_FALSE(window.grab().isNull());
    EXPECT_FALSE(window.isEnabled());

    // The server hangs up without an answer: the user hears so, then the window is back.
    Answerer answerer(QMessageBox::Ok);
    delete silent.nextPendingConnection();
    QTRY_VERIFY_WITH_TIMEOUT(window.isEnabled(), 30000);
    EXPECT_FALSE(window.Server().CheckingForUpdates());
    EXPECT_EQ(answerer.texts, QStringList{QStringLiteral("无法连接服务器，请检查网络后重试")});
}

TEST_F(UpdateCheckTest, SaysSoWhenTheServerCannotBeReached) {
    int closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        closedPort = probe.serverPort();
    }
    MainWindow& window = Open(closedPort);
    Answerer answerer(QMessageBox::Ok);
    ChooseCheckUpdate();
    QTRY_VERIFY_WITH_TIMEOUT(!answerer.texts.isEmpty() && window.isEnabled(), 30000);
    EXPECT_EQ(answerer.texts, QStringList{QStringLiteral("无法连接服务器，请检查网络后重试")});
}

TEST_F(UpdateCheckTest, SaysSoWhenTheVersionIsCurrent) {
    DataServer server(R"({"games": []})");
    QTRY_VERIFY_WITH_TIMEOUT(server.Port() > 0, 30000);
    MainWindow& window = Open(server.Port());
    Answerer answerer(QMessageBox::Ok);
    ChooseCheckUpdate();
    QTRY_VERIFY_WITH_TIMEOUT(!answerer.texts.isEmpty() && window.isEnabled(), 30000);
    EXPECT_EQ(answerer.texts, QStringList{QStringLiteral("当前已经是最新版本!")});
}

struct NewerCase {
    const char* name;
    QMessageBox::StandardButton answer;
    bool ends;
    const char* skipped;  // usercfg.dat [ravikver] skipsertime afterwards
};

void PrintTo(const NewerCase& c, std::ostream* out) {
    *out << c.name;
}

class NewerVersionTest : public UpdateCheckTest, public testing::WithParamInterface<NewerCase> {};

TEST_P(NewerVersionTest, HandsOverToTheUpdaterOnlyWhenTheUserAgrees) {
    const NewerCase& c = GetParam();
    DataServer server(R"({"games": [], "version": {"version": "2.0", "sertime": "200",
                          "clientadd": "{{http}}/Ravik_desk_2.0.zip"}})");
    QTRY_VERIFY_WITH_TIMEOUT(server.Port() > 0, 30000);
    dir_.Write("usercfg.dat", "[ravikver]\nversion=1.0\nsertime=100\n");
    // An updater that does nothing. (Whether it ran is not looked for: another launcher
    // starting meanwhile ends every running updater, as every start does.)
    dir_.Write("Rv_Update", "#!/bin/sh\nexit 0\n");
    std::filesystem::permissions(dir_ / "Rv_Update", std::filesystem::perms::owner_all);
    MainWindow& window = Open(server.Port());
    QSignalSpy finished(&window, &QDialog::finished);

    Answerer answerer(c.answer);
    ChooseCheckUpdate();
    QTRY_VERIFY_WITH_TIMEOUT(!answerer.texts.isEmpty(), 30000);
    EXPECT_EQ(answerer.texts, QStringList{QStringLiteral("发现服务器有新版本，是否升级")});

    if (c.ends) {
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 30000);
        const catalog::IniFile update = catalog::IniFile::Load(dir_ / "update.ini");
        EXPECT_EQ(update.GetString("ravikver", "version", "", 119), "2.0");
        const catalog::IniFile settings = catalog::IniFile::Load(dir_ / "usercfg.dat");
        EXPECT_EQ(settings.GetString("ravikver", "old", "", 119), "1");
        EXPECT_EQ(settings.GetString("ravikver", "oldversion", "", 119), "1.0");
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(window.isEnabled(), 30000);
        EXPECT_EQ(finished.count(), 0);
        EXPECT_FALSE(std::filesystem::exists(dir_ / "update.ini"));
    }
    const catalog::IniFile settings = catalog::IniFile::Load(dir_ / "usercfg.dat");
    EXPECT_EQ(settings.GetString("ravikver", "skipsertime", "", 119), c.skipped);
}

INSTANTIATE_TEST_SUITE_P(Answers, NewerVersionTest,
                         testing::Values(NewerCase{"Update", QMessageBox::Ok, true, ""},
                                         NewerCase{"Later", QMessageBox::Cancel, false, ""},
                                         NewerCase{"Skip", QMessageBox::Ignore, false, "200"}),
                         [](const testing::TestParamInfo<NewerCase>& info) {
                             return std::string(info.param.name);
                         });

// The download of an accepted update is the long wait before the launcher hands over to the
// updater: the busy box shows how far it has come, and the window takes no input meanwhile.
TEST_F(UpdateCheckTest, TheBusyBoxShowsTheDownloadOfAnAcceptedUpdate) {
    std::atomic<bool> release{false};
    RawHttpServer archive([&release](RawHttpServer::Connection& c) {
        c.SendHead(200, "OK", 1000);
        c.Send(std::string(400, 'x'));
        while (!release.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        c.Send(std::string(600, 'x'));
    });
    // Lets the download end however the test ends, before the server goes.
    struct Release {
        std::atomic<bool>& flag;
        ~Release() { flag = true; }
    } releaseAtEnd{release};
    DataServer server(R"({"games": [], "version": {"version": "2.0", "sertime": "200",
                          "clientadd": ")" +
                      archive.Url("/client.zip") + R"("}})");
    QTRY_VERIFY_WITH_TIMEOUT(server.Port() > 0, 30000);
    dir_.Write("usercfg.dat", "[ravikver]\nversion=1.0\nsertime=100\n");
    dir_.Write("Rv_Update", "#!/bin/sh\nexit 0\n");
    std::filesystem::permissions(dir_ / "Rv_Update", std::filesystem::perms::owner_all);
    MainWindow& window = Open(server.Port());
    QSignalSpy finished(&window, &QDialog::finished);

    Answerer answerer(QMessageBox::Ok);
    ChooseCheckUpdate();
    QTRY_VERIFY_WITH_TIMEOUT(
        window.Busy().Box() != nullptr &&
            window.Busy().Box()->Text() == QStringLiteral("正在下载新版本 40%"),
        30000);
    EXPECT_TRUE(window.Busy().Box()->isVisible());
    EXPECT_FALSE(window.isEnabled());
    EXPECT_FALSE(std::filesystem::exists(dir_ / "update.ini"));

    release = true;
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 30000);
    // The archive waits for the updater beside update.ini.
    EXPECT_EQ(dir_.Read("update.zip"), std::string(1000, 'x'));
    EXPECT_TRUE(std::filesystem::exists(dir_ / "update.ini"));
}

// The fetch of an update and a catalog update may overlap (a second start-up job): they share
// the one busy box, which shows the download while it lasts, and the window stays blocked
// until both are over.
TEST_F(UpdateCheckTest, TheDownloadAndACatalogUpdateShareTheBusyBox) {
    MainWindow& window = Open(1);
    app::BusyIndicator& busy = window.Busy();
    busy.ShowUpdateFetch(-1);
    QCoreApplication::processEvents();
    ASSERT_NE(busy.Box(), nullptr);
    EXPECT_EQ(busy.Box()->Text(), QStringLiteral("正在下载新版本，请稍等"));
    EXPECT_FALSE(window.isEnabled());

    busy.ShowUpdateFetch(421);
    busy.Begin(true);
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::topLevelWidgets().count(busy.Box()), 1);
    EXPECT_EQ(busy.Box()->Text(), QStringLiteral("正在下载新版本 42%"));

    busy.EndUpdateFetch();
    QCoreApplication::processEvents();
    ASSERT_NE(busy.Box(), nullptr);
    EXPECT_EQ(busy.Box()->Text(), QStringLiteral("正在更新数据，请稍等"));
    EXPECT_FALSE(window.isEnabled());

    busy.End();
    QTRY_VERIFY_WITH_TIMEOUT(busy.Box() == nullptr && window.isEnabled(), 30000);
}

}  // namespace

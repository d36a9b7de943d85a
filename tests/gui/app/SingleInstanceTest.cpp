#include <gtest/gtest.h>

#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QTest>
#include <memory>

#include "ProgramFixture.h"
#include "app/MainWindow.h"
#include "app/SingleInstance.h"
#include "app/TrayHandler.h"
#include "ui/PngButton.h"

namespace {

// Real Ravik_desk processes sharing one user session: a runtime directory of their own, so
// the test never meets a launcher the user is running.
class SingleInstanceTest : public testing::Test {
  protected:
    void SetUp() override {
        environment_ = QProcessEnvironment::systemEnvironment();
        environment_.insert("QT_QPA_PLATFORM", "offscreen");
        environment_.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime_.path().string()));
        environment_.insert("XDG_CONFIG_HOME", QString::fromStdString(config_.path().string()));
        dir_.WriteGames(3);
        // Windows of the test process itself write their autostart entry here too.
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config_.path().string()));
    }
    void TearDown() override {
        for (auto& process : processes_) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(10000);
            }
        }
    }

    QString SocketName() const {
        return QString::fromStdString((runtime_.path() / "Ravik_desk").string());
    }

    QProcess& Start() {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(environment_);
        // Port 9 on loopback: no data server answers.
        process->start(QStringLiteral(RAVIK_DESK_PROGRAM),
                       {QStringLiteral("--data-dir"), QString::fromStdString(dir_.dir()),
                        QStringLiteral("--server"), QStringLiteral("127.0.0.1:9")});
        processes_.push_back(std::move(process));
        return *processes_.back();
    }

    bool Answers() const {
        QLocalSocket socket;
        socket.connectToServer(SocketName());
        return socket.waitForConnected(1000);
    }

    ProgramFixture dir_;
    TempDir runtime_;
    TempDir config_;
    QProcessEnvironment environment_;
    std::vector<std::unique_ptr<QProcess>> processes_;
};

TEST_F(SingleInstanceTest, ASecondStartEndsSilentlyAndLeavesTheFirstRunning) {
    QProcess& first = Start();
    ASSERT_TRUE(first.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(Answers(), 60000);

    QProcess& second = Start();
    ASSERT_TRUE(second.waitForFinished(60000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(second.readAllStandardOutput().isEmpty());
    EXPECT_EQ(first.state(), QProcess::Running);

    // A copy that died leaves its lock and socket behind; the next start still runs.
    first.kill();
    ASSERT_TRUE(first.waitForFinished(10000));
    QProcess& third = Start();
    QTRY_VERIFY_WITH_TIMEOUT(Answers(), 60000);
    EXPECT_EQ(third.state(), QProcess::Running);
}

TEST_F(SingleInstanceTest, ASecondStartBringsTheFirstWindowBackFromTheTray) {
    dir_.Write("usercfg.dat", "[system]\nexit=1\n");
    app::TrayHandler::SetAvailability([] { return true; });
    app::DeskOptions options = app::DeskOptions::For(dir_.dir());
    options.startServerWorker = false;
    app::MainWindow window(options);
    window.Start();
    window.show();
    window.Button(app::MainWindow::CloseButton)->click();
    ASSERT_FALSE(window.isVisible());

    app::SingleInstance first(SocketName());
    ASSERT_TRUE(first.Acquire());
    ASSERT_TRUE(first.Listen());
    QObject::connect(&first, &app::SingleInstance::showRequested, &window,
                     [&window] { window.Tray().RestoreWindow(); });

    QProcess& second = Start();
    QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 60000);
    EXPECT_EQ(second.exitCode(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(window.isVisible(), 10000);
    EXPECT_FALSE(window.isMinimized());
    app::TrayHandler::SetAvailability({});
}

TEST_F(SingleInstanceTest, ASecondStartDuringTheFirstOnesStartUpJustEnds) {
    // The first copy holds the lock but has no window yet, so nobody answers.
    app::SingleInstance starting(SocketName());
    ASSERT_TRUE(starting.Acquire());
    QProcess& second = Start();
    ASSERT_TRUE(second.waitForFinished(60000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_FALSE(Answers());
}

}  // namespace

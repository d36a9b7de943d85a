// The launcher starts and synchronises without the web engine: web page boxes open in a
// helper program (ravik-webbox) only when the user asks for one.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTest>

#include "DataServer.h"
#include "ProgramFixture.h"
#include "TempDir.h"
#include "WebEngineMaps.h"

namespace {

TEST(LeanStartTest, StartingAndSynchronisingDoesNotLoadTheWebEngine) {
    DataServer server(R"({"games": [
        {"id": 5001, "TITLE": "新游戏一", "INFO": "一", "TIME": 100}],
        "tools": [{"id": 6001, "TITLE": "攻略", "TYPE": 188, "URL": "http://pages.test/a",
                   "GAMEID": 5001, "TIME": 100}]})");
    QTRY_VERIFY_WITH_TIMEOUT(server.Port() > 0, 30000);
    ProgramFixture dir;
    dir.Write("launcher.ini", server.LauncherIni());
    TempDir runtime;
    TempDir config;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.path().string()));
    environment.insert("XDG_CONFIG_HOME", QString::fromStdString(config.path().string()));

    QProcess launcher;
    launcher.setProcessEnvironment(environment);
    launcher.start(QStringLiteral(RAVIK_DESK_PROGRAM),
                   {QStringLiteral("--data-dir"), QString::fromStdString(dir.dir())});
    ASSERT_TRUE(launcher.waitForStarted(10000));
    // Synchronised: the worker has the changes, and the window has written them.
    QTRY_VERIFY_WITH_TIMEOUT(dir.Read("ravik.log").find("catalog sync: ") != std::string::npos,
                             60000);
    QTRY_VERIFY_WITH_TIMEOUT(dir.Read("gamecfg.dat").find("新游戏一") != std::string::npos, 30000);
    EXPECT_FALSE(MapsWebEngine(launcher.processId()));
    launcher.kill();
    launcher.waitForFinished(10000);
}

}  // namespace

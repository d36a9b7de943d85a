#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "Programs.h"
#include "ScopedEnv.h"
#include "platform/ProductVersion.h"

namespace {

// What support reads after a user's first start: the launcher's log in its program
// directory tells the start, each exchange with the data server and how the catalog
// synchronisation ended.
TEST(DeskLog, TheFirstStartIsLoggedInTheProgramDirectory) {
    TempDir data;
    DataServerProcess server(data / "data.db", FIXTURE_DIR "/seed.json");
    TempDir program;
    // The version the server offers is the one installed: no question waits for an answer.
    program.Write("usercfg.dat", "[ravikver]\nversion=2.0\nsertime=200\n");
    TempDir config;
    const ScopedEnv platform("QT_QPA_PLATFORM", "offscreen");
    const ScopedEnv autostart("XDG_CONFIG_HOME", config.dir().c_str());
    // A copy of its own: the one-copy lock lives in the runtime folder, and other tests (or
    // a launcher of the user's) may run one meanwhile.
    TempDir runtime;
    const ScopedEnv oneCopy("XDG_RUNTIME_DIR", runtime.dir().c_str());
    TempDir work;
    work.Write("in", "");
    const pid_t desk = Spawn({DESK_PATH, "--data-dir", program.dir(), "--server", server.Address()},
                             work.path() / "in", work.path() / "out", work.path() / "err");

    std::string log;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    while (log.find("catalog sync: ") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        log = program.Read("ravik.log");
    }
    kill(desk, SIGKILL);
    waitpid(desk, nullptr, 0);

    for (const std::string& expected : {
             std::string("INFO Ravik_desk ") + platform::kProductVersion + " started\n",
             std::string("INFO start-up: started\n"),
             std::string("INFO server message 2: answered, "),
             std::string("INFO server message 3: answered, "),
             std::string("INFO catalog sync: "),
         }) {
        EXPECT_NE(log.find(expected), std::string::npos) << expected << "\nlog:\n"
                                                         << log << "\nstderr:\n"
                                                         << work.Read("err");
    }
}

}  // namespace

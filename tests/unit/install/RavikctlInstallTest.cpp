// The extract and install commands of ravikctl, run as a separate process against a loopback
// web server and catalog files in a temporary program directory.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <random>
#include <thread>

#include "FileHttpServer.h"
#include "RawHttpServer.h"
#include "TempDir.h"
#include "ZipBuilder.h"
#include "catalog/Catalog.h"
#include "install/ArchiveSignature.h"

namespace fs = std::filesystem;

namespace {

struct CommandRun {
    int exitCode = -1;
    std::string err;
};

CommandRun Ravikctl(const TempDir& temp, const std::string& args) {
    std::string errFile = temp / "stderr.txt";
    std::string command =
        std::string("\"") + RAVIKCTL_PATH + "\" " + args + " 2>\"" + errFile + "\"";
    int status = std::system(command.c_str());
    CommandRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = temp.Read("stderr.txt");
    return run;
}

std::string ToolArchive() {
    auto script = ziptest::File("Tool/run.sh", "#!/bin/sh\npwd > started\n");
    script.external = 0100755u << 16;
    return ziptest::Build({ziptest::Dir("Tool/"), script, ziptest::File("Tool/readme.txt", "hi")});
}

// One general tool 77 and one game 5 with its tool 501, both downloadable from `server`.
void WriteCatalogs(const TempDir& program, const FileHttpServer& server, const std::string& path77,
                   const std::string& path501) {
    auto toolFile = [](const char* index, int id, const std::string& url) {
        return std::string("[") + index + "]\nSIZE=1\n1=" + std::to_string(id) +
               "\n[TITLE]\n1=演示工具\n[TYPE]\n1=187\n[EXENAME]\n1=run.sh\n[URL]\n1=" + url +
               "\n[INSTALLED]\n1=0\n";
    };
    program.Write("Normalcfg.dat", toolFile("NormalTool", 77, server.Url(path77)));
    program.Write("GameTool/5.dat", toolFile("TOOL", 501, server.Url(path501)));
    program.Write("gamecfg.dat", "[NETGAME]\nSIZE=1\n1=5\n[TITLE]\n1=演示游戏\n");
    program.Write("GameIcon/5.png", "png");
}

int InstalledFlag(const TempDir& program, std::uint32_t toolId) {
    catalog::Catalog cat(program.dir());
    cat.LoadAll();
    if (auto found = catalog::FindTool(cat.GeneralTools(), toolId)) {
        return found.record->installed;
    }
    for (const auto& game : cat.Games()) {
        if (auto found = catalog::FindTool(*game.tools, toolId)) {
            return found.record->installed;
        }
    }
    return -1;
}

TEST(RavikctlInstall, InstallsGeneralAndGameToolsAndRecordsThem) {
    FileHttpServer server;
    server.Put("/77.zip", ToolArchive());
    server.Put("/501.zip", ToolArchive());
    TempDir program;
    WriteCatalogs(program, server, "/77.zip", "/501.zip");
    for (std::uint32_t id : {77u, 501u}) {
        CommandRun run = Ravikctl(program, "--data-dir \"" + program.dir() + "\" install " +
                                               std::to_string(id) + " --no-start");
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.err.find("正在下载：   演示工具"), std::string::npos) << run.err;
        const std::string dir = "LocalGameTool/" + std::to_string(id) + "/";
        EXPECT_EQ(program.Read(dir + "readme.txt"), "hi");
        EXPECT_FALSE(fs::exists(program.path() / dir / "started"));
        EXPECT_EQ(InstalledFlag(program, id), 1) << id;
    }
}

TEST(RavikctlInstall, StartsTheToolUnlessToldNotTo) {
    FileHttpServer server;
    server.Put("/77.zip", ToolArchive());
    TempDir program;
    WriteCatalogs(program, server, "/77.zip", "/501.zip");
    CommandRun run = Ravikctl(program, "--data-dir \"" + program.dir() + "\" install 77");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const fs::path started = program.path() / "LocalGameTool/77/started";
    for (int i = 0; i < 200 && !fs::exists(started); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(fs::exists(started));
}

TEST(RavikctlInstall, FailuresExitNonZeroAndRecordNothing) {
    FileHttpServer server;
    server.Put("/page.zip", "<html>not an archive</html>");
    struct Case {
        const char* what;
        std::string path77;
        std::string args;
    } cases[] = {
        {"not found", "/missing.zip", "install 77 --no-start"},
        {"server error", "/status/500", "install 77 --no-start"},
        {"not an archive", "/page.zip", "install 77 --no-start"},
        {"unknown tool", "/77.zip", "install 78"},
        {"not a number", "/77.zip", "install seven"},
        {"no id", "/77.zip", "install"},
    };
    for (const auto& c : cases) {
        TempDir program;
        WriteCatalogs(program, server, c.path77, "/501.zip");
        CommandRun run = Ravikctl(program, "--data-dir \"" + program.dir() + "\" " + c.args);
        EXPECT_NE(run.exitCode, 0) << c.what;
        EXPECT_NE(run.err.find("ravikctl: "), std::string::npos) << c.what << ": " << run.err;
        EXPECT_EQ(InstalledFlag(program, 77), 0) << c.what;
    }
}

// The signature is checked after the archive has arrived and before anything is extracted:
// the server holds the request for the signature open, the install is killed while it waits
// for it (so it is provably inside the check, with the whole archive on disk), and nothing of
// the tool is installed.
TEST(RavikctlInstall, AKillDuringTheSignatureCheckLeavesNothingInstalled) {
    TempDir program;
    auto key = install::CreateSigningKey(program / "signing.key");
    ASSERT_TRUE(key.Ok());
    program.Write("launcher.ini", "[trust]\nrequire=1\nkey=" + key.Value() + "\n");
    const std::string archive = ToolArchive();
    std::mutex mutex;
    std::condition_variable asked;
    bool signatureAsked = false;
    RawHttpServer server([&](RawHttpServer::Connection& c) {
        if (c.Request().find(".sig ") == std::string::npos) {
            c.SendHead(200, "OK", static_cast<long long>(archive.size()));
            c.Send(archive);
            return;
        }
        {
            std::lock_guard lock(mutex);
            signatureAsked = true;
        }
        asked.notify_all();
        c.Stall();
    });
    program.Write("Normalcfg.dat",
                  "[NormalTool]\nSIZE=1\n1=77\n[TITLE]\n1=演示工具\n[TYPE]\n"
                  "1=187\n[EXENAME]\n1=run.sh\n[URL]\n1=" +
                      server.Url("/77.zip") + "\n[INSTALLED]\n1=0\n");
    const std::string dataDir = program.dir();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        execl(RAVIKCTL_PATH, RAVIKCTL_PATH, "--data-dir", dataDir.c_str(), "install", "77",
              "--no-start", static_cast<char*>(nullptr));
        _exit(127);
    }
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(asked.wait_for(lock, std::chrono::minutes(2), [&] { return signatureAsked; }));
    }
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    EXPECT_EQ(program.Read("ToolDownload/77.zip"), archive);
    EXPECT_FALSE(fs::exists(program.PathOf("LocalGameTool/77")));
    EXPECT_EQ(InstalledFlag(program, 77), 0);
}

TEST(RavikctlExtract, InstallsAnArchiveIntoADirectory) {
    TempDir temp;
    temp.Write("tool.zip", ToolArchive());
    temp.Write("evil.zip", ziptest::Build({ziptest::File("T/ok.txt", "ok"),
                                           ziptest::File("../escape.txt", "x")}));
    CommandRun ok =
        Ravikctl(temp, "extract \"" + (temp / "tool.zip") + "\" \"" + (temp / "out/a") + "\"");
    EXPECT_EQ(ok.exitCode, 0) << ok.err;
    EXPECT_EQ(temp.Read("out/a/readme.txt"), "hi");
    CommandRun evil =
        Ravikctl(temp, "extract \"" + (temp / "evil.zip") + "\" \"" + (temp / "out/b") + "\"");
    EXPECT_NE(evil.exitCode, 0);
    EXPECT_FALSE(fs::exists(temp.path() / "out/escape.txt"));
    EXPECT_FALSE(fs::exists(temp.path() / "escape.txt"));
    CommandRun missing =
        Ravikctl(temp, "extract \"" + (temp / "none.zip") + "\" \"" + (temp / "out/c") + "\"");
    EXPECT_NE(missing.exitCode, 0);
    EXPECT_NE(Ravikctl(temp, "extract only-one-argument").exitCode, 0);
}

// A tool of many files in folders, some read-only, as real tools are: its extraction takes
// long enough to be cut at many points.
std::vector<ziptest::Item> ManyFiles() {
    std::vector<ziptest::Item> items{ziptest::Dir("Tool/")};
    std::mt19937 rng(7);
    for (int i = 0; i < 120; ++i) {
        std::string data(16 * 1024 + static_cast<std::size_t>(i) * 37, '\0');
        for (char& c : data) {
            c = static_cast<char>(rng() % 16 + 'a');
        }
        auto item = ziptest::File(
            "Tool/d" + std::to_string(i % 7) + "/f" + std::to_string(i) + ".dat", std::move(data));
        if (i % 10 == 0) {
            item.external |= 0x01;  // read-only
            item.external &= ~(0222u << 16);
        }
        items.push_back(std::move(item));
    }
    return items;
}

// kill -9 at a random moment once the archive is complete and being extracted, then the same
// install again: the second one must install the whole tool every time.
TEST(RavikctlInstall, AnInstallKilledWhileExtractingIsTakenUpByTheNext) {
    const std::vector<ziptest::Item> items = ManyFiles();
    FileHttpServer server;
    server.Put("/77.zip", ziptest::Build(items));
    std::mt19937 rng(std::random_device{}());
    for (int trial = 0; trial < 12; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        TempDir program;
        WriteCatalogs(program, server, "/77.zip", "/501.zip");
        const std::string dataDir = program.dir();
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::freopen("/dev/null", "w", stderr);
            execl(RAVIKCTL_PATH, RAVIKCTL_PATH, "--data-dir", dataDir.c_str(), "install", "77",
                  "--no-start", static_cast<char*>(nullptr));
            _exit(127);
        }
        // The archive gets its final name when it is complete, right before the extraction.
        const fs::path archive = program.path() / "ToolDownload" / "77.zip";
        int status = 0;
        while (!fs::exists(archive) && waitpid(child, &status, WNOHANG) == 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        std::this_thread::sleep_for(std::chrono::microseconds(rng() % 300000));
        kill(child, SIGKILL);
        waitpid(child, &status, 0);

        CommandRun run = Ravikctl(program, "--data-dir \"" + dataDir + "\" install 77 --no-start");
        ASSERT_EQ(run.exitCode, 0) << run.err;
        for (const auto& item : items) {
            if (item.name.back() != '/') {
                ASSERT_EQ(program.Read("LocalGameTool/77/" + item.name.substr(5)), item.data)
                    << item.name;
            }
        }
        EXPECT_EQ(InstalledFlag(program, 77), 1);
    }
}

}  // namespace

// The updater as the launcher runs it: the real Rv_Update in a program directory, started by
// the version check against ravik-dataserver, and real launcher processes to wait for.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "ChildProcess.h"
#include "Eventually.h"
#include "TempDir.h"
#include "ZipBuilder.h"
#include "catalog/IniFile.h"
#include "server/ServerClient.h"
#include "server/VersionCheck.h"

namespace fs = std::filesystem;

namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

const std::string kNewLauncher = "#!/bin/sh\necho new >> \"$(dirname \"$0\")/launched.txt\"\n";

std::string NewClient() {
    ziptest::Item launcher = ziptest::File("Ravik_desk", kNewLauncher);
    launcher.external = 0100755u << 16;
    return ziptest::Build({launcher, ziptest::File("res/readme.txt", "version 2.0")});
}

// A program directory with the given launcher, the real updater beside it and the user's
// settings at version 1.0.
class ProgramDirectory {
  public:
    explicit ProgramDirectory(const std::string& launcherFrom) {
        fs::copy_file(launcherFrom, dir.path() / "Ravik_desk");
        fs::copy_file(RV_UPDATE_PATH, dir.path() / server::kUpdaterName);
        dir.Write("usercfg.dat",
                  "[system]\r\nautoupdate=1\r\nexit=1\r\n[ravikver]\r\nversion=1.0\r\n"
                  "sertime=100\r\nlasttime=42\r\n");
        dir.Write("gamecfg.dat", "[1]\r\nTITLE=game\r\n");
        dir.Write("GameIcon/1.png", "icon");
    }
    std::string Setting(const char* section, const char* key) const {
        return catalog::ReadProfileString(dir / "usercfg.dat", section, key, "(none)", 260);
    }
    std::string Log() const { return dir.Read("update.log"); }
    bool LeftNothingBehind() const {
        return !fs::exists(dir.path() / "UpdateWork") &&
               !fs::exists(dir.path() / "update.journal") && !fs::exists(dir.path() / "update.zip");
    }

    TempDir dir;
};

// ravik-dataserver on ephemeral loopback ports, publishing version 2.0 (sertime 200) whose
// archive it serves itself.
class DataServer {
  public:
    explicit DataServer(const std::string& archive) {
        work_.Write("www/client.zip", archive);
        work_.Write("seed.json",
                    R"({"version": {"version": "2.0", "sertime": "200",
                                    "clientadd": "{{http}}/client.zip"}})");
        process_ = std::make_unique<ChildProcess>(std::vector<std::string>{
            DATASERVER_PATH, "--listen", "127.0.0.1:0", "--http", "127.0.0.1:0", "--www",
            work_ / "www", "--db", work_ / "data.db", "--seed", work_ / "seed.json", "--port-file",
            work_ / "ports"});
        if (!Eventually([this] { return fs::exists(work_.path() / "ports"); })) {
            throw std::runtime_error("ravik-dataserver did not come up");
        }
        std::istringstream ports(work_.Read("ports"));
        std::string name;
        ports >> name >> port_ >> name >> httpPort_;
    }
    int Port() const { return port_; }
    std::string ArchiveUrl() const {
        return "http://127.0.0.1:" + std::to_string(httpPort_) + "/client.zip";
    }

  private:
    TempDir work_;
    std::unique_ptr<ChildProcess> process_;
    int port_ = 0;
    int httpPort_ = 0;
};

class AlwaysYes : public server::UserPrompt {
  public:
    server::UpdateAnswer AskUpdate(const std::string&) override {
        return server::UpdateAnswer::Update;
    }
    void Tell(const std::string&) override {}
};

TEST(UpdaterRoad, TheVersionCheckStartsTheUpdaterWhichInstallsAndRestartsTheLauncher) {
    ProgramDirectory program(FAKE_LAUNCHER_PATH);
    DataServer data(NewClient());
    server::ClientConfig config;
    config.port = data.Port();
    server::ServerClient client(config);
    AlwaysYes prompt;

    server::VersionCheckResult check = server::CheckVersion(
        client, program.dir.dir(), server::VersionCheckMode::Automatic, prompt);
    ASSERT_TRUE(check.result.Ok()) << check.result.reason;
    ASSERT_EQ(check.action, server::VersionAction::UpdaterStarted);

    // The restarted launcher is the new one: it says so in launched.txt.
    ASSERT_TRUE(Eventually([&] { return Contains(program.Log(), "started "); })) << program.Log();
    ASSERT_TRUE(Eventually([&] { return program.dir.Read("launched.txt") == "new\n"; }))
        << program.dir.Read("launched.txt") << program.Log();
    EXPECT_EQ(program.dir.Read("Ravik_desk"), kNewLauncher);
    EXPECT_EQ(program.dir.Read("res/readme.txt"), "version 2.0");
    EXPECT_EQ(program.Setting("ravikver", "version"), "2.0");
    EXPECT_EQ(program.Setting("ravikver", "sertime"), "200");
    // What the check remembered for the upgrade report, and the user's own keys, are kept.
    EXPECT_EQ(program.Setting("ravikver", "old"), "1");
    EXPECT_EQ(program.Setting("ravikver", "oldversion"), "1.0");
    EXPECT_EQ(program.Setting("ravikver", "lasttime"), "42");
    EXPECT_EQ(program.Setting("system", "exit"), "1");
    EXPECT_EQ(program.dir.Read("gamecfg.dat"), "[1]\r\nTITLE=game\r\n");
    EXPECT_EQ(program.dir.Read("GameIcon/1.png"), "icon");
    EXPECT_TRUE(program.LeftNothingBehind());
    // The check fetched the archive while the launcher could still show it.
    EXPECT_TRUE(Contains(program.Log(), "taking the archive the launcher fetched"))
        << program.Log();

    // The next check finds the launcher up to date, so it does not update again.
    check = server::CheckVersion(client, program.dir.dir(), server::VersionCheckMode::Automatic,
                                 prompt);
    EXPECT_TRUE(check.result.Ok());
    EXPECT_EQ(check.action, server::VersionAction::None);
}

TEST(UpdaterRoad, ALauncherThatDoesNotExitKeepsItsFiles) {
    ProgramDirectory program(FAKE_LAUNCHER_PATH);
    const std::string oldLauncher = program.dir.Read("Ravik_desk");
    program.dir.Write(
        "update.ini",
        "[ravikver]\r\nversion=2.0\r\nsertime=200\r\nclientadd=http://127.0.0.1:9/x\r\n");
    const std::string settings = program.dir.Read("usercfg.dat");
    ChildProcess launcher({program.dir / "Ravik_desk", program.dir / "release"});
    ASSERT_TRUE(Eventually([&] { return program.dir.Read("launched.txt") == "fake\n"; }));

    ChildProcess updater({program.dir / server::kUpdaterName, "--wait", "1", program.dir.dir()});
    EXPECT_EQ(updater.Wait(), 1);

    EXPECT_TRUE(Contains(program.Log(), "did not exit")) << program.Log();
    EXPECT_EQ(program.dir.Read("Ravik_desk"), oldLauncher);
    EXPECT_EQ(program.dir.Read("usercfg.dat"), settings);
    EXPECT_TRUE(program.LeftNothingBehind());
    // Started once more, which brings the running launcher to the front.
    EXPECT_TRUE(Eventually([&] { return program.dir.Read("launched.txt") == "fake\nfake\n"; }));
    program.dir.Write("release", "");
    EXPECT_EQ(launcher.Wait(), 0);
}

TEST(UpdaterRoad, TheUpdaterWaitsForTheLauncherToExitBeforeReplacingIt) {
    ProgramDirectory program(FAKE_LAUNCHER_PATH);
    DataServer data(NewClient());
    program.dir.Write("update.ini", "[ravikver]\r\nversion=2.0\r\nsertime=200\r\nclientadd=" +
                                        data.ArchiveUrl() + "\r\n");
    ChildProcess launcher({program.dir / "Ravik_desk", program.dir / "release"});
    ASSERT_TRUE(Eventually([&] { return program.dir.Read("launched.txt") == "fake\n"; }));

    ChildProcess updater({program.dir / server::kUpdaterName, "--wait", "600", program.dir.dir()});
    ASSERT_TRUE(Eventually([&] { return Contains(program.Log(), "waiting up to"); }));
    EXPECT_EQ(program.dir.Read("usercfg.dat").find("2.0"), std::string::npos);
    program.dir.Write("release", "");
    EXPECT_EQ(launcher.Wait(), 0);
    EXPECT_EQ(updater.Wait(), 0) << program.Log();

    EXPECT_TRUE(Contains(program.Log(), "has exited")) << program.Log();
    EXPECT_EQ(program.dir.Read("Ravik_desk"), kNewLauncher);
    EXPECT_EQ(program.Setting("ravikver", "version"), "2.0");
    EXPECT_TRUE(Eventually([&] { return program.dir.Read("launched.txt") == "fake\nnew\n"; }));
}

}  // namespace

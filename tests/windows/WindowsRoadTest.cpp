// The Windows programs against the Linux ravik-dataserver on loopback: ravikctl.exe working in
// a program directory whose name is Chinese and has a space, the client's identity, and the
// updater replacing Ravik_desk.exe once it has ended and starting it again.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>

#include "Eventually.h"
#include "HostServer.h"
#include "TempDir.h"
#include "WinProcess.h"
#include "ZipBuilder.h"
#include "catalog/IniFile.h"
#include "platform/HostIdentity.h"
#include "server/ServerClient.h"
#include "server/VersionCheck.h"

namespace fs = std::filesystem;

namespace {

using wintest::ReadFile;
using wintest::Utf8;

class WindowsRoad : public ::testing::Test {
  protected:
    void SetUp() override { fs::create_directory(program); }

    wintest::ProgramRun Ravikctl(const std::vector<fs::path>& command) {
        std::vector<fs::path> args{RAVIKCTL_PATH, "--data-dir", program, "--server",
                                   server.Address()};
        args.insert(args.end(), command.begin(), command.end());
        return wintest::Run(args, temp.path());
    }
    std::string Value(const char* file, const char* section, const char* key) const {
        return catalog::ReadProfileString(Utf8(program / file), section, key, "<missing>", 1000);
    }

    HostServer server;
    TempDir temp;
    const fs::path program = temp.path() / u8"游戏 桌面";
};

TEST_F(WindowsRoad, RavikctlSyncsIntoAProgramDirectoryWithAChineseName) {
    wintest::ProgramRun run = Ravikctl({"sync"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(nlohmann::json::parse(run.output), nlohmann::json({{"applied", 9}, {"ranked", 1}}));

    // The server's GBK text arrives as the same Chinese title, in files under a Chinese name.
    EXPECT_EQ(Value("gamecfg.dat", "TITLE", "2"), "九州传说");
    EXPECT_EQ(Value("gamecfg.dat", "PNG", "2"), server.HttpBase() + "/icons/game101.png");
    EXPECT_EQ(Value("GameTool\\101.dat", "TOOL", "1"), "30301");
    EXPECT_EQ(Value("usercfg.dat", "ravikver", "lasttime"), "16");
    // Icons came over HTTP through libcurl.
    EXPECT_EQ(ReadFile(program / "GameIcon" / "101.png"),
              ReadFile(HostServer::Www() / "icons" / "game101.png"));
    EXPECT_TRUE(fs::exists(program / "ToolIcon" / "30301.png"));

    // ravikctl reads back what it wrote, as the launcher would.
    run = Ravikctl({"catalog"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    nlohmann::json catalog = nlohmann::json::parse(run.output);
    // The fourth game's icon is not on the web server, so it is not listed yet.
    ASSERT_EQ(catalog["games"].size(), 3u);
    EXPECT_EQ(catalog["games"][1]["TITLE"], "九州传说");
    EXPECT_EQ(catalog["games"][1]["icon"], Utf8(program / "GameIcon" / "101.png"));
}

TEST_F(WindowsRoad, StartReportAndVersionCheckReachTheServer) {
    wintest::ProgramRun run = Ravikctl({"report-start"});
    EXPECT_EQ(run.exitCode, 0) << run.output;

    run = Ravikctl({"check-version"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    nlohmann::json answer = nlohmann::json::parse(run.output);
    EXPECT_EQ(answer["newer"], true);
    EXPECT_EQ(answer["version"], "2.0");
    EXPECT_EQ(answer["sertime"], "200");
    // Without --apply nothing is written.
    EXPECT_FALSE(fs::exists(program / "update.ini"));
}

TEST(WindowsIdentity, AdaptersGiveTheClientsHardwareAndInternetAddress) {
    // Whatever machine this runs on, the texts keep the form the data server stores.
    const std::string mac = platform::MacAddressText();
    const std::string ip = platform::LocalIpv4Text();
    if (mac.empty()) {
        GTEST_SKIP() << "this machine has no network interface with a hardware address";
    }
    EXPECT_TRUE(std::regex_match(mac, std::regex("([0-9a-f]{1,2}-){5}[0-9a-f]{1,2}"))) << mac;
    EXPECT_NE(mac, "0-0-0-0-0-0");
    EXPECT_TRUE(std::regex_match(ip, std::regex(R"((\d{1,3}\.){3}\d{1,3})"))) << ip;
}

// The updater road as a Windows user meets it: the version check starts Rv_Update.exe, which
// waits for the running Ravik_desk.exe to end, replaces it and starts the new one.
class AlwaysYes : public server::UserPrompt {
  public:
    server::UpdateAnswer AskUpdate(const std::string&) override {
        return server::UpdateAnswer::Update;
    }
    void Tell(const std::string&) override {}
};

TEST_F(WindowsRoad, TheUpdaterReplacesTheEndedLauncherAndStartsTheNewOne) {
    fs::copy_file(FAKE_LAUNCHER_PATH, program / "Ravik_desk.exe");
    fs::copy_file(RV_UPDATE_PATH, program / "Rv_Update.exe");
    std::ofstream(program / "usercfg.dat", std::ios::binary)
        << "[system]\r\nautoupdate=1\r\n[ravikver]\r\nversion=1.0\r\nsertime=100\r\n";
    // The server offers version 2.0 at /setup/Ravik_2.0.zip: the new launcher and a file.
    fs::create_directories(HostServer::Www() / "setup");
    std::ofstream(HostServer::Www() / "setup" / "Ravik_2.0.zip", std::ios::binary)
        << ziptest::Build({ziptest::File("Ravik_desk.exe", ReadFile(NEW_LAUNCHER_PATH)),
                           ziptest::File("res/readme.txt", "version 2.0")});

    wintest::ChildProcess launcher({program / "Ravik_desk.exe", program / "release"});
    ASSERT_TRUE(Eventually([&] { return ReadFile(program / "launched.txt") == "fake\n"; }));

    server::ClientConfig config;
    config.port = server.Port();
    server::ServerClient client(config);
    AlwaysYes prompt;
    server::VersionCheckResult check = server::CheckVersion(
        client, Utf8(program) + "\\", server::VersionCheckMode::Automatic, prompt);
    ASSERT_TRUE(check.result.Ok()) << check.result.reason;
    ASSERT_EQ(check.action, server::VersionAction::UpdaterStarted);
    ASSERT_TRUE(Eventually([&] {
        return ReadFile(program / "update.log").find("waiting up to") != std::string::npos;
    })) << ReadFile(program / "update.log");
    // A running program cannot be replaced on Windows: nothing has changed yet.
    EXPECT_EQ(ReadFile(program / "Ravik_desk.exe"), ReadFile(FAKE_LAUNCHER_PATH));

    std::ofstream(program / "release").close();
    EXPECT_EQ(launcher.Wait(), 0);
    ASSERT_TRUE(Eventually([&] { return ReadFile(program / "launched.txt") == "fake\nnew\n"; }))
        << ReadFile(program / "update.log");
    EXPECT_EQ(ReadFile(program / "Ravik_desk.exe"), ReadFile(NEW_LAUNCHER_PATH));
    EXPECT_EQ(ReadFile(program / "res" / "readme.txt"), "version 2.0");
    EXPECT_EQ(Value("usercfg.dat", "ravikver", "version"), "2.0");
    EXPECT_EQ(Value("usercfg.dat", "ravikver", "sertime"), "200");
}

}  // namespace

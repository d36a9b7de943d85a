// ravikctl check-version against ravik-dataserver, with a stand-in updater.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "Eventually.h"
#include "Programs.h"
#include "catalog/IniFile.h"
#include "server/VersionCheck.h"

namespace {

class VersionRoad : public ::testing::Test {
  protected:
    ProgramRun Check(const std::vector<std::string>& extra, const std::string& input = {}) {
        std::vector<std::string> args{RAVIKCTL_PATH, "--data-dir",     program.dir(),
                                      "--server",    server.Address(), "check-version"};
        args.insert(args.end(), extra.begin(), extra.end());
        return RunProgram(args, input);
    }
    void Set(const std::string& section, const std::string& key, const std::string& value) {
        ASSERT_TRUE(catalog::WriteProfileKey(program / "usercfg.dat", section, key, value).ok());
    }
    std::string Read(const std::string& file, const std::string& key) {
        return catalog::ReadProfileString(program / file, "ravikver", key, "<missing>", 300);
    }
    // An updater that leaves its argument in a file beside it.
    void InstallUpdater() {
        program.Write(server::kUpdaterName,
                      "#!/bin/sh\nprintf '%s' \"$1\" > \"$1/updater-ran.tmp\"\n"
                      "mv \"$1/updater-ran.tmp\" \"$1/updater-ran\"\n");
        std::filesystem::permissions(program / server::kUpdaterName,
                                     std::filesystem::perms::owner_all);
    }

    TempDir data;
    TempDir program;
    DataServerProcess server{data / "data.db", FIXTURE_DIR "/seed.json"};
};

TEST_F(VersionRoad, ReportsANewerVersionAndWritesNothing) {
    Set("ravikver", "sertime", "100");
    ProgramRun run = Check({});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(nlohmann::json::parse(run.out),
              nlohmann::json({{"newer", true},
                              {"version", "2.0"},
                              {"sertime", "200"},
                              {"clientadd", server.HttpBase() + "/setup/Ravik_2.0.zip"}}));
    EXPECT_FALSE(std::filesystem::exists(program / "update.ini"));
    EXPECT_EQ(Read("usercfg.dat", "old"), "<missing>");
}

TEST_F(VersionRoad, UpToDateIsSaid) {
    Set("ravikver", "sertime", "200");
    ProgramRun run = Check({});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(nlohmann::json::parse(run.out).at("newer"), false);
    EXPECT_NE(run.err.find("当前已经是最新版本!"), std::string::npos) << run.err;
}

// "n" (以后再说) changes nothing; "s" (跳过此版本) only remembers the release as skipped.
TEST_F(VersionRoad, ApplyAsksAndANoOrSkipStartsNothing) {
    InstallUpdater();
    for (const auto& [answer, skipped] :
         {std::pair<const char*, const char*>{"n\n", "<missing>"}, {"s\n", "200"}}) {
        SCOPED_TRACE(answer);
        ProgramRun run = Check({"--apply"}, answer);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.err.find("发现服务器有新版本，是否升级"), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(program / "update.ini"));
        EXPECT_FALSE(std::filesystem::exists(program / "updater-ran"));
        EXPECT_EQ(Read("usercfg.dat", "skipsertime"), skipped);
    }
}

TEST_F(VersionRoad, ApplyWithAutoUpdateStartsTheUpdater) {
    InstallUpdater();
    Set("system", "autoupdate", "1");
    Set("ravikver", "version", "1.0");
    Set("ravikver", "sertime", "100");
    ProgramRun run = Check({"--apply"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Read("update.ini", "version"), "2.0");
    EXPECT_EQ(Read("update.ini", "sertime"), "200");
    EXPECT_EQ(Read("update.ini", "clientadd"), server.HttpBase() + "/setup/Ravik_2.0.zip");
    EXPECT_EQ(Read("usercfg.dat", "oldversion"), "1.0");
    EXPECT_EQ(Read("usercfg.dat", "oldsertime"), "100");
    EXPECT_EQ(Read("usercfg.dat", "old"), "1");
    EXPECT_TRUE(Eventually([&] { return program.Read("updater-ran") == program.dir(); }))
        << program.Read("updater-ran");
}

TEST_F(VersionRoad, ApplyWithoutAnUpdaterFails) {
    Set("system", "autoupdate", "1");
    ProgramRun run = Check({"--apply"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(server::kUpdaterName), std::string::npos) << run.err;
}

}  // namespace

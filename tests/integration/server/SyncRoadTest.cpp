// ravikctl sync and the start-up job against ravik-dataserver on loopback.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "LauncherProgramDir.h"
#include "Programs.h"
#include "RecordingStartupListener.h"
#include "catalog/Catalog.h"
#include "server/StartupJob.h"
#include "server/SyncApply.h"

namespace {

class SyncRoad : public ::testing::Test {
  protected:
    ProgramRun Sync(const DataServerProcess& server) { return program.Sync(server.Address()); }
    static std::string Fixture(const std::string& relative) {
        return ReadWholeFile(std::string(FIXTURE_DIR) + "/" + relative);
    }

    TempDir data;  // the data server's database
    LauncherProgramDir program;
};

TEST_F(SyncRoad, SyncFillsAnEmptyProgramDirectory) {
    DataServerProcess server(data / "data.db", FIXTURE_DIR "/seed.json");
    ProgramRun run = Sync(server);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(nlohmann::json::parse(run.out), nlohmann::json({{"applied", 9}, {"ranked", 1}}));

    // Games in the order the ranking gives, the rest as they came.
    EXPECT_EQ(program.Listed("gamecfg.dat", "NETGAME"),
              (std::vector<uint32_t>{103, 101, 102, 104}));
    EXPECT_EQ(program.Value("gamecfg.dat", "TITLE", "2"), "九州传说");
    EXPECT_EQ(program.Value("gamecfg.dat", "EXENAME", "2"), "jiuzhou.exe");
    EXPECT_EQ(program.Value("gamecfg.dat", "PNG", "2"), server.HttpBase() + "/icons/game101.png");
    EXPECT_EQ(program.Listed("Normalcfg.dat", "NormalTool"), (std::vector<uint32_t>{20301, 20302}));
    EXPECT_EQ(program.Value("Normalcfg.dat", "URL", "1"), server.HttpBase() + "/tools/20301.zip");
    EXPECT_EQ(program.Value("Normalcfg.dat", "VERSION", "1"), "1.2");
    EXPECT_EQ(program.Value("Normalcfg.dat", "SCALE", "1"), "5");
    EXPECT_EQ(program.Listed("GameTool/101.dat", "TOOL"), std::vector<uint32_t>{30301});
    EXPECT_EQ(program.Listed("GameTool/102.dat", "TOOL"), std::vector<uint32_t>{30302});
    EXPECT_EQ(program.Value("usercfg.dat", "ravikver", "lasttime"), "16");
    EXPECT_EQ(program.Value("usercfg.dat", "ravikver", "pxtime"), "7");

    // Icons arrived whole; the one the web server lacks left nothing behind.
    EXPECT_EQ(program.Read("GameIcon/101.png"), Fixture("www/icons/game101.png"));
    EXPECT_EQ(program.Read("GameIcon/102.png"), Fixture("www/icons/game102.png"));
    EXPECT_EQ(program.Read("GameIcon/103.png"), Fixture("www/icons/game103.png"));
    EXPECT_EQ(program.Read("ToolIcon/20301.png"), Fixture("www/icons/tool20301.png"));
    EXPECT_EQ(program.Read("ToolIcon/30301.png"), Fixture("www/icons/tool30301.png"));
    std::vector<std::string> iconFiles;
    for (const auto& entry : std::filesystem::directory_iterator(program.path() / "GameIcon")) {
        iconFiles.push_back(entry.path().filename().string());
    }
    std::sort(iconFiles.begin(), iconFiles.end());
    EXPECT_EQ(iconFiles, (std::vector<std::string>{"101.png", "102.png", "103.png"}));

    // The launcher lists what has an icon, with each game's tools behind its fixed entries.
    catalog::Catalog catalog(program.dir());
    catalog.LoadAll();
    std::vector<uint32_t> games;
    for (const auto& game : catalog.Games()) {
        games.push_back(game.id);
    }
    EXPECT_EQ(games, (std::vector<uint32_t>{103, 101, 102}));
    const catalog::GameRecord* jiuzhou = catalog::FindGame(catalog.Games(), 101);
    ASSERT_NE(jiuzhou, nullptr);
    ASSERT_TRUE(jiuzhou->display);
    ASSERT_EQ(jiuzhou->display->size(), 5u);
    EXPECT_EQ(jiuzhou->display->back().id, 30301u);

    // Nothing is new the second time.
    run = Sync(server);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(nlohmann::json::parse(run.out), nlohmann::json({{"applied", 0}, {"ranked", 0}}));
    EXPECT_EQ(program.Listed("gamecfg.dat", "NETGAME"),
              (std::vector<uint32_t>{103, 101, 102, 104}));
}

TEST_F(SyncRoad, LaterChangesArriveOnTheNextSync) {
    {
        DataServerProcess server(data / "data.db", FIXTURE_DIR "/seed.json");
        ASSERT_EQ(Sync(server).exitCode, 0);
    }
    DataServerProcess server(data / "data.db", FIXTURE_DIR "/seed-update.json");
    ProgramRun run = Sync(server);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(nlohmann::json::parse(run.out), nlohmann::json({{"applied", 2}, {"ranked", 1}}));
    // Game 104, whose icon never arrived, is left to the catalog's own rules.
    std::vector<uint32_t> games = program.Listed("gamecfg.dat", "NETGAME");
    ASSERT_GE(games.size(), 2u);
    EXPECT_EQ(std::vector<uint32_t>(games.begin(), games.begin() + 2),
              (std::vector<uint32_t>{102, 101}));
    EXPECT_EQ(std::count(games.begin(), games.end(), 103u), 0);
    EXPECT_EQ(program.Value("gamecfg.dat", "TITLE", "1"), "星际远征2");
    EXPECT_EQ(program.Listed("Normalcfg.dat", "NormalTool"), std::vector<uint32_t>{20301});
    EXPECT_TRUE(program.Listed("GameTool/102.dat", "TOOL").empty());
    EXPECT_EQ(program.Listed("GameTool/101.dat", "TOOL"), std::vector<uint32_t>{30301});
    EXPECT_EQ(program.Value("usercfg.dat", "ravikver", "lasttime"), "31");
    EXPECT_EQ(program.Value("usercfg.dat", "ravikver", "pxtime"), "8");
}

TEST_F(SyncRoad, AnUnreachableServerChangesNothing) {
    int port;
    {
        server::Socket probe;
        ASSERT_TRUE(probe.Listen("127.0.0.1", 0));
        port = probe.LocalPort();
    }
    ProgramRun run = program.Sync("127.0.0.1:" + std::to_string(port));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(nlohmann::json::parse(run.out), nlohmann::json({{"applied", 0}, {"ranked", 0}}));
    EXPECT_TRUE(std::filesystem::is_empty(program.path()));
}

TEST_F(SyncRoad, ACatalogLargerThanOneReplyArrivesOverSeveralSyncs) {
    // 600 tools with long descriptions: several times what one reply may carry.
    nlohmann::json tools = nlohmann::json::array();
    std::string info;
    for (int i = 0; i < 150; ++i) {
        info += "说明";
    }
    for (int i = 0; i < 600; ++i) {
        tools.push_back({{"id", 40000 + i},
                         {"TYPE", 187},
                         {"TITLE", "工具" + std::to_string(i)},
                         {"INFO", info},
                         {"TIME", 100 + i / 3}});
    }
    std::ofstream(data / "big.json") << nlohmann::json({{"tools", tools}}).dump();
    DataServerProcess server(data / "data.db", data / "big.json");

    int syncs = 0;
    for (;;) {
        ProgramRun run = Sync(server);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        int applied = nlohmann::json::parse(run.out).at("applied");
        ASSERT_LE(applied, 300) << "one reply must stay within the client's limit";
        if (applied == 0) {
            break;
        }
        ASSERT_LT(++syncs, 20);
    }
    EXPECT_GT(syncs, 2);
    std::vector<uint32_t> expected;
    for (uint32_t i = 0; i < 600; ++i) {
        expected.push_back(40000 + i);
    }
    EXPECT_EQ(program.Listed("Normalcfg.dat", "NormalTool"), expected);
    EXPECT_EQ(program.Value("usercfg.dat", "ravikver", "lasttime"), "299");
}

// The window's road: the start-up job hands its changes over, the owner applies them.

class DecliningPrompt : public server::UserPrompt {
  public:
    server::UpdateAnswer AskUpdate(const std::string& text) override {
        asked = text;
        return server::UpdateAnswer::Later;
    }
    void Tell(const std::string&) override {}
    std::string asked;
};

TEST_F(SyncRoad, StartupJobHandsTheChangesToTheCatalogsOwner) {
    DataServerProcess server(data / "data.db", FIXTURE_DIR "/seed.json");
    server::ClientConfig config;
    config.host = "127.0.0.1";
    config.port = server.Port();
    RecordingStartupListener listener;
    DecliningPrompt prompt;
    server::StartupJob job(config, program.dir(), prompt,
                           {std::chrono::milliseconds(0), std::chrono::milliseconds(0)});
    EXPECT_TRUE(job.Start(&listener).Ok());
    EXPECT_EQ(listener.Events(),
              (std::vector<std::string>{"reached", "busy+box", "answered", "changes"}));
    // The server publishes a newer version; the user said no.
    EXPECT_EQ(prompt.asked, "发现服务器有新版本，是否升级");
    EXPECT_FALSE(std::filesystem::exists(program / "update.ini"));

    catalog::Catalog catalog(program.dir());
    ASSERT_TRUE(server::ApplySyncChanges(catalog, listener.Changes()).ok());
    std::vector<uint32_t> games;
    for (const auto& game : catalog.Games()) {
        games.push_back(game.id);
    }
    EXPECT_EQ(games, (std::vector<uint32_t>{103, 101, 102}));
    EXPECT_EQ(catalog.GeneralTools().size(), 2u);
    EXPECT_EQ(program.Value("usercfg.dat", "system", "firststart"), "1");
}

}  // namespace

// `ravik-dataserver admin`: bad input is refused with one clear line and changes nothing;
// the operator's changes reach a launcher through a running server.
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <sstream>

#include "CatalogEditJson.h"
#include "LauncherProgramDir.h"
#include "Programs.h"
#include "Store.h"

namespace {

using nlohmann::json;

class AdminCommand : public ::testing::Test {
  protected:
    ProgramRun Admin(std::vector<std::string> words) {
        words.insert(words.begin(), {DATASERVER_PATH, "admin", "--db", TestDatabase(db)});
        return RunProgram(words);
    }
    // Everything the database holds for clients, as one value.
    json Snapshot() {
        std::unique_ptr<dataserver::Store> opened = dataserver::OpenStore(TestDatabase(db));
        dataserver::Store& store = *opened;
        json all = json::object();
        for (const auto& g : store.Games()) {
            all["games"].push_back(dataserver::ToJson(g));
        }
        for (const auto& t : store.Tools()) {
            all["tools"].push_back(dataserver::ToJson(t));
        }
        for (const auto& r : store.Removals()) {
            all["removals"].push_back(dataserver::ToJson(r));
        }
        dataserver::Ranking ranking = store.CurrentRanking();
        all["ranking"] = ranking.stamp;
        for (const auto& e : ranking.entries) {
            all["ranking"].push_back({e.gameId, e.position});
        }
        dataserver::VersionData version = store.CurrentVersion();
        all["version"] = {version.version, version.sertime, version.clientadd};
        all["generation"] = store.CatalogGeneration();
        return all;
    }

    TempDir data;
    std::string db = data / "data.db";
};

TEST_F(AdminCommand, BadInputIsRefusedWithOneLineAndChangesNothing) {
    ASSERT_EQ(Admin({"put-game", "--id", "101", "--title", "九州传说"}).exitCode, 0);
    ASSERT_EQ(Admin({"remove", "--game", "101"}).exitCode, 0);
    ASSERT_EQ(Admin({"put-game", "--id", "102", "--title", "星际远征"}).exitCode, 0);
    data.Write("not-json.json", "{\"games\": [");
    data.Write("misspelt.json", R"({"games": [{"id": 5, "TILTE": "x"}]})");
    data.Write("invalid.json", R"({"tools": [{"id": 7, "TYPE": 188}]})");
    data.Write("orphan.json", R"({"tools": [{"id": 7, "TYPE": 188, "TITLE": "t", "GAMEID": 9}]})");
    data.Write("ranking.txt", "102:1 x\n");
    const json before = Snapshot();

    struct Case {
        std::vector<std::string> words;
        int exitCode;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{}, 2, "admin needs a command"},
        {{"rename-game"}, 2, "unknown admin command \"rename-game\""},
        {{"put-game", "--id", "5", "--title", "x", "--colour", "red"},
         2,
         "put-game has no option --colour"},
        {{"put-game", "--id"}, 2, "--id needs a value"},
        {{"put-game", "--id", "5x", "--title", "x"}, 2, "--id wants a number"},
        {{"put-game", "--id", "0", "--title", "x"}, 2, "--id wants a number from 1"},
        {{"put-game", "--id", "5"}, 2, "put-game needs --title"},
        {{"put-game", "--id", "5", "--title", "x", "--id", "6"}, 2, "--id is given twice"},
        {{"put-game", "--id", "5", "--title", "x", "extra"}, 2, "takes no word \"extra\""},
        {{"put-tool", "--id", "7", "--type", "186", "--title", "x"}, 2, "--type wants a number"},
        {{"put-tool", "--id", "7", "--type", "188", "--title", "x", "--scale", "big"},
         2,
         "--scale wants a number"},
        {{"put-tool", "--id", "7", "--type", "188", "--title", "x", "--game", "9"},
         1,
         "game 9, which does not exist or was removed"},
        {{"put-tool", "--id", "7", "--type", "188", "--title", "x", "--game", "101"},
         1,
         "game 101, which does not exist or was removed"},
        {{"remove"}, 2, "remove needs at least one --game or --tool"},
        {{"remove", "--game", "-1"}, 2, "--game wants a number"},
        {{"set-version", "--version", "2.0", "--sertime", "soon", "--url", "http://x"},
         2,
         "--sertime wants a number"},
        {{"set-version", "--version", "2.0", "--sertime", "200"}, 2, "set-version needs --url"},
        {{"set-ranking", "102"}, 2, "GAMEID:POSITION, not \"102\""},
        {{"set-ranking", "102:100"}, 2, "a ranking position wants a number from 1 to 99"},
        {{"set-ranking", "102:1", "101:1"}, 1, "ranking position 1"},
        {{"set-ranking", "--file", data / "ranking.txt"}, 2, "not \"x\""},
        {{"publish"}, 2, "publish needs one FILE"},
        {{"publish", data / "missing.json"}, 1, "cannot read"},
        {{"publish", data / "not-json.json"}, 1, "is not JSON"},
        {{"publish", data / "misspelt.json"}, 1, "unknown key \"TILTE\""},
        {{"publish", data / "invalid.json"}, 1, "tool 7 needs a title"},
        {{"publish", data / "orphan.json"}, 1, "game 9, which does not exist"},
        {{"replies"}, 2, "replies needs --lasttime"},
        {{"list-games", "--search"}, 2, "--search needs a value"},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const auto& word : c.words) {
            shown += word + " ";
        }
        SCOPED_TRACE(shown);
        ProgramRun run = Admin(c.words);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(Snapshot(), before);
    }
    // Without --db nothing is opened at all.
    ProgramRun run = RunProgram({DATASERVER_PATH, "admin", "list-games"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("admin needs --db"), std::string::npos) << run.err;
}

class AdminRoad : public AdminCommand {
  protected:
    ProgramRun Sync() { return program.Sync(server.Address()); }
    void Ok(const std::vector<std::string>& words) {
        ProgramRun run = Admin(words);
        ASSERT_EQ(run.exitCode, 0) << run.err;
    }

    LauncherProgramDir program;
    DataServerProcess server{db, ""};
};

TEST_F(AdminRoad, OperatorChangesReachALauncherThroughTheRunningServer) {
    Ok({"put-game", "--id", "101", "--title", "九州传说", "--exename", "jiuzhou.exe", "--png",
        "{{http}}/icons/game101.png"});
    Ok({"put-game", "--id", "102", "--title", "星际远征"});
    Ok({"put-tool", "--id", "30301", "--game", "101", "--type", "192", "--title", "九州助手"});
    Ok({"put-tool", "--id", "20301", "--type", "189", "--title", "游戏论坛", "--url",
        "http://bbs.example/"});
    Ok({"put-tool", "--id", "20302", "--type", "187", "--title", "加速器"});
    Ok({"set-ranking", "102:1", "101:2"});
    Ok({"set-version", "--version", "2.0", "--sertime", "200", "--url",
        "{{http}}/setup/Ravik_2.0.zip"});

    ProgramRun run = Sync();
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(json::parse(run.out), json({{"applied", 5}, {"ranked", 1}}));
    EXPECT_EQ(program.Listed("gamecfg.dat", "NETGAME"), (std::vector<uint32_t>{102, 101}));
    EXPECT_EQ(program.Value("gamecfg.dat", "PNG", "2"), server.HttpBase() + "/icons/game101.png");
    EXPECT_EQ(program.Listed("GameTool/101.dat", "TOOL"), std::vector<uint32_t>{30301});
    EXPECT_EQ(program.Listed("Normalcfg.dat", "NormalTool"), (std::vector<uint32_t>{20301, 20302}));
    EXPECT_EQ(program.Value("usercfg.dat", "ravikver", "lasttime"), "5");

    // A removal and a changed game arrive on the next sync; a reordering too.
    Ok({"remove", "--tool", "20301"});
    Ok({"put-game", "--id", "102", "--title", "星际远征2"});
    Ok({"set-ranking", "101:1", "102:2"});
    run = Sync();
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(json::parse(run.out), json({{"applied", 2}, {"ranked", 1}}));
    EXPECT_EQ(program.Listed("Normalcfg.dat", "NormalTool"), std::vector<uint32_t>{20302});
    EXPECT_EQ(program.Listed("gamecfg.dat", "NETGAME"), (std::vector<uint32_t>{101, 102}));
    EXPECT_EQ(program.Value("gamecfg.dat", "TITLE", "2"), "星际远征2");

    // The version offered is the operator's.
    run = RunProgram({RAVIKCTL_PATH, "--data-dir", program.dir(), "--server", server.Address(),
                      "check-version"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(json::parse(run.out).at("clientadd"), server.HttpBase() + "/setup/Ravik_2.0.zip");

    // What `replies` shows is what the launcher got: nothing beyond its lasttime, and from
    // 0 the records of the whole catalog, the removed tool left out.
    const std::string lasttime = program.Value("usercfg.dat", "ravikver", "lasttime");
    run = Admin({"replies", "--lasttime", lasttime});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(json::parse(run.out),
              json({{"lasttime", std::stoi(lasttime)}, {"records", json::array()}}));
    run = Admin({"replies", "--lasttime", "0"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::istringstream lines(run.out);
    std::vector<std::string> ids;
    for (std::string line; std::getline(lines, line);) {
        const json reply = json::parse(line);
        for (const auto& record : reply.at("records")) {
            ids.push_back(record.at(0).get<std::string>() == "R8053"
                              ? "R" + record.at(2).get<std::string>()
                              : record.at(2).get<std::string>() + "/" +
                                    record.at(3).get<std::string>());
        }
    }
    // Game 101 with its tool, tool 20302, the removal of 20301, then game 102.
    EXPECT_EQ(ids, (std::vector<std::string>{"101/", "101/30301", "0/20302", "R20301", "102/"}));

    run = Admin({"list-games", "--search", "星际"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    json listed = json::parse(run.out).at("games");
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].at("TITLE"), "星际远征2");
}

}  // namespace

// What every storage engine must do, run against each engine through the Store interface:
// automatic stamps, edits applied whole or not at all, the catalog generation, report
// batches, and the usage summary.
#include <gtest/gtest.h>

#include <ctime>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "CatalogEditJson.h"
#include "StoreEngines.h"

namespace {

using namespace dataserver;

GameRecord Game(uint32_t id, uint32_t time) {
    GameRecord game;
    game.id = id;
    game.title = "游戏" + std::to_string(id);
    game.time = time;
    return game;
}

ToolRecord Tool(uint32_t id, uint32_t gameId, uint32_t time) {
    ToolRecord tool;
    tool.id = id;
    tool.gameId = gameId;
    tool.type = 188;
    tool.title = "工具" + std::to_string(id);
    tool.time = time;
    return tool;
}

Report MakeReport(const std::string& kind, const std::string& mac) {
    Report report;
    report.kind = kind;
    report.mac = mac;
    report.peer = "127.0.0.1";
    report.ip = "10.0.0.1";
    report.time = "2026-01-02 03:04:05";
    return report;
}

// Everything a client can be sent, as one comparable value.
nlohmann::json Catalog(Store& store) {
    nlohmann::json all;
    for (const auto& g : store.Games()) {
        all["games"].push_back(ToJson(g));
    }
    for (const auto& t : store.Tools()) {
        all["tools"].push_back(ToJson(t));
    }
    for (const auto& r : store.Removals()) {
        all["removals"].push_back(ToJson(r));
    }
    Ranking ranking = store.CurrentRanking();
    all["ranking"]["stamp"] = ranking.stamp;
    for (const auto& e : ranking.entries) {
        all["ranking"]["games"].push_back({e.gameId, e.position});
    }
    VersionData version = store.CurrentVersion();
    all["version"] = {version.version, version.sertime, version.clientadd};
    return all;
}

std::string TodayUtc() {
    std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &utc);
    return text;
}

class StoreSuite : public ::testing::TestWithParam<StoreEngine> {
  protected:
    void SetUp() override {
        if (std::string why = GetParam().unavailable(); !why.empty()) {
            GTEST_SKIP() << why;
        }
        store = GetParam().open(dir);
    }

    TempDir dir;
    std::unique_ptr<Store> store;
};

TEST_P(StoreSuite, AutomaticStampsLieAboveEveryEarlierStamp) {
    // The newest stamp is a removal's, above every game's and tool's.
    CatalogEdit seed;
    seed.games = {Game(1, 10), Game(2, 5)};
    seed.tools = {Tool(7, 1, 20)};
    seed.removals = {{{2}, {}, 30}};
    EXPECT_EQ(store->Publish(seed), 0u);
    EXPECT_EQ(store->NewestStamp(), 30u);

    CatalogEdit edit;
    edit.games = {Game(3, 0)};
    edit.tools = {Tool(8, 3, 0), Tool(9, 0, 25)};
    edit.removals = {{{}, {7}, 0}};
    EXPECT_EQ(store->Publish(edit), 31u);
    EXPECT_EQ(store->NewestStamp(), 31u);

    std::map<uint32_t, uint32_t> gameStamps, toolStamps;
    for (const auto& g : store->Games()) {
        gameStamps[g.id] = g.time;
    }
    for (const auto& t : store->Tools()) {
        toolStamps[t.id] = t.time;
    }
    EXPECT_EQ(gameStamps, (std::map<uint32_t, uint32_t>{{1, 10}, {2, 5}, {3, 31}}));
    EXPECT_EQ(toolStamps, (std::map<uint32_t, uint32_t>{{7, 20}, {8, 31}, {9, 25}}));
    std::vector<RemovalRecord> removals = store->Removals();
    ASSERT_EQ(removals.size(), 2u);
    EXPECT_EQ(removals[1].time, 31u);
    EXPECT_EQ(removals[1].tools, std::vector<uint32_t>{7});

    // A replaced record takes the new stamp, so clients that had it receive it again.
    EXPECT_EQ(store->Publish({{Game(1, 0)}, {}, {}, {}, {}}), 32u);
    EXPECT_EQ(store->ChangesAfter(31).games.size(), 1u);
}

TEST_P(StoreSuite, AnUnstampedRankingAlwaysGetsAStampClientsHaveNotSeen) {
    store->Publish({{Game(1, 0)}, {}, {}, {}, {}});
    const uint32_t first = store->Publish({{}, {}, {}, Ranking{"", {{1, 1}}}, {}});
    EXPECT_EQ(store->CurrentRanking().stamp, std::to_string(first));
    // No record changed in between: the second order still needs a stamp of its own, or
    // clients holding the first would never fetch it.
    const uint32_t second = store->Publish({{}, {}, {}, Ranking{"", {{1, 2}}}, {}});
    EXPECT_NE(second, first);
    EXPECT_EQ(store->CurrentRanking().stamp, std::to_string(second));
    // An operator's own stamp text is kept as it is.
    EXPECT_EQ(store->Publish({{}, {}, {}, Ranking{"v9", {{1, 3}}}, {}}), 0u);
    EXPECT_EQ(store->CurrentRanking().stamp, "v9");
}

TEST_P(StoreSuite, PublishingTheSameStampedEditTwiceChangesNothing) {
    CatalogEdit seed;
    seed.games = {Game(1, 10)};
    seed.tools = {Tool(7, 1, 11)};
    seed.removals = {{{9}, {}, 5}};
    seed.ranking = Ranking{"7", {{1, 1}}};
    seed.version = VersionData{"2.0", "200", "http://x/setup.zip"};
    store->Publish(seed);
    const nlohmann::json once = Catalog(*store);
    store->Publish(seed);
    EXPECT_EQ(Catalog(*store), once);
    EXPECT_EQ(store->Removals().size(), 1u);
}

TEST_P(StoreSuite, AnInvalidEditChangesNothing) {
    CatalogEdit seed;
    seed.games = {Game(1, 10)};
    seed.ranking = Ranking{"7", {{1, 1}}};
    seed.version = VersionData{"2.0", "200", "http://x/setup.zip"};
    store->Publish(seed);
    const nlohmann::json before = Catalog(*store);
    const uint64_t generation = store->CatalogGeneration();

    auto withValidGame = [](CatalogEdit edit) {
        // A valid record ahead of the fault, so a half-applied edit would show.
        edit.games.insert(edit.games.begin(), Game(2, 0));
        return edit;
    };
    ToolRecord badType = Tool(7, 0, 0);
    badType.type = 186;
    ToolRecord untitled = Tool(8, 0, 0);
    untitled.title.clear();
    const std::vector<std::pair<std::string, CatalogEdit>> cases = {
        {"a game id of 0", withValidGame({{Game(0, 0)}, {}, {}, {}, {}})},
        {"a game twice", withValidGame({{Game(3, 0), Game(3, 0)}, {}, {}, {}, {}})},
        {"a tool of type 186", withValidGame({{}, {badType}, {}, {}, {}})},
        {"a tool without title", withValidGame({{}, {untitled}, {}, {}, {}})},
        {"an empty removal", withValidGame({{}, {}, {{{}, {}, 0}}, {}, {}})},
        {"a ranking position of 100", withValidGame({{}, {}, {}, Ranking{"", {{1, 100}}}, {}})},
        {"a game ranked twice", withValidGame({{}, {}, {}, Ranking{"", {{1, 1}, {1, 2}}}, {}})},
        {"a sertime that is no number",
         withValidGame({{}, {}, {}, {}, VersionData{"3.0", "abc", "http://x"}})},
    };
    for (const auto& [name, edit] : cases) {
        SCOPED_TRACE(name);
        EXPECT_THROW(store->Publish(edit), StoreError);
        EXPECT_EQ(Catalog(*store), before);
        EXPECT_EQ(store->CatalogGeneration(), generation);
    }
}

TEST_P(StoreSuite, TheGenerationMovesWithTheCatalogAndNotWithReports) {
    uint64_t generation = store->CatalogGeneration();
    const std::vector<std::pair<std::string, CatalogEdit>> edits = {
        {"a game", {{Game(1, 0)}, {}, {}, {}, {}}},
        {"a tool", {{}, {Tool(7, 1, 0)}, {}, {}, {}}},
        {"a removal", {{}, {}, {{{}, {7}, 0}}, {}, {}}},
        {"a ranking", {{}, {}, {}, Ranking{"", {{1, 1}}}, {}}},
        {"a version", {{}, {}, {}, {}, VersionData{"2.0", "200", "http://x"}}},
    };
    for (const auto& [name, edit] : edits) {
        SCOPED_TRACE(name);
        store->Publish(edit);
        EXPECT_NE(store->CatalogGeneration(), generation);
        generation = store->CatalogGeneration();
    }
    store->StoreReports({MakeReport("start", "m1"), MakeReport("run", "m1")});
    EXPECT_EQ(store->CatalogGeneration(), generation);
}

TEST_P(StoreSuite, AReportBatchIsStoredWholeOrNotAtAll) {
    store->StoreReports({MakeReport("start", "m1")});
    GetParam().refuseReportsFrom(dir, "poison");
    EXPECT_THROW(store->StoreReports({MakeReport("start", "m2"), MakeReport("start", "poison"),
                                      MakeReport("start", "m3")}),
                 StoreError);
    std::vector<Report> stored = store->RecentReports(10);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].mac, "m1");
    // The store goes on working after the failed batch.
    store->StoreReports({MakeReport("start", "m4")});
    EXPECT_EQ(store->RecentReports(10).size(), 2u);
}

TEST_P(StoreSuite, RecentReportsComeNewestFirstWithEveryField) {
    Report check = MakeReport("check", "m1");
    check.sertime = "200";
    Report feedback = MakeReport("feedback", "m2");
    feedback.gameId = 101;
    feedback.itemId = 5;
    feedback.reason = "下载太慢";
    store->StoreReports({MakeReport("start", "m0")});
    store->StoreReports({check, feedback});
    std::vector<Report> recent = store->RecentReports(2);
    ASSERT_EQ(recent.size(), 2u);
    EXPECT_EQ(recent[0].kind, "feedback");
    EXPECT_EQ(recent[0].gameId, 101);
    EXPECT_EQ(recent[0].itemId, 5);
    EXPECT_EQ(recent[0].reason, "下载太慢");
    EXPECT_EQ(recent[1].sertime, "200");
    EXPECT_EQ(recent[1].received.substr(0, 10), TodayUtc());
    EXPECT_EQ(recent[1].received.size(), 19u);
}

TEST_P(StoreSuite, UsageCountsTheLastDaysReports) {
    store->Publish({{Game(1, 0)}, {Tool(7, 1, 0), Tool(8, 0, 0)}, {}, {}, {}});
    auto run = [](const std::string& mac, int64_t tool) {
        Report report = MakeReport("run", mac);
        report.toolId = tool;
        return report;
    };
    auto feedback = [](const std::string& mac, const std::string& reason) {
        Report report = MakeReport("feedback", mac);
        report.reason = reason;
        return report;
    };
    auto check = [](const std::string& mac, const std::string& sertime) {
        Report report = MakeReport("check", mac);
        report.sertime = sertime;
        return report;
    };
    store->StoreReports({MakeReport("start", "A"), MakeReport("start", "A"),
                         MakeReport("start", "B"), run("A", 7), run("B", 7), run("C", 8),
                         run("C", 999), feedback("A", "慢"), feedback("B", "慢"),
                         feedback("C", "崩溃"), check("A", "200"), check("A", "200"),
                         check("B", "200"), check("D", "100")});

    UsageSummary usage = store->Usage(7);
    ASSERT_EQ(usage.days.size(), 7u);
    EXPECT_EQ(usage.days.back().day, TodayUtc());
    EXPECT_EQ(usage.days.back().starts, 3);
    EXPECT_EQ(usage.days.back().clients, 4);  // A, B, C, D
    for (std::size_t i = 0; i + 1 < usage.days.size(); ++i) {
        EXPECT_LT(usage.days[i].day, usage.days[i + 1].day);
        EXPECT_EQ(usage.days[i].starts, 0);
        EXPECT_EQ(usage.days[i].clients, 0);
    }
    auto pairs = [](const std::vector<UsageCount>& counts) {
        std::vector<std::pair<std::string, int64_t>> result;
        for (const auto& c : counts) {
            result.emplace_back(c.label, c.count);
        }
        return result;
    };
    using Counts = std::vector<std::pair<std::string, int64_t>>;
    EXPECT_EQ(pairs(usage.toolRuns), (Counts{{"7 工具7", 2}, {"8 工具8", 1}, {"999", 1}}));
    EXPECT_EQ(pairs(usage.feedbackReasons), (Counts{{"慢", 2}, {"崩溃", 1}}));
    EXPECT_EQ(pairs(usage.versions), (Counts{{"200", 2}, {"100", 1}}));
    EXPECT_EQ(store->Usage(1).days.size(), 1u);
}

TEST_P(StoreSuite, ToolRunsListOnlyTheTwentyMostRun) {
    std::vector<Report> runs;
    for (int tool = 1; tool <= 25; ++tool) {
        for (int n = 0; n < tool; ++n) {
            Report report = MakeReport("run", "m");
            report.toolId = tool;
            runs.push_back(report);
        }
    }
    store->StoreReports(runs);
    std::vector<UsageCount> top = store->Usage(1).toolRuns;
    ASSERT_EQ(top.size(), 20u);
    EXPECT_EQ(top.front().label, "25");
    EXPECT_EQ(top.front().count, 25);
    EXPECT_EQ(top.back().label, "6");
}

TEST_P(StoreSuite, PublicationsFromSeveralThreadsEachGetTheirOwnStamp) {
    constexpr int kThreads = 4, kEach = 15;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this, t] {
            for (int n = 0; n < kEach; ++n) {
                store->Publish(
                    {{Game(static_cast<uint32_t>(1 + t * kEach + n), 0)}, {}, {}, {}, {}});
                store->ChangesAfter(0);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    std::set<uint32_t> stamps;
    for (const auto& game : store->Games()) {
        stamps.insert(game.time);
    }
    EXPECT_EQ(stamps.size(), std::size_t{kThreads * kEach});
    EXPECT_EQ(*stamps.rbegin(), uint32_t{kThreads * kEach});
}

TEST_P(StoreSuite, ChangesAfterAStampTellWhatIsRemovedAndWhichGamesLive) {
    store->Publish({{Game(1, 1), Game(2, 4)}, {Tool(10, 1, 2), Tool(11, 1, 2)}, {}, {}, {}});
    store->Publish({{}, {}, {{{}, {10}, 3}, {{2}, {}, 5}}, {}, {}});

    CatalogChanges changes = store->ChangesAfter(3);
    ASSERT_EQ(changes.games.size(), 1u);
    EXPECT_EQ(changes.games[0].id, 2u);
    EXPECT_TRUE(changes.tools.empty());
    ASSERT_EQ(changes.removals.size(), 1u);
    EXPECT_EQ(changes.removals[0].time, 5u);
    // Removals before the stamp still count: tool 10 is gone, game 2 removed after its stamp.
    EXPECT_EQ(changes.toolRemovedAt, (std::map<uint32_t, uint32_t>{{10, 3}}));
    EXPECT_EQ(changes.liveGames, std::set<uint32_t>{1});

    // Every tool of a changed game comes with it, older ones included.
    changes = store->ChangesAfter(0);
    EXPECT_EQ(changes.tools.size(), 2u);
    EXPECT_EQ(changes.removals.size(), 2u);
}

// Two stores on one database stand for two data-server processes sharing it.
TEST_P(StoreSuite, StoresSharingADatabaseNeverHandOutTheSameStamp) {
    std::unique_ptr<Store> other = GetParam().open(dir);
    constexpr int kThreads = 4, kEach = 15;
    std::vector<std::thread> threads;
    std::vector<uint32_t> stamps[kThreads];
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            Store& mine = t % 2 == 0 ? *store : *other;
            for (int n = 0; n < kEach; ++n) {
                stamps[t].push_back(mine.Publish(
                    {{Game(static_cast<uint32_t>(1 + t * kEach + n), 0)}, {}, {}, {}, {}}));
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    std::set<uint32_t> all;
    for (const auto& some : stamps) {
        all.insert(some.begin(), some.end());
    }
    EXPECT_EQ(all.size(), std::size_t{kThreads * kEach});
    EXPECT_EQ(*all.begin(), 1u);
    EXPECT_EQ(*all.rbegin(), uint32_t{kThreads * kEach});
    EXPECT_EQ(other->NewestStamp(), uint32_t{kThreads * kEach});
}

TEST_P(StoreSuite, ReportTextsComeBackAsSent) {
    Report odd = MakeReport("feedback", R"(00-11 "mac", {x})");
    odd.reason = R"(无法运行 "quoted", {braced} \back\slash, NULL)";
    odd.time = "";
    store->StoreReports({odd, MakeReport("start", "m1")});
    std::vector<Report> back = store->RecentReports(5);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[1].mac, odd.mac);
    EXPECT_EQ(back[1].reason, odd.reason);
    EXPECT_EQ(back[1].time, "");
}

INSTANTIATE_TEST_SUITE_P(Engines, StoreSuite, ::testing::ValuesIn(StoreEngines()),
                         [](const ::testing::TestParamInfo<StoreEngine>& info) {
                             return info.param.name;
                         });

}  // namespace

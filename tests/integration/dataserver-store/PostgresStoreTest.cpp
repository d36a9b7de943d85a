// The PostgreSQL store on a real server (skipped when the tests have none): stamps handed out
// by publications, several stores (as several data-server processes) on one database, report
// batches, the generation counter and the usage summary.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "PostgresConnection.h"
#include "Store.h"
#include "TempDir.h"
#include "TestDatabase.h"

namespace {

using dataserver::CatalogEdit;
using dataserver::GameRecord;
using dataserver::Report;
using dataserver::StoreError;
using dataserver::ToolRecord;

GameRecord Game(uint32_t id, uint32_t time = 0) {
    GameRecord game;
    game.id = id;
    game.title = "游戏" + std::to_string(id);
    game.time = time;
    return game;
}

ToolRecord Tool(uint32_t id, uint32_t gameId, uint32_t time = 0, uint32_t type = 191) {
    ToolRecord tool;
    tool.id = id;
    tool.gameId = gameId;
    tool.type = type;
    tool.title = "工具" + std::to_string(id);
    tool.time = time;
    return tool;
}

dataserver::RemovalRecord Removal(std::vector<uint32_t> games, std::vector<uint32_t> tools,
                                  uint32_t time) {
    dataserver::RemovalRecord removal;
    removal.games = std::move(games);
    removal.tools = std::move(tools);
    removal.time = time;
    return removal;
}

CatalogEdit Records(std::vector<GameRecord> games, std::vector<ToolRecord> tools = {},
                    std::vector<dataserver::RemovalRecord> removals = {}) {
    CatalogEdit edit;
    edit.games = std::move(games);
    edit.tools = std::move(tools);
    edit.removals = std::move(removals);
    return edit;
}

CatalogEdit RankingEdit(const std::string& stamp, std::vector<dataserver::RankingEntry> entries) {
    CatalogEdit edit;
    edit.ranking.emplace();
    edit.ranking->stamp = stamp;
    edit.ranking->entries = std::move(entries);
    return edit;
}

CatalogEdit VersionEdit(std::vector<GameRecord> games, const std::string& sertime) {
    CatalogEdit edit = Records(std::move(games));
    edit.version = dataserver::VersionData{"2.0", sertime, "http://127.0.0.1/setup.zip"};
    return edit;
}

Report RunReport(const std::string& mac, int64_t toolId) {
    Report report;
    report.kind = "run";
    report.mac = mac;
    report.toolId = toolId;
    return report;
}

// Each test has a database of its own; Open() gives another store on it, as another
// data-server process would have.
class PostgresStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (PostgresTestUri().empty()) {
            GTEST_SKIP() << "no PostgreSQL server (RAVIK_TEST_POSTGRES_URI)";
        }
        uri_ = TestDatabase(dir_ / "store.db");
        store_ = Open();
    }
    std::unique_ptr<dataserver::Store> Open() const { return dataserver::OpenStore(uri_); }
    // A connection outside the store, for what the store cannot do itself.
    dataserver::PostgresConnection Admin() const { return dataserver::PostgresConnection(uri_); }

    TempDir dir_;
    std::string uri_;
    std::unique_ptr<dataserver::Store> store_;
};

TEST_F(PostgresStoreTest, RecordsWithoutAStampGetOneAboveEveryStampHeld) {
    EXPECT_EQ(store_->NewestStamp(), 0u);
    EXPECT_EQ(store_->Publish(Records({Game(1)})), 1u);
    // An explicit stamp is kept, and the next new one goes above it.
    EXPECT_EQ(store_->Publish(Records({Game(2, 40)})), 0u);
    CatalogEdit edit;
    edit.tools = {Tool(10, 1), Tool(11, 0, 7)};
    edit.removals = {Removal({2}, {}, 0)};
    EXPECT_EQ(store_->Publish(edit), 41u);
    EXPECT_EQ(store_->NewestStamp(), 41u);

    auto games = store_->Games();
    ASSERT_EQ(games.size(), 2u);
    EXPECT_EQ(games[0].time, 1u);
    EXPECT_EQ(games[0].title, "游戏1");
    EXPECT_EQ(games[1].time, 40u);
    auto tools = store_->Tools();
    ASSERT_EQ(tools.size(), 2u);
    EXPECT_EQ(tools[0].time, 41u);
    EXPECT_EQ(tools[1].time, 7u);
    auto removals = store_->Removals();
    ASSERT_EQ(removals.size(), 1u);
    EXPECT_EQ(removals[0].games, std::vector<uint32_t>{2});
    EXPECT_EQ(removals[0].time, 41u);

    // Replacing a record by id keeps one record with the new stamp.
    EXPECT_EQ(store_->Publish(Records({Game(1)})), 42u);
    EXPECT_EQ(store_->Games().size(), 2u);
    EXPECT_EQ(store_->Games()[0].time, 42u);
}

TEST_F(PostgresStoreTest, ChangesAfterAStampTellWhatIsRemovedAndWhichGamesLive) {
    store_->Publish(Records({Game(1, 1), Game(2, 4)}, {Tool(10, 1, 2), Tool(11, 1, 2)}));
    store_->Publish(Records({}, {}, {Removal({}, {10}, 3), Removal({2}, {}, 5)}));

    dataserver::CatalogChanges changes = store_->ChangesAfter(3);
    ASSERT_EQ(changes.games.size(), 1u);
    EXPECT_EQ(changes.games[0].id, 2u);
    EXPECT_TRUE(changes.tools.empty());
    ASSERT_EQ(changes.removals.size(), 1u);
    EXPECT_EQ(changes.removals[0].time, 5u);
    EXPECT_EQ(changes.toolRemovedAt, (std::map<uint32_t, uint32_t>{{10, 3}}));
    EXPECT_EQ(changes.liveGames, std::set<uint32_t>{1});

    // Every tool of a changed game comes with it, older ones included.
    changes = store_->ChangesAfter(0);
    EXPECT_EQ(changes.tools.size(), 2u);
    EXPECT_EQ(changes.removals.size(), 2u);
}

TEST_F(PostgresStoreTest, RankingWithoutAStampGetsTheNewStampAndNeverRepeatsIt) {
    store_->Publish(Records({Game(1, 5), Game(2, 6)}));
    EXPECT_EQ(store_->Publish(RankingEdit("", {{1, 1}, {2, 2}})), 7u);
    EXPECT_EQ(store_->CurrentRanking().stamp, "7");
    // A client holding "7" must see the next order as new, though no record changed.
    store_->Publish(RankingEdit("", {{2, 1}}));
    dataserver::Ranking now = store_->CurrentRanking();
    EXPECT_EQ(now.stamp, "8");
    ASSERT_EQ(now.entries.size(), 1u);
    EXPECT_EQ(now.entries[0].gameId, 2u);
    EXPECT_EQ(now.entries[0].position, 1u);

    store_->Publish(RankingEdit("春季", {{1, 3}}));
    EXPECT_EQ(store_->CurrentRanking().stamp, "春季");
}

TEST_F(PostgresStoreTest, InvalidEditsChangeNothing) {
    store_->Publish(VersionEdit({Game(1, 1)}, "200"));
    const uint64_t generation = store_->CatalogGeneration();
    struct Case {
        const char* what;
        CatalogEdit edit;
    };
    const Case cases[] = {
        {"a tool of a game that is not stored", Records({Game(2)}, {Tool(10, 3)})},
        {"a tool type out of range", Records({Game(2)}, {Tool(10, 0, 0, 5)})},
        {"a version whose sertime is no number", VersionEdit({Game(2)}, "soon")},
    };
    for (const Case& c : cases) {
        EXPECT_THROW(store_->Publish(c.edit), StoreError) << c.what;
        EXPECT_EQ(store_->Games().size(), 1u) << c.what;
        EXPECT_TRUE(store_->Tools().empty()) << c.what;
        EXPECT_EQ(store_->CurrentVersion().sertime, "200") << c.what;
        EXPECT_EQ(store_->CatalogGeneration(), generation) << c.what;
    }
    // A tool may name a game stored earlier or published with it.
    EXPECT_NO_THROW(store_->Publish(Records({}, {Tool(10, 1)})));
    EXPECT_NO_THROW(store_->Publish(Records({Game(3)}, {Tool(11, 3)})));
}

TEST_F(PostgresStoreTest, TwoStoresOnOneDatabaseNeverHandOutTheSameStamp) {
    // Both open a fresh database at once: one creates the schema, the other waits for it.
    std::unique_ptr<dataserver::Store> stores[2];
    {
        uri_ = TestDatabase(dir_ / "shared.db");
        std::thread other([&] { stores[1] = Open(); });
        stores[0] = Open();
        other.join();
    }
    ASSERT_TRUE(stores[0] && stores[1]);
    constexpr uint32_t kEach = 30;
    std::vector<uint32_t> stamps[4];
    std::vector<std::thread> writers;
    for (uint32_t w = 0; w < 4; ++w) {
        writers.emplace_back([&, w] {
            for (uint32_t i = 0; i < kEach; ++i) {
                stamps[w].push_back(stores[w % 2]->Publish(Records({Game(w * 1000 + i + 1)})));
            }
        });
    }
    for (std::thread& writer : writers) {
        writer.join();
    }
    std::set<uint32_t> all;
    for (const auto& some : stamps) {
        all.insert(some.begin(), some.end());
        EXPECT_TRUE(std::is_sorted(some.begin(), some.end()));
    }
    EXPECT_EQ(all.size(), 4 * kEach);
    EXPECT_EQ(*all.begin(), 1u);
    EXPECT_EQ(*all.rbegin(), 4 * kEach);
    EXPECT_EQ(stores[1]->NewestStamp(), 4 * kEach);
}

TEST_F(PostgresStoreTest, TheGenerationMovesWithTheCatalogAndNotWithReports) {
    auto other = Open();
    const uint64_t start = other->CatalogGeneration();
    store_->Publish(Records({Game(1)}));
    const uint64_t published = other->CatalogGeneration();
    EXPECT_GT(published, start);
    store_->StoreReports({RunReport("m1", 5)});
    EXPECT_EQ(other->CatalogGeneration(), published);
    store_->Publish(VersionEdit({}, "210"));
    EXPECT_GT(other->CatalogGeneration(), published);
}

TEST_F(PostgresStoreTest, AReportBatchIsStoredWholeOrNotAtAll) {
    Report odd;
    odd.kind = "feedback";
    odd.peer = "127.0.0.1";
    odd.mac = "00-11-22-33-44-55";
    odd.ip = "10.0.0.2";
    odd.time = "2026-05-01 08:00:00";
    odd.gameId = 101;
    odd.itemId = 20301;
    odd.reason = R"(无法运行 "quoted", {braced} \back\slash)";
    Report bad = RunReport("m2", 7);
    bad.reason = "\xff\xfe not UTF-8";
    EXPECT_THROW(store_->StoreReports({odd, bad}), StoreError);
    EXPECT_TRUE(store_->RecentReports(10).empty());

    Report start;
    start.kind = "start";
    start.mac = "m1";
    start.firstStart = "1";
    Report check;
    check.kind = "check";
    check.mac = "m1";
    check.sertime = "200";
    store_->StoreReports({odd, start, check});
    auto reports = store_->RecentReports(10);
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[0].kind, "check");  // newest first
    EXPECT_EQ(reports[0].sertime, "200");
    EXPECT_EQ(reports[1].firstStart, "1");
    const Report& back = reports[2];
    EXPECT_EQ(back.reason, odd.reason);
    EXPECT_EQ(back.peer, odd.peer);
    EXPECT_EQ(back.mac, odd.mac);
    EXPECT_EQ(back.ip, odd.ip);
    EXPECT_EQ(back.time, odd.time);
    EXPECT_EQ(back.gameId, 101);
    EXPECT_EQ(back.itemId, 20301);
    EXPECT_TRUE(back.received.size() == 19 && back.received[10] == ' ') << back.received;
    EXPECT_EQ(store_->RecentReports(1).size(), 1u);
}

TEST_F(PostgresStoreTest, UsageCountsUtcDaysToolsReasonsAndVersions) {
    store_->Publish(Records({Game(1, 1)}, {Tool(7, 1, 1)}));
    std::vector<Report> reports;
    for (int tool = 100; tool < 122; ++tool) {  // 22 tools run once, tool 7 three times
        reports.push_back(RunReport("m1", tool));
    }
    for (int i = 0; i < 3; ++i) {
        reports.push_back(RunReport("m" + std::to_string(i), 7));
    }
    Report start;
    start.kind = "start";
    for (const char* mac : {"m1", "m2", "m2"}) {
        start.mac = mac;
        reports.push_back(start);
    }
    Report feedback;
    feedback.kind = "feedback";
    for (const char* reason : {"无法运行", "杀软报毒", "无法运行"}) {
        feedback.reason = reason;
        reports.push_back(feedback);
    }
    Report check;
    check.kind = "check";
    const std::pair<const char*, const char*> checks[] = {
        {"m1", "200"}, {"m1", "200"}, {"m2", "200"}, {"m3", "190"}};
    for (const auto& [mac, sertime] : checks) {
        check.mac = mac;
        check.sertime = sertime;
        reports.push_back(check);
    }
    store_->StoreReports(reports);
    // Two of the starts were received two days ago.
    Admin().Execute(
        "UPDATE reports SET received = received - interval '2 days' WHERE id IN "
        "(SELECT id FROM reports WHERE kind = 'start' ORDER BY id LIMIT 2)");
    const std::string today = store_->RecentReports(1)[0].received.substr(0, 10);

    dataserver::UsageSummary usage = store_->Usage(4);
    ASSERT_EQ(usage.days.size(), 4u);
    EXPECT_TRUE(std::is_sorted(usage.days.begin(), usage.days.end(),
                               [](const auto& a, const auto& b) { return a.day < b.day; }));
    auto day = std::find_if(usage.days.begin(), usage.days.end(),
                            [&](const auto& d) { return d.day == today; });
    ASSERT_NE(day, usage.days.end()) << today;
    ASSERT_GE(day - usage.days.begin(), 2);
    EXPECT_EQ(day->starts, 1);
    EXPECT_EQ(day->clients, 4);  // m0 to m3: the feedback without a MAC is no client
    const auto& earlier = *(day - 2);
    EXPECT_EQ(earlier.starts, 2);
    EXPECT_EQ(earlier.clients, 2);
    EXPECT_EQ((day - 1)->starts, 0);
    EXPECT_EQ((day - 1)->clients, 0);

    ASSERT_EQ(usage.toolRuns.size(), 20u);
    EXPECT_EQ(usage.toolRuns[0].label, "7 工具7");
    EXPECT_EQ(usage.toolRuns[0].count, 3);
    EXPECT_EQ(usage.toolRuns[1].label, "100");
    ASSERT_EQ(usage.feedbackReasons.size(), 2u);
    EXPECT_EQ(usage.feedbackReasons[0].label, "无法运行");
    EXPECT_EQ(usage.feedbackReasons[0].count, 2);
    ASSERT_EQ(usage.versions.size(), 2u);
    EXPECT_EQ(usage.versions[0].label, "200");
    EXPECT_EQ(usage.versions[0].count, 2);
    EXPECT_EQ(usage.versions[1].label, "190");

    EXPECT_THROW(store_->Usage(0), StoreError);
}

TEST_F(PostgresStoreTest, ConnectionsLostToTheServerAreReplaced) {
    store_->Publish(Records({Game(1)}));
    ASSERT_EQ(store_->Games().size(), 1u);
    // The server ends every session of this database but the one asking, and waits for
    // them to be gone.
    auto endSessions = [this] {
        Admin().Execute(
            "SELECT pg_terminate_backend(pid, 30000) FROM pg_stat_activity WHERE datname = "
            "current_database() AND pid <> pg_backend_pid()");
    };
    endSessions();
    EXPECT_EQ(store_->Games().size(), 1u);
    endSessions();
    EXPECT_EQ(store_->Publish(Records({Game(2)})), 2u);
}

TEST_F(PostgresStoreTest, ADatabaseOfANewerSchemaIsRefused) {
    Admin().Execute("UPDATE schema_version SET version = version + 1");
    EXPECT_THROW(Open(), StoreError);
}

}  // namespace

// What only the PostgreSQL store has to get right, on a real server (skipped when the tests
// have none): several processes creating the schema at once, a schema newer than the
// program, connections the server ends, and usage days cut at UTC midnight.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Eventually.h"
#include "PostgresConnection.h"
#include "Store.h"
#include "TempDir.h"
#include "TestDatabase.h"

namespace {

using dataserver::CatalogEdit;
using dataserver::StoreError;

CatalogEdit OneGame(uint32_t id) {
    CatalogEdit edit;
    dataserver::GameRecord& game = edit.games.emplace_back();
    game.id = id;
    game.title = "游戏" + std::to_string(id);
    return edit;
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
    }
    std::unique_ptr<dataserver::Store> Open() const { return dataserver::OpenStore(uri_); }
    // A connection beside the store's, for what the store itself never does.
    dataserver::PostgresConnection Admin() const { return dataserver::PostgresConnection(uri_); }

    TempDir dir_;
    std::string uri_;
};

TEST_F(PostgresStoreTest, ProcessesStartingTogetherOnAnEmptyDatabaseShareOneSchema) {
    std::unique_ptr<dataserver::Store> stores[3];
    std::string errors[3];
    std::vector<std::thread> starting;
    for (int i = 0; i < 3; ++i) {
        starting.emplace_back([&, i] {
            try {
                stores[i] = Open();
            } catch (const StoreError& e) {
                errors[i] = e.what();
            }
        });
    }
    for (std::thread& thread : starting) {
        thread.join();
    }
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(stores[i]) << errors[i];
    }
    EXPECT_EQ(stores[0]->Publish(OneGame(1)), 1u);
    EXPECT_EQ(stores[2]->Games().size(), 1u);
    EXPECT_EQ(Admin().Execute("SELECT count(*) FROM schema_version").Int(0, 0), 1);
}

TEST_F(PostgresStoreTest, ADatabaseOfANewerSchemaIsRefused) {
    Open();
    Admin().Execute("UPDATE schema_version SET version = version + 1");
    EXPECT_THROW(Open(), StoreError);
}

TEST_F(PostgresStoreTest, ConnectionsTheServerEndsAreReplaced) {
    auto store = Open();
    store->Publish(OneGame(1));
    // Three readers at once, held up by a lock until all three are waiting: the store then
    // keeps three connections.
    dataserver::PostgresConnection admin = Admin();
    admin.Execute("BEGIN; LOCK TABLE games IN ACCESS EXCLUSIVE MODE");
    std::vector<std::thread> readers;
    for (int i = 0; i < 3; ++i) {
        readers.emplace_back([&] { store->Games(); });
    }
    ASSERT_TRUE(Eventually([&] {
        return Admin()
                   .Execute(
                       "SELECT count(*) FROM pg_stat_activity WHERE datname = "
                       "current_database() AND wait_event_type = 'Lock'")
                   .Int(0, 0) == 3;
    }));
    admin.Execute("COMMIT");
    for (std::thread& reader : readers) {
        reader.join();
    }
    // The server ends every other session of this database, as on a restart, and waits
    // until they are gone: each call finds only dead connections in the pool.
    auto endSessions = [this] {
        Admin().Execute(
            "SELECT pg_terminate_backend(pid, 30000) FROM pg_stat_activity WHERE datname = "
            "current_database() AND pid <> pg_backend_pid()");
    };
    endSessions();
    EXPECT_EQ(store->Games().size(), 1u);
    endSessions();
    EXPECT_EQ(store->Publish(OneGame(2)), 2u);
    endSessions();
    dataserver::Report start;
    start.kind = "start";
    start.mac = "m1";
    store->StoreReports({start});
    EXPECT_EQ(store->RecentReports(5).size(), 1u);
}

TEST_F(PostgresStoreTest, UsageCountsEachReportOnItsUtcDay) {
    auto store = Open();
    dataserver::Report start;
    start.kind = "start";
    std::vector<dataserver::Report> reports;
    for (const char* mac : {"m1", "m2", "m2", "m3"}) {
        start.mac = mac;
        reports.push_back(start);
    }
    store->StoreReports(reports);
    // The first two arrived two days ago, one just before that day ended in UTC.
    Admin().Execute(
        "UPDATE reports SET received = date_trunc('day', received AT TIME ZONE 'UTC') "
        "AT TIME ZONE 'UTC' - interval '1 second' - interval '1 day' WHERE id IN "
        "(SELECT id FROM reports ORDER BY id LIMIT 2)");
    const std::string today = store->RecentReports(1)[0].received.substr(0, 10);

    dataserver::UsageSummary usage = store->Usage(4);
    ASSERT_EQ(usage.days.size(), 4u);
    auto day = std::find_if(usage.days.begin(), usage.days.end(),
                            [&](const auto& d) { return d.day == today; });
    ASSERT_NE(day, usage.days.end()) << today;
    ASSERT_GE(day - usage.days.begin(), 2);
    EXPECT_EQ(day->starts, 2);
    EXPECT_EQ(day->clients, 2);
    EXPECT_EQ((day - 1)->starts, 0);
    EXPECT_EQ((day - 2)->starts, 2);
    EXPECT_EQ((day - 2)->clients, 2);
    EXPECT_EQ(store->RecentReports(4).back().received.substr(11), "23:59:59");
}

}  // namespace

// The SQLite file's schema: a database written by the first data server (no version table)
// is brought up to date in place with every row kept, and a database from a newer program
// is refused untouched.
#include <gtest/gtest.h>

#include "StoreEngines.h"

namespace {

using namespace dataserver;

// The first data server's tables, as it created them, with a few rows of each kind.
const char* const kFirstSchemaDatabase = R"sql(
CREATE TABLE games(
    id INTEGER PRIMARY KEY, title TEXT NOT NULL DEFAULT '', info TEXT NOT NULL DEFAULT '',
    downurl TEXT NOT NULL DEFAULT '', exename TEXT NOT NULL DEFAULT '',
    png TEXT NOT NULL DEFAULT '', site TEXT NOT NULL DEFAULT '',
    showweb TEXT NOT NULL DEFAULT '', time INTEGER NOT NULL);
CREATE TABLE tools(
    id INTEGER PRIMARY KEY, gameid INTEGER NOT NULL DEFAULT 0, type INTEGER NOT NULL,
    title TEXT NOT NULL DEFAULT '', version TEXT NOT NULL DEFAULT '',
    scale INTEGER NOT NULL DEFAULT 0, info TEXT NOT NULL DEFAULT '',
    url TEXT NOT NULL DEFAULT '', exename TEXT NOT NULL DEFAULT '',
    pngurl TEXT NOT NULL DEFAULT '', note TEXT NOT NULL DEFAULT '', time INTEGER NOT NULL);
CREATE TABLE removals(
    id INTEGER PRIMARY KEY AUTOINCREMENT, games TEXT NOT NULL, tools TEXT NOT NULL,
    time INTEGER NOT NULL, UNIQUE(games, tools, time));
CREATE TABLE ranking(position INTEGER PRIMARY KEY, gameid INTEGER NOT NULL);
CREATE TABLE settings(key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE reports(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    received TEXT NOT NULL DEFAULT (strftime('%Y-%m-%d %H:%M:%S', 'now')),
    kind TEXT NOT NULL, peer TEXT, mac TEXT, ip TEXT, time TEXT, firststart TEXT,
    toolid INTEGER, gameid INTEGER, type INTEGER, itemid INTEGER, reason TEXT);
INSERT INTO games(id, title, png, time) VALUES(101, '九州传说', 'http://x/101.png', 10);
INSERT INTO games(id, title, time) VALUES(102, '星际远征', 11);
INSERT INTO tools(id, gameid, type, title, scale, time) VALUES(30301, 101, 192, '九州助手', 5, 9);
INSERT INTO removals(games, tools, time) VALUES('9', '', 5);
INSERT INTO ranking(position, gameid) VALUES(1, 102);
INSERT INTO settings(key, value) VALUES('rankingstamp', '7'), ('generation', '3'),
    ('version', '2.0'), ('sertime', '200'), ('clientadd', 'http://x/setup.zip');
INSERT INTO reports(received, kind, mac, reason) VALUES('2026-01-02 03:04:05', 'feedback', 'm1', '慢');
)sql";

int64_t SchemaVersion(const std::string& path) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    int64_t version = -1;
    if (sqlite3_prepare_v2(db, "SELECT version FROM schema_version", -1, &statement, nullptr) ==
            SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
        version = sqlite3_column_int64(statement, 0);
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return version;
}

TEST(SqliteSchema, AFirstVersionDatabaseIsMigratedWithEveryRow) {
    TempDir dir;
    const std::string path = dir / "old.db";
    SqliteExec(path, kFirstSchemaDatabase);
    {
        SqliteStore store(path);
        std::vector<GameRecord> games = store.Games();
        ASSERT_EQ(games.size(), 2u);
        EXPECT_EQ(games[0].title, "九州传说");
        EXPECT_EQ(games[0].png, "http://x/101.png");
        std::vector<ToolRecord> tools = store.Tools();
        ASSERT_EQ(tools.size(), 1u);
        EXPECT_EQ(tools[0].scale, 5);
        EXPECT_EQ(store.Removals().size(), 1u);
        EXPECT_EQ(store.CurrentRanking().stamp, "7");
        EXPECT_EQ(store.CurrentVersion().clientadd, "http://x/setup.zip");
        EXPECT_EQ(store.CatalogGeneration(), 3u);
        std::vector<Report> reports = store.RecentReports(5);
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(reports[0].reason, "慢");
        EXPECT_EQ(reports[0].received, "2026-01-02 03:04:05");

        // The new columns work, and stamps continue above the old ones.
        Report check;
        check.kind = "check";
        check.mac = "m2";
        check.sertime = "150";
        store.StoreReports({check});
        EXPECT_EQ(store.RecentReports(1)[0].sertime, "150");
        GameRecord game;
        game.id = 103;
        game.title = "三国群英";
        EXPECT_EQ(store.Publish({{game}, {}, {}, {}, {}}), 12u);
    }
    EXPECT_EQ(SchemaVersion(path), SqliteStore::kSchemaVersion);
    // Opening the migrated file again migrates nothing and loses nothing.
    SqliteStore again(path);
    EXPECT_EQ(again.Games().size(), 3u);
    EXPECT_EQ(again.RecentReports(5).size(), 2u);
}

TEST(SqliteSchema, ANewerDatabaseIsRefusedAndLeftAsItIs) {
    TempDir dir;
    const std::string path = dir / "new.db";
    { SqliteStore store(path); }
    SqliteExec(path, "UPDATE schema_version SET version = 99;");
    try {
        SqliteStore store(path);
        FAIL() << "a database of schema version 99 was opened";
    } catch (const StoreError& e) {
        EXPECT_NE(std::string(e.what()).find("schema version 99"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("newer"), std::string::npos) << e.what();
    }
    EXPECT_EQ(SchemaVersion(path), 99);
}

}  // namespace

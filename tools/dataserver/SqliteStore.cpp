#include "SqliteStore.h"

#include <sqlite3.h>

#include <algorithm>
#include <concepts>
#include <iterator>
#include <type_traits>

#include "CatalogEdit.h"

namespace dataserver {

namespace {

// The schema as each version left it; a database is brought from its version to the
// newest by running the steps above it in order, in one transaction.
// Version 1: the tables as the first data server created them (no version table).
const char* const kSchemaVersion1 = R"sql(
CREATE TABLE IF NOT EXISTS games(
    id INTEGER PRIMARY KEY, title TEXT NOT NULL DEFAULT '', info TEXT NOT NULL DEFAULT '',
    downurl TEXT NOT NULL DEFAULT '', exename TEXT NOT NULL DEFAULT '',
    png TEXT NOT NULL DEFAULT '', site TEXT NOT NULL DEFAULT '',
    showweb TEXT NOT NULL DEFAULT '', time INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS tools(
    id INTEGER PRIMARY KEY, gameid INTEGER NOT NULL DEFAULT 0, type INTEGER NOT NULL,
    title TEXT NOT NULL DEFAULT '', version TEXT NOT NULL DEFAULT '',
    scale INTEGER NOT NULL DEFAULT 0, info TEXT NOT NULL DEFAULT '',
    url TEXT NOT NULL DEFAULT '', exename TEXT NOT NULL DEFAULT '',
    pngurl TEXT NOT NULL DEFAULT '', note TEXT NOT NULL DEFAULT '', time INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS removals(
    id INTEGER PRIMARY KEY AUTOINCREMENT, games TEXT NOT NULL, tools TEXT NOT NULL,
    time INTEGER NOT NULL, UNIQUE(games, tools, time));
CREATE TABLE IF NOT EXISTS ranking(position INTEGER PRIMARY KEY, gameid INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS settings(key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS reports(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    received TEXT NOT NULL DEFAULT (strftime('%Y-%m-%d %H:%M:%S', 'now')),
    kind TEXT NOT NULL, peer TEXT, mac TEXT, ip TEXT, time TEXT, firststart TEXT,
    toolid INTEGER, gameid INTEGER, type INTEGER, itemid INTEGER, reason TEXT);
)sql";

// Version 2: the release a version check names, the indexes the queries need, and the
// version table itself.
const char* const kSchemaVersion2 = R"sql(
ALTER TABLE reports ADD COLUMN sertime TEXT;
CREATE INDEX reports_received ON reports(received);
CREATE INDEX reports_kind_received ON reports(kind, received);
CREATE INDEX tools_gameid ON tools(gameid);
CREATE INDEX tools_time ON tools(time);
CREATE INDEX games_time ON games(time);
CREATE INDEX removals_time ON removals(time);
CREATE TABLE schema_version(version INTEGER NOT NULL);
INSERT INTO schema_version(version) VALUES(0);
)sql";

const char* const kSchemaSteps[] = {kSchemaVersion1, kSchemaVersion2};
static_assert(std::size(kSchemaSteps) == std::size_t{SqliteStore::kSchemaVersion});

[[noreturn]] void Fail(sqlite3* db, const std::string& what) {
    throw StoreError(what + ": " + sqlite3_errmsg(db));
}

void Exec(sqlite3* db, const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        std::string text = message != nullptr ? message : sqlite3_errmsg(db);
        sqlite3_free(message);
        throw StoreError(text);
    }
}

// One prepared statement, finalised by the destructor. Every failure throws StoreError.
class Statement {
  public:
    Statement(sqlite3* db, const char* sql) : db_(db) {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) {
            Fail(db, "cannot prepare a statement");
        }
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int index, int64_t value) {
        sqlite3_bind_int64(stmt_, index, value);
        return *this;
    }
    Statement& Bind(int index, const std::string& text) {
        sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
        return *this;
    }
    // Steps to the next row: false once the rows are done.
    bool Row() {
        int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) {
            return true;
        }
        if (rc != SQLITE_DONE) {
            Fail(db_, "a query failed");
        }
        return false;
    }
    // Runs a statement that returns no rows, then makes it ready for new values.
    void Run() {
        if (sqlite3_step(stmt_) != SQLITE_DONE) {
            Fail(db_, "a change failed");
        }
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }
    std::string Text(int column) const {
        const unsigned char* text = sqlite3_column_text(stmt_, column);
        return text == nullptr
                   ? std::string()
                   : std::string(reinterpret_cast<const char*>(text),
                                 static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)));
    }
    // Copies the current row into `columns`, in the order the query selects them.
    template <typename... Columns>
    void Read(Columns&... columns) const {
        int column = 0;
        (ReadColumn(column++, columns), ...);
    }

  private:
    void ReadColumn(int column, std::string& text) const { text = Text(column); }
    template <std::integral Number>
    void ReadColumn(int column, Number& number) const {
        number = static_cast<Number>(Int(column));
    }

    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

// Every row `sql` selects with the integer `parameters` bound to ?1, ?2, …, each filled by
// `fill`.
template <typename Record, typename Fill>
std::vector<Record> Rows(sqlite3* db, const char* sql, Fill fill,
                         std::initializer_list<int64_t> parameters = {}) {
    std::vector<Record> records;
    Statement rows(db, sql);
    int index = 1;
    for (int64_t parameter : parameters) {
        rows.Bind(index++, parameter);
    }
    while (rows.Row()) {
        fill(rows, records.emplace_back());
    }
    return records;
}

void FillGame(const Statement& row, GameRecord& g) {
    row.Read(g.id, g.title, g.info, g.downurl, g.exename, g.png, g.site, g.showweb, g.time);
}

void FillTool(const Statement& row, ToolRecord& t) {
    row.Read(t.id, t.gameId, t.type, t.title, t.version, t.scale, t.info, t.url, t.exename,
             t.pngurl, t.note, t.time);
}

std::string JoinIds(const std::vector<uint32_t>& ids) {
    std::string text;
    for (uint32_t id : ids) {
        if (!text.empty()) {
            text += ',';
        }
        text += std::to_string(id);
    }
    return text;
}

std::vector<uint32_t> SplitIds(const std::string& text) {
    std::vector<uint32_t> ids;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t comma = text.find(',', start);
        std::string piece =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!piece.empty()) {
            ids.push_back(static_cast<uint32_t>(std::stoul(piece)));
        }
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    return ids;
}

void FillRemoval(const Statement& row, RemovalRecord& r) {
    std::string games, tools;
    row.Read(games, tools, r.time);
    r.games = SplitIds(games);
    r.tools = SplitIds(tools);
}

std::string Setting(sqlite3* db, const char* key) {
    Statement value(db, "SELECT value FROM settings WHERE key = ?1");
    value.Bind(1, std::string(key));
    return value.Row() ? value.Text(0) : std::string();
}

void SetSetting(sqlite3* db, const char* key, const std::string& value) {
    Statement set(db, "INSERT OR REPLACE INTO settings(key, value) VALUES(?1, ?2)");
    set.Bind(1, std::string(key)).Bind(2, value).Run();
}

uint32_t Newest(sqlite3* db) {
    // An empty table's max() is NULL, counted as 0.
    Statement parts(db,
                    "SELECT coalesce((SELECT max(time) FROM games), 0), "
                    "coalesce((SELECT max(time) FROM tools), 0), "
                    "coalesce((SELECT max(time) FROM removals), 0)");
    parts.Row();
    return static_cast<uint32_t>(std::max({parts.Int(0), parts.Int(1), parts.Int(2)}));
}

// 0 without a version table: 1 when the first server's tables are there, else a new file.
int SchemaVersionOf(sqlite3* db) {
    auto exists = [db](const char* table) {
        Statement found(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1");
        found.Bind(1, std::string(table));
        return found.Row();
    };
    if (exists("schema_version")) {
        Statement version(db, "SELECT max(version) FROM schema_version");
        return version.Row() ? static_cast<int>(version.Int(0)) : 0;
    }
    return exists("games") ? 1 : 0;
}

}  // namespace

void SqliteStore::Closer::operator()(sqlite3* db) const {
    sqlite3_close(db);
}

// A read connection taken from the idle ones (or opened) and given back when done.
class SqliteStore::Reader {
  public:
    explicit Reader(SqliteStore& store) : store_(store) {
        {
            std::lock_guard lock(store_.readersMutex_);
            if (!store_.idleReaders_.empty()) {
                connection_ = std::move(store_.idleReaders_.back());
                store_.idleReaders_.pop_back();
            }
        }
        if (!connection_) {
            connection_ = store_.Connect();
            Exec(connection_.get(), "PRAGMA query_only = 1;");
        }
    }
    ~Reader() {
        if (connection_) {
            std::lock_guard lock(store_.readersMutex_);
            store_.idleReaders_.push_back(std::move(connection_));
        }
    }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    sqlite3* get() const { return connection_.get(); }

  private:
    SqliteStore& store_;
    Connection connection_;
};

SqliteStore::Connection SqliteStore::Connect() const {
    sqlite3* db = nullptr;
    // Each connection is used by one thread at a time (the store's locks see to it).
    int rc =
        sqlite3_open_v2(path_.c_str(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    Connection connection(db);
    if (rc != SQLITE_OK) {
        throw StoreError("cannot open " + path_ + ": " +
                         (db != nullptr ? sqlite3_errmsg(db) : "out of memory"));
    }
    // Another process (an operator command, a second reader) may hold the write lock for a
    // moment: wait for it rather than fail.
    sqlite3_busy_timeout(db, 5000);
    return connection;
}

SqliteStore::SqliteStore(const std::string& path)
    : path_(path), inMemory_(path.empty() || path == ":memory:") {
    writer_ = Connect();
    // The write-ahead log lets readers go on while a writer works; with it, NORMAL sync
    // loses no committed transaction on a crash of the program, only on a power loss.
    Exec(writer_.get(), "PRAGMA journal_mode = WAL;");
    Exec(writer_.get(), "PRAGMA synchronous = NORMAL;");
    Migrate();
}

SqliteStore::~SqliteStore() = default;

template <typename Read>
auto SqliteStore::Reading(Read read) {
    auto run = [&read](sqlite3* db) {
        Exec(db, "BEGIN;");
        try {
            auto result = read(db);
            Exec(db, "COMMIT;");
            return result;
        } catch (...) {
            sqlite3_exec(db, "ROLLBACK;", nullptr, nullptr, nullptr);
            throw;
        }
    };
    if (inMemory_) {
        // A database in memory belongs to one connection.
        std::lock_guard lock(writeMutex_);
        return run(writer_.get());
    }
    Reader reader(*this);
    return run(reader.get());
}

template <typename Write>
auto SqliteStore::Writing(Write write) {
    std::lock_guard lock(writeMutex_);
    sqlite3* db = writer_.get();
    Exec(db, "BEGIN IMMEDIATE;");
    try {
        auto result = write(db);
        Exec(db, "COMMIT;");
        return result;
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK;", nullptr, nullptr, nullptr);
        throw;
    }
}

void SqliteStore::Migrate() {
    Writing([this](sqlite3* db) {
        const int version = SchemaVersionOf(db);
        if (version > kSchemaVersion) {
            throw StoreError(path_ + " has schema version " + std::to_string(version) +
                             ", newer than this program's " + std::to_string(kSchemaVersion) +
                             ": use a newer ravik-dataserver");
        }
        for (int step = version; step < kSchemaVersion; ++step) {
            Exec(db, kSchemaSteps[step]);
        }
        if (version < kSchemaVersion) {
            Statement set(db, "UPDATE schema_version SET version = ?1");
            set.Bind(1, kSchemaVersion).Run();
        }
        return 0;
    });
}

CatalogChanges SqliteStore::ChangesAfter(uint32_t stamp) {
    return Reading([stamp](sqlite3* db) {
        CatalogChanges changes;
        changes.games = Rows<GameRecord>(
            db,
            "SELECT id, title, info, downurl, exename, png, site, showweb, time FROM games "
            "WHERE time > ?1 ORDER BY time, id",
            FillGame, {stamp});
        changes.tools = Rows<ToolRecord>(
            db,
            "SELECT id, gameid, type, title, version, scale, info, url, exename, pngurl, "
            "note, time FROM tools "
            "WHERE time > ?1 OR gameid IN (SELECT id FROM games WHERE time > ?1) "
            "ORDER BY time, id",
            FillTool, {stamp});
        const std::vector<RemovalRecord> removals = Rows<RemovalRecord>(
            db, "SELECT games, tools, time FROM removals ORDER BY time, id", FillRemoval);
        std::map<uint32_t, uint32_t> gameRemovedAt;
        for (const RemovalRecord& r : removals) {
            for (uint32_t tool : r.tools) {
                uint32_t& at = changes.toolRemovedAt[tool];
                at = std::max(at, r.time);
            }
            for (uint32_t game : r.games) {
                uint32_t& at = gameRemovedAt[game];
                at = std::max(at, r.time);
            }
            if (r.time > stamp) {
                changes.removals.push_back(r);
            }
        }
        Statement games(db, "SELECT id, time FROM games");
        while (games.Row()) {
            uint32_t id = 0;
            uint32_t time = 0;
            games.Read(id, time);
            auto removed = gameRemovedAt.find(id);
            if (removed == gameRemovedAt.end() || removed->second <= time) {
                changes.liveGames.insert(id);
            }
        }
        return changes;
    });
}

Ranking SqliteStore::CurrentRanking() {
    return Reading([](sqlite3* db) {
        Ranking ranking;
        ranking.stamp = Setting(db, "rankingstamp");
        Statement entries(db, "SELECT gameid, position FROM ranking ORDER BY position");
        while (entries.Row()) {
            RankingEntry& entry = ranking.entries.emplace_back();
            entries.Read(entry.gameId, entry.position);
        }
        return ranking;
    });
}

VersionData SqliteStore::CurrentVersion() {
    return Reading([](sqlite3* db) {
        return VersionData{Setting(db, "version"), Setting(db, "sertime"),
                           Setting(db, "clientadd")};
    });
}

uint64_t SqliteStore::CatalogGeneration() {
    return Reading([](sqlite3* db) {
        Statement generation(db, "SELECT value FROM settings WHERE key = 'generation'");
        return generation.Row() ? static_cast<uint64_t>(generation.Int(0)) : uint64_t{0};
    });
}

void SqliteStore::StoreReports(const std::vector<Report>& reports) {
    if (reports.empty()) {
        return;
    }
    Writing([&reports](sqlite3* db) {
        Statement insert(db,
                         "INSERT INTO reports(kind, peer, mac, ip, time, firststart, toolid, "
                         "gameid, type, itemid, reason, sertime) "
                         "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)");
        for (const Report& report : reports) {
            insert.Bind(1, report.kind)
                .Bind(2, report.peer)
                .Bind(3, report.mac)
                .Bind(4, report.ip)
                .Bind(5, report.time)
                .Bind(6, report.firstStart)
                .Bind(7, report.toolId)
                .Bind(8, report.gameId)
                .Bind(9, report.type)
                .Bind(10, report.itemId)
                .Bind(11, report.reason)
                .Bind(12, report.sertime)
                .Run();
        }
        return 0;
    });
}

uint32_t SqliteStore::Publish(const CatalogEdit& edit) {
    CheckEdit(edit);
    if (edit.games.empty() && edit.tools.empty() && edit.removals.empty() && !edit.ranking &&
        !edit.version) {
        return 0;
    }
    return Writing([&edit](sqlite3* db) {
        const uint32_t stamp =
            NeedsStamp(edit) ? NextStamp(edit, Newest(db), Setting(db, "rankingstamp")) : 0;
        const CatalogEdit stamped = Stamped(edit, stamp);
        Statement game(db,
                       "INSERT OR REPLACE INTO games(id, title, info, downurl, exename, png, site, "
                       "showweb, time) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
        for (const GameRecord& g : stamped.games) {
            game.Bind(1, g.id)
                .Bind(2, g.title)
                .Bind(3, g.info)
                .Bind(4, g.downurl)
                .Bind(5, g.exename)
                .Bind(6, g.png)
                .Bind(7, g.site)
                .Bind(8, g.showweb)
                .Bind(9, g.time)
                .Run();
        }
        Statement tool(db,
                       "INSERT OR REPLACE INTO tools(id, gameid, type, title, version, scale, "
                       "info, url, exename, pngurl, note, time) "
                       "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)");
        for (const ToolRecord& t : stamped.tools) {
            tool.Bind(1, t.id)
                .Bind(2, t.gameId)
                .Bind(3, t.type)
                .Bind(4, t.title)
                .Bind(5, t.version)
                .Bind(6, t.scale)
                .Bind(7, t.info)
                .Bind(8, t.url)
                .Bind(9, t.exename)
                .Bind(10, t.pngurl)
                .Bind(11, t.note)
                .Bind(12, t.time)
                .Run();
        }
        // The same removal published again (a seed imported twice) is stored once.
        Statement removal(db,
                          "INSERT OR IGNORE INTO removals(games, tools, time) VALUES(?1, ?2, ?3)");
        for (const RemovalRecord& r : stamped.removals) {
            removal.Bind(1, JoinIds(r.games)).Bind(2, JoinIds(r.tools)).Bind(3, r.time).Run();
        }
        if (stamped.ranking) {
            Exec(db, "DELETE FROM ranking;");
            Statement entry(db, "INSERT INTO ranking(position, gameid) VALUES(?1, ?2)");
            for (const RankingEntry& e : stamped.ranking->entries) {
                entry.Bind(1, e.position).Bind(2, e.gameId).Run();
            }
            SetSetting(db, "rankingstamp", stamped.ranking->stamp);
        }
        if (stamped.version) {
            SetSetting(db, "version", stamped.version->version);
            SetSetting(db, "sertime", stamped.version->sertime);
            SetSetting(db, "clientadd", stamped.version->clientadd);
        }
        Exec(db,
             "INSERT INTO settings(key, value) VALUES('generation', '1') "
             "ON CONFLICT(key) DO UPDATE SET value = CAST(value AS INTEGER) + 1;");
        return stamp;
    });
}

uint32_t SqliteStore::NewestStamp() {
    return Reading([](sqlite3* db) { return Newest(db); });
}

std::vector<GameRecord> SqliteStore::Games() {
    return Reading([](sqlite3* db) {
        return Rows<GameRecord>(db,
                                "SELECT id, title, info, downurl, exename, png, site, "
                                "showweb, time FROM games ORDER BY id",
                                FillGame);
    });
}

std::vector<ToolRecord> SqliteStore::Tools() {
    return Reading([](sqlite3* db) {
        return Rows<ToolRecord>(db,
                                "SELECT id, gameid, type, title, version, scale, info, url, "
                                "exename, pngurl, note, time FROM tools ORDER BY id",
                                FillTool);
    });
}

std::vector<RemovalRecord> SqliteStore::Removals() {
    return Reading([](sqlite3* db) {
        return Rows<RemovalRecord>(db, "SELECT games, tools, time FROM removals ORDER BY time, id",
                                   FillRemoval);
    });
}

UsageSummary SqliteStore::Usage(int days) {
    days = std::clamp(days, 1, 3660);
    // The first day counted, as SQLite's date() modifier: today is the last of `days`.
    const std::string since = "-" + std::to_string(days - 1) + " days";
    return Reading([&since](sqlite3* db) {
        UsageSummary usage;
        Statement perDay(db,
                         "WITH RECURSIVE d(day) AS (SELECT date('now', ?1) UNION ALL "
                         "SELECT date(day, '+1 day') FROM d WHERE day < date('now')) "
                         "SELECT day, "
                         "(SELECT count(*) FROM reports WHERE kind = 'start' AND received >= day "
                         "AND received < date(day, '+1 day')), "
                         "(SELECT count(DISTINCT mac) FROM reports WHERE received >= day "
                         "AND received < date(day, '+1 day')) "
                         "FROM d ORDER BY day");
        perDay.Bind(1, since);
        while (perDay.Row()) {
            UsageDay& day = usage.days.emplace_back();
            perDay.Read(day.day, day.starts, day.clients);
        }
        auto counts = [db, &since](const char* sql) {
            std::vector<UsageCount> result;
            Statement rows(db, sql);
            rows.Bind(1, since);
            while (rows.Row()) {
                UsageCount& count = result.emplace_back();
                rows.Read(count.label, count.count);
            }
            return result;
        };
        usage.toolRuns = counts(
            "SELECT r.toolid || coalesce(' ' || t.title, ''), count(*) AS n "
            "FROM reports r LEFT JOIN tools t ON t.id = r.toolid "
            "WHERE r.kind = 'run' AND r.received >= date('now', ?1) "
            "GROUP BY r.toolid ORDER BY n DESC, r.toolid LIMIT 20");
        usage.feedbackReasons = counts(
            "SELECT coalesce(reason, ''), count(*) AS n FROM reports "
            "WHERE kind = 'feedback' AND received >= date('now', ?1) "
            "GROUP BY reason ORDER BY n DESC, reason");
        usage.versions = counts(
            "SELECT coalesce(sertime, ''), count(DISTINCT mac) AS n FROM reports "
            "WHERE kind = 'check' AND received >= date('now', ?1) "
            "GROUP BY sertime ORDER BY n DESC, sertime");
        return usage;
    });
}

std::vector<Report> SqliteStore::RecentReports(std::size_t limit) {
    return Reading([limit](sqlite3* db) {
        return Rows<Report>(
            db,
            "SELECT kind, peer, mac, ip, time, firststart, toolid, gameid, type, itemid, "
            "reason, sertime, received FROM reports ORDER BY id DESC LIMIT ?1",
            [](const Statement& row, Report& r) {
                row.Read(r.kind, r.peer, r.mac, r.ip, r.time, r.firstStart, r.toolId, r.gameId,
                         r.type, r.itemId, r.reason, r.sertime, r.received);
            },
            {static_cast<int64_t>(std::min<std::size_t>(limit, INT64_MAX))});
    });
}

}  // namespace dataserver

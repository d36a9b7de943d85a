#include "SqliteStore.h"

#include <sqlite3.h>

#include <algorithm>
#include <concepts>
#include <fstream>
#include <nlohmann/json.hpp>

namespace dataserver {

namespace {

const char* const kSchema = R"sql(
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

// One prepared statement, finalised by the destructor.
class Statement {
  public:
    Statement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) {
            stmt_ = nullptr;
        }
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Ok() const { return stmt_ != nullptr; }
    Statement& Bind(int index, int64_t value) {
        sqlite3_bind_int64(stmt_, index, value);
        return *this;
    }
    Statement& Bind(int index, const std::string& text) {
        sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step() { return stmt_ == nullptr ? SQLITE_ERROR : sqlite3_step(stmt_); }
    void Reset() {
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

    sqlite3_stmt* stmt_ = nullptr;
};

// The records of the rows `sql` selects for the changes after `stamp` (its parameter ?1),
// each filled from its row by `fill`.
template <typename Record, typename Fill>
std::vector<Record> RecordsAfter(sqlite3* db, const char* sql, uint32_t stamp, Fill fill) {
    std::vector<Record> records;
    Statement rows(db, sql);
    rows.Bind(1, stamp);
    while (rows.Step() == SQLITE_ROW) {
        fill(rows, records.emplace_back());
    }
    return records;
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

// The seed's texts are optional; numbers may be written as numbers or as digit texts.
std::string TextOf(const nlohmann::json& object, const char* key) {
    auto it = object.find(key);
    if (it == object.end() || it->is_null()) {
        return {};
    }
    return it->is_string() ? it->get<std::string>() : it->dump();
}

int64_t NumberOf(const nlohmann::json& object, const char* key, bool required) {
    auto it = object.find(key);
    if (it == object.end() || it->is_null()) {
        if (required) {
            throw std::runtime_error(std::string("a record lacks \"") + key + "\"");
        }
        return 0;
    }
    if (it->is_number_integer()) {
        return it->get<int64_t>();
    }
    if (it->is_string()) {
        return std::stoll(it->get<std::string>());
    }
    throw std::runtime_error(std::string("\"") + key + "\" is not a number");
}

}  // namespace

void SqliteStore::Closer::operator()(sqlite3* db) const {
    sqlite3_close(db);
}

SqliteStore::~SqliteStore() = default;

std::string SqliteStore::Error() {
    std::lock_guard lock(mutex_);
    return error_;
}

bool SqliteStore::Execute(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        error_ = message != nullptr ? message : "SQLite error";
        sqlite3_free(message);
        return false;
    }
    return true;
}

bool SqliteStore::Open(const std::string& path) {
    std::lock_guard lock(mutex_);
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                             nullptr);
    db_.reset(db);
    if (rc != SQLITE_OK) {
        error_ = "cannot open " + path + ": " + (db != nullptr ? sqlite3_errmsg(db) : "no memory");
        db_.reset();
        return false;
    }
    sqlite3_busy_timeout(db_.get(), 5000);
    return Execute("PRAGMA journal_mode=WAL;") && Execute(kSchema);
}

bool SqliteStore::ImportSeed(const std::string& seedPath) {
    std::lock_guard lock(mutex_);
    std::ifstream in(seedPath, std::ios::binary);
    if (!in) {
        error_ = "cannot read the seed " + seedPath;
        return false;
    }
    nlohmann::json seed;
    try {
        seed = nlohmann::json::parse(in);
        if (!Execute("INSERT INTO settings(key, value) VALUES('generation', '1') "
                     "ON CONFLICT(key) DO UPDATE SET value = CAST(value AS INTEGER) + 1;")) {
            throw std::runtime_error(error_);
        }
    } catch (const std::exception& e) {
        error_ = "the seed " + seedPath + " is not JSON: " + e.what();
        return false;
    }
    if (!Execute("BEGIN IMMEDIATE;")) {
        return false;
    }
    try {
        sqlite3* db = db_.get();
        Statement game(db,
                       "INSERT OR REPLACE INTO games(id, title, info, downurl, exename, png, site, "
                       "showweb, time) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
        for (const auto& g : seed.value("games", nlohmann::json::array())) {
            game.Bind(1, NumberOf(g, "id", true))
                .Bind(2, TextOf(g, "TITLE"))
                .Bind(3, TextOf(g, "INFO"))
                .Bind(4, TextOf(g, "DOWNURL"))
                .Bind(5, TextOf(g, "EXENAME"))
                .Bind(6, TextOf(g, "PNG"))
                .Bind(7, TextOf(g, "SITE"))
                .Bind(8, TextOf(g, "SHOWWEB"))
                .Bind(9, NumberOf(g, "TIME", true));
            if (game.Step() != SQLITE_DONE) {
                throw std::runtime_error(sqlite3_errmsg(db));
            }
            game.Reset();
        }
        Statement tool(
            db,
            "INSERT OR REPLACE INTO tools(id, gameid, type, title, version, scale, info, "
            "url, exename, pngurl, note, time) "
            "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)");
        for (const auto& t : seed.value("tools", nlohmann::json::array())) {
            tool.Bind(1, NumberOf(t, "id", true))
                .Bind(2, NumberOf(t, "GAMEID", false))
                .Bind(3, NumberOf(t, "TYPE", true))
                .Bind(4, TextOf(t, "TITLE"))
                .Bind(5, TextOf(t, "VERSION"))
                .Bind(6, NumberOf(t, "SCALE", false))
                .Bind(7, TextOf(t, "INFO"))
                .Bind(8, TextOf(t, "URL"))
                .Bind(9, TextOf(t, "EXENAME"))
                .Bind(10, TextOf(t, "PNGURL"))
                .Bind(11, TextOf(t, "NOTE"))
                .Bind(12, NumberOf(t, "TIME", true));
            if (tool.Step() != SQLITE_DONE) {
                throw std::runtime_error(sqlite3_errmsg(db));
            }
            tool.Reset();
        }
        Statement removal(db,
                          "INSERT OR IGNORE INTO removals(games, tools, time) VALUES(?1, ?2, ?3)");
        for (const auto& r : seed.value("removals", nlohmann::json::array())) {
            removal.Bind(1, JoinIds(r.value("games", std::vector<uint32_t>{})))
                .Bind(2, JoinIds(r.value("tools", std::vector<uint32_t>{})))
                .Bind(3, NumberOf(r, "TIME", true));
            if (removal.Step() != SQLITE_DONE) {
                throw std::runtime_error(sqlite3_errmsg(db));
            }
            removal.Reset();
        }
        if (seed.contains("ranking")) {
            const auto& ranking = seed["ranking"];
            if (!Execute("DELETE FROM ranking;")) {
                throw std::runtime_error(error_);
            }
            Statement entry(db, "INSERT OR REPLACE INTO ranking(position, gameid) VALUES(?1, ?2)");
            for (const auto& e : ranking.value("games", nlohmann::json::array())) {
                entry.Bind(1, NumberOf(e, "position", true)).Bind(2, NumberOf(e, "id", true));
                if (entry.Step() != SQLITE_DONE) {
                    throw std::runtime_error(sqlite3_errmsg(db));
                }
                entry.Reset();
            }
            Statement stamp(
                db, "INSERT OR REPLACE INTO settings(key, value) VALUES('rankingstamp', ?1)");
            stamp.Bind(1, TextOf(ranking, "stamp"));
            if (stamp.Step() != SQLITE_DONE) {
                throw std::runtime_error(sqlite3_errmsg(db));
            }
        }
        if (seed.contains("version")) {
            const auto& version = seed["version"];
            Statement set(db, "INSERT OR REPLACE INTO settings(key, value) VALUES(?1, ?2)");
            for (const char* key : {"version", "sertime", "clientadd"}) {
                set.Bind(1, std::string(key)).Bind(2, TextOf(version, key));
                if (set.Step() != SQLITE_DONE) {
                    throw std::runtime_error(sqlite3_errmsg(db));
                }
                set.Reset();
            }
        }
        if (!Execute("INSERT INTO settings(key, value) VALUES('generation', '1') "
                     "ON CONFLICT(key) DO UPDATE SET value = CAST(value AS INTEGER) + 1;")) {
            throw std::runtime_error(error_);
        }
    } catch (const std::exception& e) {
        error_ = "the seed " + seedPath + " cannot be imported: " + e.what();
        Execute("ROLLBACK;");
        return false;
    }
    return Execute("COMMIT;");
}

CatalogChanges SqliteStore::ChangesAfter(uint32_t stamp) {
    std::lock_guard lock(mutex_);
    CatalogChanges changes;
    sqlite3* db = db_.get();
    changes.games = RecordsAfter<GameRecord>(
        db,
        "SELECT id, title, info, downurl, exename, png, site, showweb, time FROM games "
        "WHERE time > ?1 ORDER BY time, id",
        stamp, [](const Statement& row, GameRecord& g) {
            row.Read(g.id, g.title, g.info, g.downurl, g.exename, g.png, g.site, g.showweb, g.time);
        });
    changes.tools = RecordsAfter<ToolRecord>(
        db,
        "SELECT id, gameid, type, title, version, scale, info, url, exename, pngurl, "
        "note, time FROM tools "
        "WHERE time > ?1 OR gameid IN (SELECT id FROM games WHERE time > ?1) "
        "ORDER BY time, id",
        stamp, [](const Statement& row, ToolRecord& t) {
            row.Read(t.id, t.gameId, t.type, t.title, t.version, t.scale, t.info, t.url, t.exename,
                     t.pngurl, t.note, t.time);
        });
    const std::vector<RemovalRecord> removals = RecordsAfter<RemovalRecord>(
        db, "SELECT games, tools, time FROM removals WHERE time >= ?1 ORDER BY time, id", 0,
        [](const Statement& row, RemovalRecord& r) {
            std::string games, tools;
            row.Read(games, tools, r.time);
            r.games = SplitIds(games);
            r.tools = SplitIds(tools);
        });
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
    while (games.Step() == SQLITE_ROW) {
        uint32_t id = 0;
        uint32_t time = 0;
        games.Read(id, time);
        auto removed = gameRemovedAt.find(id);
        if (removed == gameRemovedAt.end() || removed->second <= time) {
            changes.liveGames.insert(id);
        }
    }
    return changes;
}

Ranking SqliteStore::CurrentRanking() {
    std::lock_guard lock(mutex_);
    Ranking ranking;
    Statement stamp(db_.get(), "SELECT value FROM settings WHERE key = 'rankingstamp'");
    if (stamp.Step() == SQLITE_ROW) {
        ranking.stamp = stamp.Text(0);
    }
    Statement entries(db_.get(), "SELECT gameid, position FROM ranking ORDER BY position");
    while (entries.Step() == SQLITE_ROW) {
        RankingEntry& entry = ranking.entries.emplace_back();
        entries.Read(entry.gameId, entry.position);
    }
    return ranking;
}

VersionData SqliteStore::CurrentVersion() {
    std::lock_guard lock(mutex_);
    VersionData version;
    Statement rows(
        db_.get(),
        "SELECT key, value FROM settings WHERE key IN ('version', 'sertime', 'clientadd')");
    while (rows.Step() == SQLITE_ROW) {
        std::string key = rows.Text(0);
        std::string value = rows.Text(1);
        (key == "version"   ? version.version
         : key == "sertime" ? version.sertime
                            : version.clientadd) = value;
    }
    return version;
}

void SqliteStore::StoreReports(const std::vector<Report>& reports) {
    std::lock_guard lock(mutex_);
    if (!Execute("BEGIN IMMEDIATE;")) {
        throw StoreError(error_);
    }
    Statement insert(db_.get(),
                     "INSERT INTO reports(kind, peer, mac, ip, time, firststart, toolid, gameid, "
                     "type, itemid, reason) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)");
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
            .Bind(11, report.reason);
        if (insert.Step() != SQLITE_DONE) {
            error_ = sqlite3_errmsg(db_.get());
            Execute("ROLLBACK;");
            throw StoreError(error_);
        }
        insert.Reset();
    }
    if (!Execute("COMMIT;")) {
        Execute("ROLLBACK;");
        throw StoreError(error_);
    }
}

uint64_t SqliteStore::CatalogGeneration() {
    std::lock_guard lock(mutex_);
    Statement generation(db_.get(), "SELECT value FROM settings WHERE key = 'generation'");
    return generation.Step() == SQLITE_ROW ? static_cast<uint64_t>(generation.Int(0)) : 0;
}

// Being replaced by the operator side of the store; these keep the interface whole meanwhile.
uint32_t SqliteStore::Publish(const CatalogEdit&) {
    throw StoreError("not available yet");
}
uint32_t SqliteStore::NewestStamp() {
    throw StoreError("not available yet");
}
std::vector<GameRecord> SqliteStore::Games() {
    throw StoreError("not available yet");
}
std::vector<ToolRecord> SqliteStore::Tools() {
    throw StoreError("not available yet");
}
std::vector<RemovalRecord> SqliteStore::Removals() {
    throw StoreError("not available yet");
}
UsageSummary SqliteStore::Usage(int) {
    throw StoreError("not available yet");
}
std::vector<Report> SqliteStore::RecentReports(std::size_t) {
    throw StoreError("not available yet");
}

std::unique_ptr<Store> OpenStore(const std::string& where) {
    auto store = std::make_unique<SqliteStore>();
    if (!store->Open(where)) {
        throw StoreError(store->Error());
    }
    return store;
}

}  // namespace dataserver

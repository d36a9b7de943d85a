#include "PostgresStore.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "CatalogEdit.h"

namespace dataserver {

namespace {

// Advisory lock keys, the same in every process on the database: one serialises schema
// changes at start-up, the other catalog publications.
const std::string kSchemaLock = "7165443020151001";
const std::string kPublishLock = "7165443020151002";

// Each entry upgrades the schema by one version; an entry is never changed once released,
// a new one is appended instead.
const char* const kMigrations[] = {
    R"sql(
CREATE TABLE games(
    id bigint PRIMARY KEY, title text NOT NULL DEFAULT '', info text NOT NULL DEFAULT '',
    downurl text NOT NULL DEFAULT '', exename text NOT NULL DEFAULT '',
    png text NOT NULL DEFAULT '', site text NOT NULL DEFAULT '',
    showweb text NOT NULL DEFAULT '', time bigint NOT NULL);
CREATE INDEX games_time ON games(time);
CREATE TABLE tools(
    id bigint PRIMARY KEY, gameid bigint NOT NULL DEFAULT 0, type integer NOT NULL,
    title text NOT NULL DEFAULT '', version text NOT NULL DEFAULT '',
    scale integer NOT NULL DEFAULT 0, info text NOT NULL DEFAULT '',
    url text NOT NULL DEFAULT '', exename text NOT NULL DEFAULT '',
    pngurl text NOT NULL DEFAULT '', note text NOT NULL DEFAULT '', time bigint NOT NULL);
CREATE INDEX tools_time ON tools(time);
CREATE INDEX tools_gameid ON tools(gameid);
CREATE TABLE removals(
    id bigserial PRIMARY KEY, games bigint[] NOT NULL, tools bigint[] NOT NULL,
    time bigint NOT NULL, UNIQUE(games, tools, time));
CREATE TABLE ranking(position integer PRIMARY KEY, gameid bigint NOT NULL);
CREATE TABLE settings(key text PRIMARY KEY, value text NOT NULL);
CREATE TABLE generation(
    only_row boolean PRIMARY KEY DEFAULT true CHECK (only_row), value bigint NOT NULL);
INSERT INTO generation(value) VALUES(0);
CREATE TABLE reports(
    id bigserial PRIMARY KEY, received timestamptz NOT NULL DEFAULT now(),
    kind text NOT NULL, peer text NOT NULL, mac text NOT NULL, ip text NOT NULL,
    time text NOT NULL, firststart text NOT NULL, toolid bigint NOT NULL,
    gameid bigint NOT NULL, type bigint NOT NULL, itemid bigint NOT NULL,
    reason text NOT NULL, sertime text NOT NULL);
CREATE INDEX reports_received ON reports(received);
)sql",
};

const std::string kGameColumns = "id, title, info, downurl, exename, png, site, showweb, time";
const std::string kToolColumns =
    "id, gameid, type, title, version, scale, info, url, exename, pngurl, note, time";
const std::string kNewestStamp =
    "greatest(coalesce((SELECT max(time) FROM games), 0), "
    "coalesce((SELECT max(time) FROM tools), 0), coalesce((SELECT max(time) FROM removals), 0))";
// The first UTC day of the usage window of $1 days, and the moment it starts.
const std::string kFirstDay = "((now() AT TIME ZONE 'UTC')::date - ($1::integer - 1))";
const std::string kWindowStart = "(" + kFirstDay + "::timestamp AT TIME ZONE 'UTC')";

// Every statement the store runs, prepared on each connection as it opens.
const std::pair<const char*, std::string> kStatements[] = {
    {"games_after", "SELECT " + kGameColumns + " FROM games WHERE time > $1 ORDER BY time, id"},
    {"tools_after", "SELECT " + kToolColumns +
                        " FROM tools WHERE time > $1 OR gameid IN "
                        "(SELECT id FROM games WHERE time > $1) ORDER BY time, id"},
    {"removals_after",
     "SELECT array_to_string(games, ','), array_to_string(tools, ','), time FROM removals "
     "WHERE time > $1 ORDER BY time, id"},
    {"tool_removed_at",
     "SELECT tool, max(time) FROM removals CROSS JOIN LATERAL unnest(tools) AS tool "
     "GROUP BY tool"},
    {"live_games",
     "SELECT g.id FROM games g WHERE NOT EXISTS "
     "(SELECT 1 FROM removals r WHERE g.id = ANY(r.games) AND r.time > g.time)"},
    {"ranking_stamp", "SELECT value FROM settings WHERE key = 'rankingstamp'"},
    {"ranking", "SELECT gameid, position FROM ranking ORDER BY position"},
    {"version", "SELECT key, value FROM settings WHERE key IN ('version', 'sertime', 'clientadd')"},
    {"generation", "SELECT value FROM generation"},
    {"insert_reports",
     "INSERT INTO reports(kind, peer, mac, ip, time, firststart, toolid, gameid, type, "
     "itemid, reason, sertime) SELECT * FROM unnest($1::text[], $2::text[], $3::text[], "
     "$4::text[], $5::text[], $6::text[], $7::bigint[], $8::bigint[], $9::bigint[], "
     "$10::bigint[], $11::text[], $12::text[])"},
    {"publish_lock", "SELECT pg_advisory_xact_lock(" + kPublishLock + ")"},
    {"newest", "SELECT " + kNewestStamp},
    {"upsert_game",
     "INSERT INTO games(" + kGameColumns +
         ") VALUES($1, $2, $3, $4, $5, $6, $7, $8, $9) ON CONFLICT(id) DO UPDATE SET "
         "title = excluded.title, info = excluded.info, downurl = excluded.downurl, "
         "exename = excluded.exename, png = excluded.png, site = excluded.site, "
         "showweb = excluded.showweb, time = excluded.time"},
    {"upsert_tool",
     "INSERT INTO tools(" + kToolColumns +
         ") VALUES($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12) ON CONFLICT(id) DO "
         "UPDATE SET gameid = excluded.gameid, type = excluded.type, title = excluded.title, "
         "version = excluded.version, scale = excluded.scale, info = excluded.info, "
         "url = excluded.url, exename = excluded.exename, pngurl = excluded.pngurl, "
         "note = excluded.note, time = excluded.time"},
    {"insert_removal",
     "INSERT INTO removals(games, tools, time) VALUES($1::bigint[], $2::bigint[], $3) "
     "ON CONFLICT DO NOTHING"},
    {"clear_ranking", "DELETE FROM ranking"},
    {"insert_ranking",
     "INSERT INTO ranking(position, gameid) SELECT * FROM unnest($1::integer[], $2::bigint[])"},
    {"set_setting",
     "INSERT INTO settings(key, value) VALUES($1, $2) "
     "ON CONFLICT(key) DO UPDATE SET value = excluded.value"},
    {"bump_generation", "UPDATE generation SET value = value + 1"},
    {"all_games", "SELECT " + kGameColumns + " FROM games ORDER BY id"},
    {"all_tools", "SELECT " + kToolColumns + " FROM tools ORDER BY id"},
    {"all_removals",
     "SELECT array_to_string(games, ','), array_to_string(tools, ','), time FROM removals "
     "ORDER BY time, id"},
    {"recent_reports",
     "SELECT kind, peer, mac, ip, time, firststart, toolid, gameid, type, itemid, reason, "
     "sertime, to_char(received AT TIME ZONE 'UTC', 'YYYY-MM-DD HH24:MI:SS') FROM reports "
     "ORDER BY id DESC LIMIT $1"},
    {"usage_days",
     "SELECT to_char(d.day, 'YYYY-MM-DD'), coalesce(c.starts, 0), coalesce(c.clients, 0) "
     "FROM generate_series(" +
         kFirstDay +
         ", (now() AT TIME ZONE 'UTC')::date, interval '1 day') AS d(day) "
         "LEFT JOIN (SELECT (received AT TIME ZONE 'UTC')::date AS day, "
         "count(*) FILTER (WHERE kind = 'start') AS starts, count(DISTINCT mac) AS clients "
         "FROM reports WHERE received >= " +
         kWindowStart + " GROUP BY 1) c ON c.day = d.day::date ORDER BY d.day"},
    {"usage_tools",
     "SELECT r.toolid, coalesce(max(t.title), ''), count(*) FROM reports r "
     "LEFT JOIN tools t ON t.id = r.toolid WHERE r.kind = 'run' AND r.received >= " +
         kWindowStart + " GROUP BY r.toolid ORDER BY 3 DESC, 1 LIMIT 20"},
    {"usage_reasons",
     "SELECT reason, count(*) FROM reports WHERE kind = 'feedback' AND "
     "received >= " +
         kWindowStart + " GROUP BY reason ORDER BY 2 DESC, 1"},
    {"usage_versions",
     "SELECT sertime, count(DISTINCT mac) FROM reports WHERE kind = 'check' "
     "AND received >= " +
         kWindowStart + " GROUP BY sertime ORDER BY 2 DESC, 1"},
};

// Array parameters in PostgreSQL's text form: every element quoted, so any text is safe.
std::string TextArray(const std::vector<std::string>& items) {
    std::string literal = "{";
    for (const std::string& item : items) {
        if (literal.size() > 1) {
            literal += ',';
        }
        literal += '"';
        for (char c : item) {
            if (c == '"' || c == '\\') {
                literal += '\\';
            }
            literal += c;
        }
        literal += '"';
    }
    return literal + "}";
}

template <typename Number>
std::string NumberArray(const std::vector<Number>& items) {
    std::string literal = "{";
    for (Number item : items) {
        if (literal.size() > 1) {
            literal += ',';
        }
        literal += std::to_string(item);
    }
    return literal + "}";
}

std::vector<uint32_t> SplitIds(const std::string& text) {
    std::vector<uint32_t> ids;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t comma = std::min(text.find(',', start), text.size());
        ids.push_back(static_cast<uint32_t>(std::stoul(text.substr(start, comma - start))));
        start = comma + 1;
    }
    return ids;
}

uint32_t Stamp(const PostgresResult& rows, int row, int column) {
    return static_cast<uint32_t>(rows.Int(row, column));
}

GameRecord GameAt(const PostgresResult& rows, int row) {
    GameRecord g;
    g.id = Stamp(rows, row, 0);
    g.title = rows.Text(row, 1);
    g.info = rows.Text(row, 2);
    g.downurl = rows.Text(row, 3);
    g.exename = rows.Text(row, 4);
    g.png = rows.Text(row, 5);
    g.site = rows.Text(row, 6);
    g.showweb = rows.Text(row, 7);
    g.time = Stamp(rows, row, 8);
    return g;
}

ToolRecord ToolAt(const PostgresResult& rows, int row) {
    ToolRecord t;
    t.id = Stamp(rows, row, 0);
    t.gameId = Stamp(rows, row, 1);
    t.type = Stamp(rows, row, 2);
    t.title = rows.Text(row, 3);
    t.version = rows.Text(row, 4);
    t.scale = static_cast<int32_t>(rows.Int(row, 5));
    t.info = rows.Text(row, 6);
    t.url = rows.Text(row, 7);
    t.exename = rows.Text(row, 8);
    t.pngurl = rows.Text(row, 9);
    t.note = rows.Text(row, 10);
    t.time = Stamp(rows, row, 11);
    return t;
}

RemovalRecord RemovalAt(const PostgresResult& rows, int row) {
    RemovalRecord r;
    r.games = SplitIds(rows.Text(row, 0));
    r.tools = SplitIds(rows.Text(row, 1));
    r.time = Stamp(rows, row, 2);
    return r;
}

template <typename Record>
std::vector<Record> AllRows(const PostgresResult& rows, Record (*at)(const PostgresResult&, int)) {
    std::vector<Record> records;
    records.reserve(static_cast<std::size_t>(rows.Rows()));
    for (int row = 0; row < rows.Rows(); ++row) {
        records.push_back(at(rows, row));
    }
    return records;
}

std::vector<UsageCount> Counts(const PostgresResult& rows) {
    std::vector<UsageCount> counts;
    for (int row = 0; row < rows.Rows(); ++row) {
        counts.push_back({rows.Text(row, 0), rows.Int(row, 1)});
    }
    return counts;
}

// Brings the schema to the newest version. The advisory lock makes a second process that
// starts at the same moment wait, then find the work done.
void Migrate(PostgresConnection& connection) {
    const int newest = static_cast<int>(std::size(kMigrations));
    connection.Execute("BEGIN");
    try {
        connection.Execute("SELECT pg_advisory_xact_lock(" + kSchemaLock + ")");
        connection.Execute("CREATE TABLE IF NOT EXISTS schema_version(version integer NOT NULL)");
        int version = static_cast<int>(
            connection.Execute("SELECT coalesce(max(version), 0) FROM schema_version").Int(0, 0));
        if (version > newest) {
            throw StoreError("the database has schema version " + std::to_string(version) +
                             ", newer than this ravik-dataserver knows (" + std::to_string(newest) +
                             ")");
        }
        for (; version < newest; ++version) {
            connection.Execute(kMigrations[version]);
        }
        connection.Execute("DELETE FROM schema_version");
        connection.Execute("INSERT INTO schema_version VALUES(" + std::to_string(newest) + ")");
        connection.Execute("COMMIT");
    } catch (...) {
        if (!connection.Broken()) {
            connection.Execute("ROLLBACK");
        }
        throw;
    }
}

}  // namespace

PostgresStore::PostgresStore(const std::string& uri, std::size_t connections)
    : pool_(uri, connections, [](PostgresConnection& connection) {
          for (const auto& [name, sql] : kStatements) {
              connection.Prepare(name, sql);
          }
      }) {
    PostgresConnection connection(uri);
    Migrate(connection);
}

void PostgresStore::InTransaction(const std::string& begin, const Work& work) {
    for (;;) {
        PostgresPool::Lease connection = pool_.Borrow();
        bool committing = false;
        try {
            if (begin.empty()) {
                work(*connection);
                return;
            }
            connection->Execute(begin);
            work(*connection);
            committing = true;
            connection->Execute("COMMIT");
            return;
        } catch (const std::exception& e) {
            if (connection->Broken()) {
                // Every idle connection may have died with a server restart: each is
                // dropped in turn, and a fresh connection gets the last word.
                if (!committing && connection.Reused()) {
                    continue;
                }
                if (committing) {
                    throw StoreError(std::string("the connection was lost while committing; the "
                                                 "change may or may not be stored: ") +
                                     e.what());
                }
            } else {
                try {
                    connection->Execute("ROLLBACK");
                } catch (const StoreError&) {
                    // The connection is then not reusable and is closed when given back.
                }
            }
            if (dynamic_cast<const StoreError*>(&e) != nullptr) {
                throw;
            }
            throw StoreError(e.what());
        }
    }
}

void PostgresStore::Read(const Work& work) {
    // One snapshot for all the queries of a read, so they agree with each other.
    InTransaction("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY", work);
}

void PostgresStore::ReadOne(const Work& work) {
    InTransaction("", work);
}

CatalogChanges PostgresStore::ChangesAfter(uint32_t stamp) {
    CatalogChanges changes;
    const std::vector<std::string> after{std::to_string(stamp)};
    Read([&](PostgresConnection& db) {
        changes = {};
        changes.games = AllRows(db.Run("games_after", after), GameAt);
        changes.tools = AllRows(db.Run("tools_after", after), ToolAt);
        changes.removals = AllRows(db.Run("removals_after", after), RemovalAt);
        PostgresResult removedAt = db.Run("tool_removed_at");
        for (int row = 0; row < removedAt.Rows(); ++row) {
            changes.toolRemovedAt[Stamp(removedAt, row, 0)] = Stamp(removedAt, row, 1);
        }
        PostgresResult live = db.Run("live_games");
        for (int row = 0; row < live.Rows(); ++row) {
            changes.liveGames.insert(Stamp(live, row, 0));
        }
    });
    return changes;
}

Ranking PostgresStore::CurrentRanking() {
    Ranking ranking;
    Read([&](PostgresConnection& db) {
        ranking = {};
        PostgresResult stamp = db.Run("ranking_stamp");
        if (stamp.Rows() > 0) {
            ranking.stamp = stamp.Text(0, 0);
        }
        PostgresResult entries = db.Run("ranking");
        for (int row = 0; row < entries.Rows(); ++row) {
            ranking.entries.push_back({Stamp(entries, row, 0), Stamp(entries, row, 1)});
        }
    });
    return ranking;
}

VersionData PostgresStore::CurrentVersion() {
    VersionData version;
    ReadOne([&](PostgresConnection& db) {
        version = {};
        PostgresResult rows = db.Run("version");
        for (int row = 0; row < rows.Rows(); ++row) {
            std::string key = rows.Text(row, 0);
            (key == "version"   ? version.version
             : key == "sertime" ? version.sertime
                                : version.clientadd) = rows.Text(row, 1);
        }
    });
    return version;
}

uint64_t PostgresStore::CatalogGeneration() {
    uint64_t generation = 0;
    ReadOne([&](PostgresConnection& db) {
        generation = static_cast<uint64_t>(db.Run("generation").Int(0, 0));
    });
    return generation;
}

void PostgresStore::StoreReports(const std::vector<Report>& reports) {
    if (reports.empty()) {
        return;
    }
    // One statement for the whole batch: each column goes as one array parameter.
    std::vector<std::vector<std::string>> texts(8);
    std::vector<std::vector<int64_t>> numbers(4);
    for (const Report& r : reports) {
        const std::string* fields[] = {&r.kind, &r.peer,       &r.mac,    &r.ip,
                                       &r.time, &r.firstStart, &r.reason, &r.sertime};
        for (std::size_t i = 0; i < texts.size(); ++i) {
            texts[i].push_back(*fields[i]);
        }
        const int64_t values[] = {r.toolId, r.gameId, r.type, r.itemId};
        for (std::size_t i = 0; i < numbers.size(); ++i) {
            numbers[i].push_back(values[i]);
        }
    }
    const std::vector<std::string> params{
        TextArray(texts[0]),     TextArray(texts[1]),     TextArray(texts[2]),
        TextArray(texts[3]),     TextArray(texts[4]),     TextArray(texts[5]),
        NumberArray(numbers[0]), NumberArray(numbers[1]), NumberArray(numbers[2]),
        NumberArray(numbers[3]), TextArray(texts[6]),     TextArray(texts[7])};
    InTransaction("BEGIN", [&](PostgresConnection& db) { db.Run("insert_reports", params); });
}

uint32_t PostgresStore::Publish(const CatalogEdit& edit) {
    CheckEdit(edit);
    if (edit.games.empty() && edit.tools.empty() && edit.removals.empty() && !edit.ranking &&
        !edit.version) {
        return 0;
    }
    uint32_t stamp = 0;
    InTransaction("BEGIN", [&](PostgresConnection& db) {
        // Held to the commit: the next publication, from any process, reads the newest stamp
        // only once this one's records are visible, and stamps are committed in order.
        db.Run("publish_lock");
        stamp = 0;
        if (NeedsStamp(edit)) {
            PostgresResult ranking = db.Run("ranking_stamp");
            stamp = NextStamp(edit, Stamp(db.Run("newest"), 0, 0),
                              ranking.Rows() > 0 ? ranking.Text(0, 0) : std::string());
        }
        const CatalogEdit stamped = Stamped(edit, stamp);
        for (const GameRecord& g : stamped.games) {
            db.Run("upsert_game", {std::to_string(g.id), g.title, g.info, g.downurl, g.exename,
                                   g.png, g.site, g.showweb, std::to_string(g.time)});
        }
        for (const ToolRecord& t : stamped.tools) {
            db.Run("upsert_tool",
                   {std::to_string(t.id), std::to_string(t.gameId), std::to_string(t.type), t.title,
                    t.version, std::to_string(t.scale), t.info, t.url, t.exename, t.pngurl, t.note,
                    std::to_string(t.time)});
        }
        for (const RemovalRecord& r : stamped.removals) {
            db.Run("insert_removal",
                   {NumberArray(r.games), NumberArray(r.tools), std::to_string(r.time)});
        }
        if (stamped.ranking) {
            std::vector<uint32_t> positions, games;
            for (const RankingEntry& entry : stamped.ranking->entries) {
                positions.push_back(entry.position);
                games.push_back(entry.gameId);
            }
            db.Run("clear_ranking");
            db.Run("insert_ranking", {NumberArray(positions), NumberArray(games)});
            db.Run("set_setting", {"rankingstamp", stamped.ranking->stamp});
        }
        if (stamped.version) {
            db.Run("set_setting", {"version", stamped.version->version});
            db.Run("set_setting", {"sertime", stamped.version->sertime});
            db.Run("set_setting", {"clientadd", stamped.version->clientadd});
        }
        db.Run("bump_generation");
    });
    return stamp;
}

uint32_t PostgresStore::NewestStamp() {
    uint32_t newest = 0;
    ReadOne([&](PostgresConnection& db) { newest = Stamp(db.Run("newest"), 0, 0); });
    return newest;
}

std::vector<GameRecord> PostgresStore::Games() {
    std::vector<GameRecord> games;
    ReadOne([&](PostgresConnection& db) { games = AllRows(db.Run("all_games"), GameAt); });
    return games;
}

std::vector<ToolRecord> PostgresStore::Tools() {
    std::vector<ToolRecord> tools;
    ReadOne([&](PostgresConnection& db) { tools = AllRows(db.Run("all_tools"), ToolAt); });
    return tools;
}

std::vector<RemovalRecord> PostgresStore::Removals() {
    std::vector<RemovalRecord> removals;
    ReadOne([&](PostgresConnection& db) { removals = AllRows(db.Run("all_removals"), RemovalAt); });
    return removals;
}

UsageSummary PostgresStore::Usage(int days) {
    UsageSummary usage;
    const std::vector<std::string> window{std::to_string(std::clamp(days, 1, 3660))};
    Read([&](PostgresConnection& db) {
        usage = {};
        PostgresResult rows = db.Run("usage_days", window);
        for (int row = 0; row < rows.Rows(); ++row) {
            usage.days.push_back({rows.Text(row, 0), rows.Int(row, 1), rows.Int(row, 2)});
        }
        PostgresResult tools = db.Run("usage_tools", window);
        for (int row = 0; row < tools.Rows(); ++row) {
            std::string title = tools.Text(row, 1);
            usage.toolRuns.push_back(
                {tools.Text(row, 0) + (title.empty() ? "" : " " + title), tools.Int(row, 2)});
        }
        usage.feedbackReasons = Counts(db.Run("usage_reasons", window));
        usage.versions = Counts(db.Run("usage_versions", window));
    });
    return usage;
}

std::vector<Report> PostgresStore::RecentReports(std::size_t limit) {
    std::vector<Report> reports;
    const std::vector<std::string> params{
        std::to_string(std::min<std::size_t>(limit, std::numeric_limits<int64_t>::max()))};
    ReadOne([&](PostgresConnection& db) {
        reports.clear();
        PostgresResult rows = db.Run("recent_reports", params);
        for (int row = 0; row < rows.Rows(); ++row) {
            Report& r = reports.emplace_back();
            r.kind = rows.Text(row, 0);
            r.peer = rows.Text(row, 1);
            r.mac = rows.Text(row, 2);
            r.ip = rows.Text(row, 3);
            r.time = rows.Text(row, 4);
            r.firstStart = rows.Text(row, 5);
            r.toolId = rows.Int(row, 6);
            r.gameId = rows.Int(row, 7);
            r.type = rows.Int(row, 8);
            r.itemId = rows.Int(row, 9);
            r.reason = rows.Text(row, 10);
            r.sertime = rows.Text(row, 11);
            r.received = rows.Text(row, 12);
        }
    });
    return reports;
}

}  // namespace dataserver

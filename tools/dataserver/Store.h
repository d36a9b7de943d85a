#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace dataserver {

// A catalog record as the data server keeps it: a game (TYPE 186) or a tool. A `time` of 0
// in a record handed to Store::Publish asks for the publication's own new stamp.
struct GameRecord {
    uint32_t id = 0;
    std::string title, info, downurl, exename, png, site, showweb;
    uint32_t time = 0;
};

struct ToolRecord {
    uint32_t id = 0;
    uint32_t gameId = 0;
    uint32_t type = 0;
    std::string title, version;
    int32_t scale = 0;
    std::string info, url, exename, pngurl, note;
    uint32_t time = 0;
};

struct RemovalRecord {
    std::vector<uint32_t> games;
    std::vector<uint32_t> tools;
    uint32_t time = 0;
};

// Everything changed after a stamp, and what a reply needs besides: every tool of a changed
// game, older ones included, since they are sent with their game.
struct CatalogChanges {
    std::vector<GameRecord> games;
    std::vector<ToolRecord> tools;
    std::vector<RemovalRecord> removals;
    // Tool id -> the stamp of the newest removal record naming it, over every removal ever
    // made: a tool removed after its own stamp is gone for clients.
    std::map<uint32_t, uint32_t> toolRemovedAt;
    // Ids of the games clients hold: stored and not removed after their own stamp. A tool of
    // any other game has no list to go into, so a client could never store it.
    std::set<uint32_t> liveGames;
};

struct RankingEntry {
    uint32_t gameId = 0;
    uint32_t position = 0;
};

struct Ranking {
    std::string stamp;  // empty: no order is published
    std::vector<RankingEntry> entries;
};

struct VersionData {
    std::string version, sertime, clientadd;  // sertime empty: no version is published
};

// One message a client sent that the server keeps: a start (2), a run (8), a feedback (4),
// or a version check (1), whose `sertime` tells which release the client runs.
struct Report {
    std::string kind;  // "start", "run", "feedback", "check"
    std::string peer, mac, ip, time;
    std::string firstStart;  // start reports
    int64_t toolId = 0, gameId = 0, type = 0, itemId = 0;
    std::string reason;    // feedback
    std::string sertime;   // version checks
    std::string received;  // "YYYY-MM-DD hh:mm:ss" UTC, set by the store
};

// One operator change, published at once or not at all. Records whose `time` is 0 get the
// publication's stamp, above every stamp the catalog holds; `ranking` and `version` replace
// what was published (a ranking with an empty stamp gets that new stamp as its text).
struct CatalogEdit {
    std::vector<GameRecord> games;
    std::vector<ToolRecord> tools;
    std::vector<RemovalRecord> removals;
    std::optional<Ranking> ranking;
    std::optional<VersionData> version;
};

// What the console charts: counts over the reports received in the last days (UTC days,
// oldest first, days without reports included with zeros).
struct UsageDay {
    std::string day;  // "YYYY-MM-DD"
    int64_t starts = 0;
    int64_t clients = 0;  // distinct MAC addresses among that day's reports
};

struct UsageCount {
    std::string label;  // a tool's id and title, a feedback reason, a client release
    int64_t count = 0;
};

struct UsageSummary {
    std::vector<UsageDay> days;
    std::vector<UsageCount> toolRuns;         // the 20 most run tools, most first
    std::vector<UsageCount> feedbackReasons;  // most first
    std::vector<UsageCount> versions;         // distinct clients per sertime, most first
};

// Why a store operation failed: the database is unreachable, a statement failed, or an
// edit is invalid (then nothing was changed).
class StoreError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The data server's database: catalog records with their change stamps, removals, the game
// order, the version data and the reports received. Two engines implement it: SQLite (one
// file, one server) and PostgreSQL (several servers sharing one database). Every method is
// safe to call from several threads at once and throws StoreError on failure.
class Store {
  public:
    virtual ~Store() = default;

    // For the clients' requests.
    virtual CatalogChanges ChangesAfter(uint32_t stamp) = 0;
    virtual Ranking CurrentRanking() = 0;
    virtual VersionData CurrentVersion() = 0;
    // A number that changes whenever the catalog, the ranking or the version data changes,
    // through this store or any other writer of the same database: replies built from the
    // catalog may be reused while it stays the same.
    virtual uint64_t CatalogGeneration() = 0;
    // Stores the reports in one transaction: all or none.
    virtual void StoreReports(const std::vector<Report>& reports) = 0;

    // For operators.
    // Checks the edit (ids, types, a tool's game, ranking positions) and applies it in one
    // transaction; returns the stamp the publication used (0 when no record asked for
    // one). An invalid edit throws and changes nothing.
    virtual uint32_t Publish(const CatalogEdit& edit) = 0;
    // The newest stamp of any game, tool or removal; 0 for an empty catalog.
    virtual uint32_t NewestStamp() = 0;
    // Every game, tool and removal stored, ordered by id (removals by stamp).
    virtual std::vector<GameRecord> Games() = 0;
    virtual std::vector<ToolRecord> Tools() = 0;
    virtual std::vector<RemovalRecord> Removals() = 0;
    virtual UsageSummary Usage(int days) = 0;
    // The newest reports first, at most `limit`.
    virtual std::vector<Report> RecentReports(std::size_t limit) = 0;
};

// Opens the store `where` names: a `postgresql://` or `postgres://` URI, or else the path of
// a SQLite file (created when missing). Creates or migrates the schema. Throws StoreError.
std::unique_ptr<Store> OpenStore(const std::string& where);

}  // namespace dataserver

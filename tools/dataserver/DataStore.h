#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

struct sqlite3;

namespace dataserver {

// A catalog record as the data server keeps it: a game (TYPE 186) or a tool.
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

// One report a client sent: a start (2), a run (8) or a feedback (4).
struct Report {
    std::string kind;  // "start", "run", "feedback"
    std::string peer, mac, ip, time;
    std::string firstStart;  // start reports
    int64_t toolId = 0, gameId = 0, type = 0, itemId = 0;
    std::string reason;  // feedback
};

// The data server's SQLite database: catalog records with their change stamps, removals,
// the game order with its stamp, the version data and every report received. Safe to use
// from several threads: one connection, one lock.
class DataStore {
  public:
    DataStore() = default;
    ~DataStore();
    DataStore(const DataStore&) = delete;
    DataStore& operator=(const DataStore&) = delete;

    // Opens (creating when missing) the database and its tables. False with Error().
    bool Open(const std::string& path);
    // Imports a JSON seed: games and tools are added or replaced by id, removals added once,
    // the ranking and the version data replaced when the seed has them. All or nothing.
    bool ImportSeed(const std::string& seedPath);

    CatalogChanges ChangesAfter(uint32_t stamp);
    Ranking CurrentRanking();
    VersionData CurrentVersion();
    bool StoreReport(const Report& report);

    // Why the last failing call failed.
    std::string Error();

  private:
    bool Execute(const std::string& sql);

    struct Closer {
        void operator()(sqlite3* db) const;
    };
    std::unique_ptr<sqlite3, Closer> db_;
    std::mutex mutex_;
    std::string error_;
};

}  // namespace dataserver

#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Store.h"

struct sqlite3;

namespace dataserver {

// The data server's SQLite database: catalog records with their change stamps, removals,
// the game order with its stamp, the version data and every report received. Safe to use
// from several threads: one connection, one lock.
class SqliteStore : public Store {
  public:
    SqliteStore() = default;
    ~SqliteStore() override;
    SqliteStore(const SqliteStore&) = delete;
    SqliteStore& operator=(const SqliteStore&) = delete;

    // Opens (creating when missing) the database and its tables. False with Error().
    bool Open(const std::string& path);
    // Imports a JSON seed: games and tools are added or replaced by id, removals added once,
    // the ranking and the version data replaced when the seed has them. All or nothing.
    bool ImportSeed(const std::string& seedPath);

    CatalogChanges ChangesAfter(uint32_t stamp) override;
    Ranking CurrentRanking() override;
    VersionData CurrentVersion() override;
    uint64_t CatalogGeneration() override;
    void StoreReports(const std::vector<Report>& reports) override;

    uint32_t Publish(const CatalogEdit& edit) override;
    uint32_t NewestStamp() override;
    std::vector<GameRecord> Games() override;
    std::vector<ToolRecord> Tools() override;
    std::vector<RemovalRecord> Removals() override;
    UsageSummary Usage(int days) override;
    std::vector<Report> RecentReports(std::size_t limit) override;

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

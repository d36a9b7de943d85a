#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Store.h"

struct sqlite3;

namespace dataserver {

// The data server's SQLite database: catalog records with their change stamps, removals,
// the game order with its stamp, the version data and every report received. Safe to use
// from several threads: writes go through one connection, one at a time; reads use
// connections of their own, so with the write-ahead log a catalog read never waits for a
// batch of reports being written.
class SqliteStore : public Store {
  public:
    // The schema version this program writes; a database of a newer one is refused.
    static constexpr int kSchemaVersion = 2;

    // Opens the database (creating it when missing) and creates or migrates its schema.
    // ":memory:" gives a private database in memory. Throws StoreError.
    explicit SqliteStore(const std::string& path);
    ~SqliteStore() override;
    SqliteStore(const SqliteStore&) = delete;
    SqliteStore& operator=(const SqliteStore&) = delete;

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

  private:
    struct Closer {
        void operator()(sqlite3* db) const;
    };
    using Connection = std::unique_ptr<sqlite3, Closer>;
    class Reader;

    Connection Connect() const;
    void Migrate();
    // Runs `read` on a read connection inside one read transaction, so that every query of
    // it sees the same state of the database.
    template <typename Read>
    auto Reading(Read read);
    // Runs `write` on the write connection inside one immediate transaction: committed
    // when it returns, rolled back when it throws.
    template <typename Write>
    auto Writing(Write write);

    std::string path_;
    bool inMemory_ = false;
    Connection writer_;
    std::mutex writeMutex_;
    // Idle read connections; a reader takes one or opens a new one.
    std::vector<Connection> idleReaders_;
    std::mutex readersMutex_;
};

}  // namespace dataserver

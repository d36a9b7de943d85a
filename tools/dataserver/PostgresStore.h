#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "PostgresPool.h"
#include "Store.h"

namespace dataserver {

// The data server's database on a PostgreSQL server, shared by any number of data-server
// processes. Each caller borrows a connection of a small pool; catalog publications are
// serialised across every process by a transaction-level advisory lock, so stamps are
// handed out once and committed in their order. Creates or migrates the schema on opening.
class PostgresStore : public Store {
  public:
    // Connects to `uri` (postgresql://…) and readies the schema. Throws StoreError.
    explicit PostgresStore(const std::string& uri, std::size_t connections = 8);

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
    using Work = std::function<void(PostgresConnection&)>;
    // Runs `work` in one transaction (`begin` opens it; empty: one statement on its own) on a
    // borrowed connection.
    // When a connection that sat idle in the pool turns out to be lost before the commit was
    // sent, nothing was stored, so the work is tried again on another one.
    void InTransaction(const std::string& begin, const Work& work);
    // Several queries that see one snapshot of the database.
    void Read(const Work& work);
    // One query.
    void ReadOne(const Work& work);

    PostgresPool pool_;
};

}  // namespace dataserver

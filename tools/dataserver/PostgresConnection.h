#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Store.h"

struct pg_conn;
struct pg_result;

namespace dataserver {

// The rows a statement returned, read as text (the protocol's text format).
class PostgresResult {
  public:
    explicit PostgresResult(pg_result* result);

    int Rows() const;
    bool IsNull(int row, int column) const;
    std::string Text(int row, int column) const;
    int64_t Int(int row, int column) const;

  private:
    struct Clear {
        void operator()(pg_result* result) const;
    };
    std::unique_ptr<pg_result, Clear> result_;
};

// One connection to a PostgreSQL server. Statements run with text parameters; a failing one
// throws StoreError with the server's message. Once the connection is lost, Broken() says so
// and the connection is good for nothing but closing.
class PostgresConnection {
  public:
    // Connects to `uri` (a postgresql:// URI or key=value settings). Throws StoreError.
    explicit PostgresConnection(const std::string& uri);
    ~PostgresConnection();
    PostgresConnection(const PostgresConnection&) = delete;
    PostgresConnection& operator=(const PostgresConnection&) = delete;

    // Runs SQL without parameters: several statements may be given at once.
    PostgresResult Execute(const std::string& sql);
    // Prepares `sql` under `name` for Run.
    void Prepare(const std::string& name, const std::string& sql);
    PostgresResult Run(const std::string& name, const std::vector<std::string>& params = {});

    bool Broken() const;
    // Connected and outside any transaction: fit to be lent to the next caller.
    bool Reusable() const;

  private:
    PostgresResult Checked(pg_result* result, const std::string& what);

    pg_conn* conn_ = nullptr;
};

}  // namespace dataserver

#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "PostgresConnection.h"

namespace dataserver {

// A bounded set of connections to one database: a caller borrows one for a unit of work and
// waits while all are lent. Connections are opened on demand, each readied by `setup` (for
// example to prepare statements); a connection found broken, or given back inside a transaction, is
// closed instead of lent again, so the next borrower gets a fresh one once the server is back.
class PostgresPool {
  public:
    using SetupFn = std::function<void(PostgresConnection&)>;

    PostgresPool(std::string uri, std::size_t size, SetupFn setup);

    // A borrowed connection, given back when the lease goes away.
    class Lease {
      public:
        Lease(PostgresPool& pool, std::unique_ptr<PostgresConnection> connection, bool reused);
        ~Lease();
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;

        PostgresConnection& operator*() const { return *connection_; }
        PostgresConnection* operator->() const { return connection_.get(); }
        // Lent before: it may have been ended by the server while it sat idle.
        bool Reused() const { return reused_; }

      private:
        PostgresPool& pool_;
        std::unique_ptr<PostgresConnection> connection_;
        bool reused_;
    };

    // Waits for an idle connection or room for a new one. Throws StoreError when a new
    // connection cannot be opened.
    Lease Borrow();

  private:
    void GiveBack(std::unique_ptr<PostgresConnection> connection);

    const std::string uri_;
    const std::size_t size_;
    const SetupFn setup_;
    std::mutex mutex_;
    std::condition_variable available_;
    std::vector<std::unique_ptr<PostgresConnection>> idle_;
    std::size_t open_ = 0;  // idle and lent
};

}  // namespace dataserver

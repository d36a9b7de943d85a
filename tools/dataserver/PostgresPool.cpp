#include "PostgresPool.h"

namespace dataserver {

PostgresPool::PostgresPool(std::string uri, std::size_t size, SetupFn setup)
    : uri_(std::move(uri)), size_(size == 0 ? 1 : size), setup_(std::move(setup)) {}

PostgresPool::Lease::Lease(PostgresPool& pool, std::unique_ptr<PostgresConnection> connection,
                           bool reused)
    : pool_(pool), connection_(std::move(connection)), reused_(reused) {}

PostgresPool::Lease::~Lease() {
    pool_.GiveBack(std::move(connection_));
}

PostgresPool::Lease PostgresPool::Borrow() {
    std::unique_lock lock(mutex_);
    for (;;) {
        while (!idle_.empty()) {
            std::unique_ptr<PostgresConnection> connection = std::move(idle_.back());
            idle_.pop_back();
            if (!connection->Broken()) {
                return Lease(*this, std::move(connection), true);
            }
            --open_;
        }
        if (open_ < size_) {
            break;
        }
        available_.wait(lock);
    }
    // Connecting takes a round trip or more: done outside the lock, with the place reserved.
    ++open_;
    lock.unlock();
    try {
        auto connection = std::make_unique<PostgresConnection>(uri_);
        if (setup_) {
            setup_(*connection);
        }
        return Lease(*this, std::move(connection), false);
    } catch (...) {
        lock.lock();
        --open_;
        available_.notify_one();
        throw;
    }
}

void PostgresPool::GiveBack(std::unique_ptr<PostgresConnection> connection) {
    {
        std::lock_guard lock(mutex_);
        // One left inside a transaction (its caller failed half-way) is closed, which rolls
        // the transaction back, rather than handed to someone else.
        if (!connection->Reusable()) {
            --open_;
        } else {
            idle_.push_back(std::move(connection));
        }
    }
    available_.notify_one();
}

}  // namespace dataserver

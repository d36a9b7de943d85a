#include "ConnectionPool.h"

#include <chrono>
#include <exception>

namespace dataserver {

namespace {

constexpr std::size_t kMaxQueued = 64;

}  // namespace

ConnectionPool::ConnectionPool(HandleFn handle, LogFn log, std::size_t workers)
    : handle_(std::move(handle)), log_(std::move(log)) {
    for (std::size_t i = 0; i < workers; ++i) {
        workers_.emplace_back([this] { Work(); });
    }
}

ConnectionPool::~ConnectionPool() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    ready_.notify_all();
    for (auto& worker : workers_) {
        worker.join();
    }
}

bool ConnectionPool::Listen(const std::string& host, int port) {
    return listener_.Listen(host, port);
}

void ConnectionPool::Serve(const std::atomic<bool>& stop) {
    while (!stop.load()) {
        server::Socket connection = listener_.Accept(std::chrono::milliseconds(200));
        if (!connection.IsOpen()) {
            continue;
        }
        std::unique_lock lock(mutex_);
        if (queue_.size() >= kMaxQueued) {
            lock.unlock();
            log_("too many connections; closing one from " + connection.PeerAddress());
            continue;
        }
        queue_.push_back(std::move(connection));
        lock.unlock();
        ready_.notify_one();
    }
}

void ConnectionPool::Work() {
    for (;;) {
        server::Socket connection;
        {
            std::unique_lock lock(mutex_);
            ready_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_) {
                return;
            }
            connection = std::move(queue_.front());
            queue_.pop_front();
        }
        connection.SetCancelFlag(&stopping_);
        // One bad connection must not take the server down.
        try {
            handle_(std::move(connection));
        } catch (const std::exception& e) {
            log_(std::string("a connection failed: ") + e.what());
        }
    }
}

}  // namespace dataserver

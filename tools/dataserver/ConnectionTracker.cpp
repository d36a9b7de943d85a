#include "ConnectionTracker.h"

#include <vector>

#include "Connection.h"

namespace dataserver {

ConnectionTracker::ConnectionTracker(std::size_t limit, RateLimitedLog::LogFn log)
    : limit_(limit), refusals_(std::move(log)) {}

bool ConnectionTracker::Add(const std::shared_ptr<Connection>& connection,
                            const std::string& peer) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) {
            return false;
        }
        if (open_.size() < limit_) {
            open_.emplace(connection.get(), connection);
            return true;
        }
    }
    refusals_.Write("too many connections (" + std::to_string(limit_) +
                    " open); refused one from " + peer);
    return false;
}

void ConnectionTracker::Remove(const Connection* connection) {
    std::lock_guard lock(mutex_);
    open_.erase(connection);
    if (open_.empty()) {
        emptied_.notify_all();
    }
}

void ConnectionTracker::StopAll(bool force) {
    std::vector<std::shared_ptr<Connection>> open;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (const auto& [key, weak] : open_) {
            if (auto connection = weak.lock()) {
                open.push_back(std::move(connection));
            }
        }
    }
    for (const auto& connection : open) {
        connection->Stop(force);
    }
}

bool ConnectionTracker::WaitUntilEmpty(std::chrono::steady_clock::duration bound) {
    std::unique_lock lock(mutex_);
    return emptied_.wait_for(lock, bound, [this] { return open_.empty(); });
}

}  // namespace dataserver

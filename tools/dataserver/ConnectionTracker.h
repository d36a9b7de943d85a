#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "RateLimitedLog.h"

namespace dataserver {

class Connection;

// Every connection open on either service: bounds how many there are and ends them when the
// server stops.
class ConnectionTracker {
  public:
    ConnectionTracker(std::size_t limit, RateLimitedLog::LogFn log);
    ConnectionTracker(const ConnectionTracker&) = delete;
    ConnectionTracker& operator=(const ConnectionTracker&) = delete;

    // False when the limit is reached or the server is stopping: the caller closes the new
    // connection at once. A refusal is logged, at most once a second.
    bool Add(const std::shared_ptr<Connection>& connection, const std::string& peer);
    // Called by a connection as it goes away.
    void Remove(const Connection* connection);

    // Refuses new connections and asks every open one to stop: one that has not delivered a
    // complete request ends at once, one being answered finishes. With `force`, every
    // connection ends at once.
    void StopAll(bool force);
    // True when every connection has gone within `bound`.
    bool WaitUntilEmpty(std::chrono::steady_clock::duration bound);

  private:
    const std::size_t limit_;
    RateLimitedLog refusals_;
    std::mutex mutex_;
    std::condition_variable emptied_;
    bool stopping_ = false;
    std::unordered_map<const Connection*, std::weak_ptr<Connection>> open_;
};

}  // namespace dataserver

#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>

namespace dataserver {

// Passes one line a second at most to the log and counts the ones it held back, so that a
// flood of the same event (refused connections, clients timing out) cannot make writing
// the log the server's bottleneck.
class RateLimitedLog {
  public:
    using LogFn = std::function<void(const std::string&)>;

    explicit RateLimitedLog(LogFn log) : log_(std::move(log)) {}

    void Write(const std::string& line);

  private:
    LogFn log_;
    std::mutex mutex_;
    std::chrono::steady_clock::time_point last_{};
    std::size_t held_ = 0;
};

}  // namespace dataserver

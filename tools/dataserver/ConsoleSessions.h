#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>

namespace dataserver {

// The operator console's logged-in browsers: random session ids, kept in memory until they
// expire (a restart logs everyone out). Safe to use from several threads.
class ConsoleSessions {
  public:
    using Clock = std::chrono::steady_clock;

    explicit ConsoleSessions(Clock::duration lifetime, std::size_t capacity = 256);

    // A new session id: 32 random bytes in hex. When the table is full the session closest
    // to expiry makes room, so repeated logins cannot grow memory without bound.
    std::string Open(Clock::time_point now);
    // Whether `id` names a session that has not expired at `now`.
    bool Valid(const std::string& id, Clock::time_point now);
    void Close(const std::string& id);

    Clock::duration Lifetime() const { return lifetime_; }

  private:
    const Clock::duration lifetime_;
    const std::size_t capacity_;
    std::mutex mutex_;
    std::map<std::string, Clock::time_point> expiry_;
};

}  // namespace dataserver

#include "RateLimitedLog.h"

namespace dataserver {

void RateLimitedLog::Write(const std::string& line) {
    std::string text;
    {
        std::lock_guard lock(mutex_);
        auto now = std::chrono::steady_clock::now();
        if (last_ != std::chrono::steady_clock::time_point{} &&
            now - last_ < std::chrono::seconds(1)) {
            ++held_;
            return;
        }
        last_ = now;
        text = line;
        if (held_ > 0) {
            text += " (and " + std::to_string(held_) + " more like it)";
            held_ = 0;
        }
    }
    log_(text);
}

}  // namespace dataserver

#pragma once

#include <chrono>
#include <functional>
#include <thread>

// Polls `condition` until it holds; false when it still does not after `limit`. For what
// another process does in its own time (a program started, a file written).
inline bool Eventually(const std::function<bool()>& condition,
                       std::chrono::milliseconds limit = std::chrono::minutes(2)) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

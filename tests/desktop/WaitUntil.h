#pragma once

#include <chrono>
#include <thread>

namespace desktop_test {

// Checks the condition every 10 ms until it holds (true) or the limit has passed (false).
template <typename Condition>
inline bool waitUntil(Condition condition, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace desktop_test

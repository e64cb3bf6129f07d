#pragma once

// The one way the native tests wait: the condition is polled until it holds or the time-out passes.

#include <chrono>
#include <thread>

namespace dravel::test {

inline constexpr std::chrono::milliseconds kWaitLimit{10000};

// True as soon as done() holds; false when it still does not after `limit`.
template <class Pred> bool WaitUntil(Pred done, std::chrono::milliseconds limit = kWaitLimit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace dravel::test

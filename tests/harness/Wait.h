// Waiting for what another process or a posted message brings about.
#pragma once

#include <windows.h>

#include <chrono>

namespace vt {

// Polls `done` every 10 ms until it holds (true) or `timeout` has passed
// (false).
template <typename Predicate>
bool WaitUntil(Predicate done, std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        ::Sleep(10);
    }
}

}  // namespace vt

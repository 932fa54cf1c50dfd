#pragma once
// Waiting for something another process or thread brings about, polled, with a deadline.

#include <chrono>
#include <functional>
#include <thread>

namespace zr::test {

// Waits up to `seconds` for `ready`, asking every few milliseconds; gives whether it came.
inline bool eventually(std::function<bool()> const& ready, double seconds = 20.0) {
    auto const end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!ready()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace zr::test

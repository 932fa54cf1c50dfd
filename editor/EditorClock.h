#pragma once
// The time the editor uses to tell a double click from two single clicks: the host's clock
// when the host offers one (sdk/ClockHost.h), else the steady clock.

#include <chrono>
#include <cstdint>

#include "sdk/ClockHost.h"

namespace zr::editor {

class EditorClock {
public:
    EditorClock() = default;
    EditorClock(EditorClock const&) = delete;
    EditorClock& operator=(EditorClock const&) = delete;
    ~EditorClock() { detach(); }

    // Takes the host's clock if it offers one; a null host leaves the steady clock.
    void attach(gmpi::IMpUnknown* host) {
        detach();
        void* clock = nullptr;
        if (host != nullptr && host->queryInterface(ZR_IID_CLOCK_HOST, &clock) == gmpi::MP_OK)
            hostClock_ = static_cast<IClockHost*>(clock);
    }

    int64_t nowNanoseconds() const {
        if (hostClock_ != nullptr) {
            int64_t now = 0;
            if (hostClock_->getSteadyTime(&now) == gmpi::MP_OK)
                return now;
        }
        auto const sinceEpoch = std::chrono::steady_clock::now().time_since_epoch();
        return std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch).count();
    }

private:
    void detach() {
        if (hostClock_ != nullptr)
            hostClock_->release();
        hostClock_ = nullptr;
    }

    IClockHost* hostClock_ = nullptr;
};

} // namespace zr::editor

#pragma once
// An optional host interface (ZR_IID_CLOCK_HOST): a host that offers it supplies the time a
// GUI module uses for timing gestures such as double clicks. Without it a module reads the
// steady clock. A host that drives time itself (a test host) can so replay pointer scripts
// with exact intervals, and no one has to wait.

#include <cstdint>

#include "sdk/Interfaces.h"

namespace zr {

class IClockHost : public gmpi::IMpUnknown {
public:
    // [ui thread] Writes a monotonic time in nanoseconds. Any other answer than MP_OK (zrhost:
    // MP_FAIL for a null out-pointer) makes the module read the steady clock instead.
    virtual int32_t getSteadyTime(int64_t* returnNanoseconds) = 0;                     // slot 3
};

} // namespace zr

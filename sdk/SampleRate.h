#pragma once
// The host's sample rate, taken only when it is usable: a finite number above zero. Every
// module that derives increments, crossfades or glides from the rate asks through here, so a
// host answering 0, a negative rate or NaN can neither divide by zero nor produce a NaN
// position.

#include <cmath>

#include "sdk/MpPluginBase.h"

namespace gmpi {

inline bool isValidSampleRate(float sampleRate) { return sampleRate > 0.0f && std::isfinite(sampleRate); }

// [audio thread] The host's answer when it is valid; otherwise `previous`, the last valid
// rate the module had (0: none yet, which modules treat as "no rate"). Without a host, or
// when the host leaves the answer unwritten, the previous rate stays too.
inline float askSampleRate(MpPluginBase const& module, float previous) {
    IMpHost* host = module.getHost();
    if (host == nullptr)
        return previous;
    float answer = 0.0f;
    host->getSampleRate(&answer);
    return isValidSampleRate(answer) ? answer : previous;
}

} // namespace gmpi

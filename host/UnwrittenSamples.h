#pragma once
// How a host keeps a module's audio outputs meaningful when the module stops computing partway
// through a block (it goes to sleep and leaves the rest of the block to the host): the outputs
// are marked unwritten before the block, and afterwards every unwritten sample holds the one
// before it, as a static output does. zrhost's runner and the plug-ins' driver both do it.
// [audio thread] Nothing here allocates, locks or throws.

#include <algorithm>
#include <bit>
#include <cstdint>
#include <span>

namespace zr::host {

// A NaN that no computation produces.
inline constexpr uint32_t kUnwrittenSampleBits = 0x7FC0DEADu;

inline bool isUnwritten(float sample) { return std::bit_cast<uint32_t>(sample) == kUnwrittenSampleBits; }

inline void markUnwritten(std::span<float> samples) {
    std::fill(samples.begin(), samples.end(), std::bit_cast<float>(kUnwrittenSampleBits));
}

// Each unwritten sample takes the one before it (`held` before the first); gives the block's
// last sample, the one to hold from then on.
inline float holdUnwritten(std::span<float> samples, float held) {
    for (float& sample : samples) {
        if (isUnwritten(sample))
            sample = held;
        else
            held = sample;
    }
    return held;
}

} // namespace zr::host

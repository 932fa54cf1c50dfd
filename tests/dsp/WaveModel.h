#pragma once
// The wave-table oscillator's formula one sample at a time, written from its definition rather
// than from the engine's code: every wrap is the exact remainder (std::fmod, which is exact),
// every sample takes the whole read offset (phase modulation and feedback, whether silent or
// not). Tests compare the engine's block forms with it bit for bit.

#include <cmath>
#include <cstdint>
#include <vector>

#include "dsp/FastExp2.h"
#include "shapes/Clamp.h"

namespace zr::test {

// `position` brought into 0..cycle by the exact remainder.
inline float modelWrap(float position, float cycle) {
    float const remainder = std::fmod(position, cycle);
    return remainder < 0.0f ? remainder + cycle : remainder;
}

// offset + phase wrapped into the cycle; the phase itself should the sum be no number.
inline float modelReadPosition(float offset, float phase, float cycle) {
    float const position = modelWrap(offset + phase, cycle);
    return position >= 0.0f && position <= cycle ? position : phase;
}

// The phase one increment on, wrapped; a phase that overflowed restarts at 0.
inline float modelAdvance(float phase, float increment, float cycle) {
    phase += increment;
    if (!(phase < cycle))
        phase = std::fmod(phase, cycle);
    return std::isfinite(phase) ? phase : 0.0f;
}

// Linear interpolation between the entry at the position and the next one, the last entry's
// next being entry 0.
inline float modelRead(std::vector<float> const& table, float position) {
    auto const size = static_cast<int32_t>(table.size());
    auto const index = static_cast<int32_t>(position);
    float const fraction = position - static_cast<float>(index);
    float const a = table[static_cast<size_t>(index % size)];
    float const b = table[static_cast<size_t>((index + 1) % size)];
    return a + fraction * (b - a);
}

// One output sample: the average of `subSteps` reads at offset + phase, the phase advancing by
// the increment after each.
inline float modelSample(std::vector<float> const& table, int32_t subSteps, float increment, float offset, float& phase) {
    auto const cycle = static_cast<float>(table.size());
    float total = 0.0f;
    for (int32_t k = 0; k < subSteps; ++k) {
        total += modelRead(table, modelReadPosition(offset, phase, cycle));
        phase = modelAdvance(phase, increment, cycle);
    }
    return total * (1.0f / static_cast<float>(subSteps));
}

// The phase modulation of one sample in cycles.
inline float modelModulation(float phaseMod, float depth) {
    return zr::clampf(phaseMod, -1.0f, 1.0f) * zr::clampf(depth, 0.0f, 1.0f);
}

// The increment per sub-step for a Pitch sample: volts per octave 440 x 2^(10 v - 5) Hz for
// v in 0..1, or linear 10 v Hz up to a quarter of the rate; below 0 (and NaN) the lowest.
inline float modelIncrement(float pitch, float rate, int32_t tableSize, int32_t subSteps, bool linear) {
    float const limit = linear ? rate * 0.25f : 1.0f;
    float const v = pitch > 0.0f ? std::fmin(pitch, limit) : 0.0f;
    float const factor = linear ? v : zr::fastExp2(zr::clampf(v * 10.0f + (-5.0f), -127.0f, 128.0f));
    float const hertzToIncrement = 1.0f / rate * static_cast<float>(tableSize) * (linear ? 10.0f : 440.0f);
    return factor * (1.0f / static_cast<float>(subSteps)) * hertzToIncrement;
}

} // namespace zr::test

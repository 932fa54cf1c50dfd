#pragma once
// What a wave-table oscillator does a whole block at a time: reading the table at precomputed
// fractional positions with linear interpolation, finding how long the pitch stays the same,
// and telling which of its modulation inputs are silent, so that a block can leave their
// terms out.

#include <cstdint>

namespace zr::wave {

// The table at `position` (0 <= position <= size, size = mask + 1, a power of two): the entry
// below, moved towards the next one (wrapping to entry 0) by the fraction.
inline float readAt(float const* table, int32_t mask, float position) {
    auto const index = static_cast<int32_t>(position);
    float const fraction = position - static_cast<float>(index);
    float const a = table[index & mask];
    float const b = table[(index + 1) & mask];
    return a + fraction * (b - a);
}

// output[i] = 0 + readAt(table, mask, positions[i]) for a block, with the same operations per
// position, so the results are bit-identical to the per-position call (the added 0 turns a
// -0 into +0, as a sum that starts at 0 does). Runs a vector form where the CPU offers
// gathers.
void readBlock(float const* table, int32_t mask, float const* positions, float* output, int32_t count);
// readBlock() as built for any x86-64 CPU; readBlock() falls back to it without AVX2.
void readBlockPortable(float const* table, int32_t mask, float const* positions, float* output, int32_t count);

// How many samples from the first on equal `value` (none when it is a NaN).
int32_t leadingEqual(float const* samples, int32_t count, float value);

// Whether every sample is 0 (of either sign).
bool allZero(float const* samples, int32_t count);

// Whether the phase modulation clip(phaseMod, -1, 1) x clip(depth, 0, 1) is 0 for every
// sample (a NaN clips to the upper end).
bool modulationSilent(float const* phaseMod, float const* depth, int32_t count);

} // namespace zr::wave

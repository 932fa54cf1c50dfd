#pragma once
// What a wave-table oscillator does sample by sample and a whole block at a time: the per-sample
// formula (read position, linear interpolation, phase advance, sum of sub-steps), playing a run
// of samples for as long as the pitch stays the same, and telling which of its modulation
// inputs are silent, so that a block can leave their terms out. Every function runs on the
// caller's thread and neither allocates, locks nor throws.

#include <cstdint>

#include "shapes/Clamp.h"

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

// The phase modulation of one sample as a fraction of a cycle, -1..1 (a NaN clips to the upper end).
inline float modulationAt(float phaseMod, float depth) {
    return zr::clampf(phaseMod, -1.0f, 1.0f) * zr::clampf(depth, 0.0f, 1.0f);
}

// The exact remainder of a position, brought into 0..cycle, by the library (not inlined: the
// per-sample path rarely needs it).
float wrapFar(float position, float cycle);

// A read position brought into 0..cycle by an exact remainder, which ends for any value,
// however far the phase ran. A modulated position lies within a cycle of the phase, where
// the remainder is the position itself (less than a cycle below 0) or the position less a
// cycle (exact, less than two cycles up), so those take no library call.
inline float wrapToCycle(float position, float cycle) {
    if (position >= 0.0f && position < cycle)
        return position;
    if (position >= cycle && position < 2.0f * cycle)
        return position - cycle;
    if (position < 0.0f && position > -cycle)
        return position + cycle;
    return wrapFar(position, cycle);
}

// offset + phase in 0..cycle, or the phase itself should the sum not be a number.
inline float readPosition(float offset, float phase, float cycle) {
    float const position = wrapToCycle(offset + phase, cycle);
    return position >= 0.0f && position <= cycle ? position : phase;
}

// The exact remainder of a phase that advanced to or past the cycle (one subtraction below two
// cycles gives the same number). An increment that overflowed (an extreme linear pitch)
// restarts the cycle rather than leaving a phase that is no table position. Not inlined: it is
// off the per-sample path.
float wrapAdvanced(float advanced, float cycle);

// The phase one increment on. The increment is never negative, so the phase stays at or above
// 0 and one compare tells whether it left the cycle.
inline float advancePhase(float phase, float increment, float cycle) {
    phase += increment;
    return phase < cycle ? phase : wrapAdvanced(phase, cycle);
}

// One output sample before averaging: each of `subSteps` sub-steps reads the table at
// offset + phase and advances the phase. The sum starts at 0, which turns a read of -0 into
// +0. Without an offset the read position is the phase itself, which advancePhase() keeps in
// 0..cycle: readPosition(0, phase) returns it unchanged.
template <bool kOffset>
float sumOfSubSteps(float const* table, int32_t mask, int32_t subSteps, float increment, float offset, float& phase) {
    float const cycle = static_cast<float>(mask + 1);
    float total = 0.0f;
    for (int32_t k = 0; k < subSteps; ++k) {
        total += readAt(table, mask, kOffset ? readPosition(offset, phase, cycle) : phase);
        phase = advancePhase(phase, increment, cycle);
    }
    return total;
}

// What stays the same over a run of output samples at one pitch.
struct PhaseRun {
    // mask + 2 entries: one cycle, then a guard entry equal to entry 0, so that an entry and the
    // one after it (wrapping) are adjacent in memory. The per-sample formula ignores the guard.
    float const* table;
    int32_t mask;     // the table size less 1; the size is a power of two
    int32_t subSteps; // phase advances per output sample
    float average;    // 1 / subSteps
    float pitch;      // the Pitch sample that the increment belongs to
    float increment;  // phase advance per sub-step: finite, not negative
};

// A block's signal inputs from a run's first sample on. Without modulation both of its
// pointers are null.
struct RunInputs {
    float const* pitch;
    float const* phaseMod = nullptr;
    float const* depth = nullptr;
};

// Where a run stopped: the samples it played (at least one) and the last of them. The last
// sample is stored rather than returned, so that nothing in the caller waits for the table
// reads behind it: whatever waits for them holds up the processor's reordering around the
// next run.
struct RunEnd {
    int32_t played;
    float& last;
};

// [caller's thread] output[i] = sumOfSubSteps(...) x average from `phase` (0 <= phase < table
// size), with the offset modulationAt(phaseMod[i], depth[i]) x cycle when there is modulation,
// for the first sample and each one after it whose Pitch sample equals run.pitch, at most
// `count` (at least 1) samples. Returns the phase after them, alone in its register: the next
// run's chain of additions starts from it, and it must not wait for anything else. Every
// operation is the per-sample formula's, so the results are bit-identical to it; only
// independent work is reordered. Runs a vector form where the CPU has AVX2.
float playRun(PhaseRun const& run, float phase, RunInputs const& inputs, float* output, int32_t count, RunEnd& end);
// playRun() as built for any x86-64 CPU, sample by sample; playRun() falls back to it without AVX2.
float playRunPortable(PhaseRun const& run, float phase, RunInputs const& inputs, float* output, int32_t count,
                      RunEnd& end);

// The terms of the read offset that a block has to compute. A silent Feedback input adds
// previousOut x 0 = 0 to every offset (previousOut is always a finite table value), and a
// silent phase modulation adds a zero product, so loops without those terms give the same
// results.
enum class OffsetTerms { none, modulation, modulationAndFeedback };

// [caller's thread] modulationAndFeedback unless every Feedback sample is 0; then modulation
// unless modulationSilent(). One pass over both inputs, eight samples at a time where the CPU
// has AVX2.
OffsetTerms offsetTermsOf(float const* feedback, float const* phaseMod, float const* depth, int32_t count);
// offsetTermsOf() as built for any x86-64 CPU.
OffsetTerms offsetTermsOfPortable(float const* feedback, float const* phaseMod, float const* depth, int32_t count);

// Whether every sample is 0 (of either sign).
bool allZero(float const* samples, int32_t count);

// Whether the phase modulation modulationAt(phaseMod, depth) is 0 for every sample.
bool modulationSilent(float const* phaseMod, float const* depth, int32_t count);

} // namespace zr::wave

// The phase accumulator is a chain of one f32 addition per sub-step that no reordering can
// shorten without changing the phase's bits. Everything else (wrap, index, table reads,
// interpolation, sums, gain) depends on the chain only through its values, so it runs beside
// the chain: each group of eight consecutive phases goes straight from registers into a vector
// and its reads, while the processor already adds the next group's phases. Each instruction
// performs the scalar operation lane by lane in the scalar order: the truncation is the scalar
// one, multiply and add stay separate (no FMA is enabled here), and sums of sub-steps are
// added in sub-step order.

#include "dsp/WaveRunAvx2.h"

#ifdef ZR_WAVE_RUN_AVX2

#include <immintrin.h>

#include <bit>
#include <cmath>

#include "dsp/EntryPairsAvx2.h"

#define ZR_AVX2 __attribute__((target("avx2")))

namespace {

using zr::wave::PhaseRun;
using zr::wave::RunEnd;
using zr::wave::RunInputs;

constexpr int32_t kLanes = 8;

// A run's table and the constants of its formula, in registers for the whole run; `pitch` is
// the Pitch sample the run plays at.
struct VectorRun {
    float const* table;
    __m256i mask;
    __m256 cycle;
    __m256 average;
    float scalarCycle;
    float scalarAverage;
    float pitch;
    float increment;
};

// readAt() lane by lane. The guard entry after the table repeats entry 0, so an entry and the
// one after it (wrapping to entry 0) are adjacent and read as a pair.
ZR_AVX2 inline __m256 readAt8(VectorRun const& run, __m256 position) {
    __m256i const index = _mm256_cvttps_epi32(position);
    __m256 const fraction = _mm256_sub_ps(position, _mm256_cvtepi32_ps(index));
    zr::EntryPairs const pairs = zr::entryPairsAt8(run.table, _mm256_and_si256(index, run.mask));
    return _mm256_add_ps(pairs.entries, _mm256_mul_ps(fraction, _mm256_sub_ps(pairs.successors, pairs.entries)));
}

// The phase at eight consecutive sub-steps one addition at a time, advancing it past them. The
// eight additions run without a wrap, and one compare of the last sum tells whether any of
// them reached the cycle (the phase only grows). Eight steps that did reach it are added again
// one by one with the wrap. An increment below the cycle keeps every advanced phase below two
// cycles, where one subtraction is the exact remainder that advancePhase() takes. The wraps
// are branches, mispredicted once per period at most: as selects (which the compiler prefers
// without the empty statement that pins the branch) they would lengthen the chain. The
// values never leave registers.
ZR_AVX2 inline __m256 addOneByOne(float& phase, float increment, float cycle) {
    float phases[kLanes + 1];
    phases[0] = phase;
#pragma GCC unroll 8
    for (int32_t lane = 0; lane < kLanes; ++lane)
        phases[lane + 1] = phases[lane] + increment;
    if (phases[kLanes] >= cycle) [[unlikely]] {
        float wrapping = phases[0];
#pragma GCC unroll 8
        for (int32_t lane = 0; lane < kLanes; ++lane) {
            phases[lane] = wrapping;
            wrapping += increment;
            if (wrapping >= cycle) {
                wrapping -= cycle;
                asm volatile("" : "+x"(wrapping));
            }
        }
        phases[kLanes] = wrapping;
    }
    phase = phases[kLanes];
    return _mm256_setr_ps(phases[0], phases[1], phases[2], phases[3], phases[4], phases[5], phases[6], phases[7]);
}

// The phase accumulator, one f32 addition per sub-step, without the chain of additions where
// it can be left out exactly. While a phase p and p + increment lie in one binade [2^k,
// 2^(k+1)), both are multiples of its spacing u = 2^(k-23), so the rounded sum is
// p + q u, q the increment in units of u rounded to the nearest integer, whatever p is,
// unless the increment lies exactly halfway between two multiples of u (then the rounding
// to even depends on p). So inside a binade the phases step by the same amount, the `step`
// q u, and eight of them are p + 0, 1, ..., 7 steps, all exact: eight steps take one addition
// of the chain instead of eight. Eight phases that would leave the binade (or wrap), and
// every group in a binade whose increment is halfway, take the additions one by one.
struct PhaseChain {
    float phase;
    float increment;
    float cycle;
    float limit;      // the binade's end 2^(k+1); 0 where its steps are not all the same
    float eightSteps; // 8 x the step, exact
    __m256 laneSteps; // 0, 1, ..., 7 x the step, exact
};

// The step of the binade that holds the chain's phase: 2^k + increment rounded, less 2^k (the
// difference of two multiples of u, exact). A zero or subnormal phase gives 2^k = 0 and a
// limit of 0, which no phase lies below. An increment of at least 2^k / 8 never passes the
// test in nextPhases(), and neither does one that sums to 2^(k+1) or more here. A halfway
// increment is one whose distance to the step (exact: the two lie within u/2 of each other)
// is u/2 = 2^k x 2^-24.
ZR_AVX2 inline void followBinade(PhaseChain& chain) {
    float const binadeStart = std::bit_cast<float>(std::bit_cast<uint32_t>(chain.phase) & 0x7F800000u);
    float const step = (binadeStart + chain.increment) - binadeStart;
    bool const halfway = std::fabs(chain.increment - step) == binadeStart * 0x1p-24f;
    chain.limit = halfway ? 0.0f : 2.0f * binadeStart;
    chain.eightSteps = 8.0f * step;
    chain.laneSteps = _mm256_mul_ps(_mm256_setr_ps(0.0f, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f), _mm256_set1_ps(step));
}

template <bool kStepped>
ZR_AVX2 inline PhaseChain startChain(float phase, float increment, float cycle) {
    PhaseChain chain{phase, increment, cycle, 0.0f, 0.0f, _mm256_setzero_ps()};
    if constexpr (kStepped)
        followBinade(chain);
    return chain;
}

// The phase at eight consecutive sub-steps, advancing it past them. When the phase after them,
// p + 8 steps, stays below the binade's end (a float compare of the rounded sum, which is
// below it exactly when the exact sum is), every sum on the way is exact and stays in the
// binade, and so does the phase plus the increment at each of the eight sub-steps (the step
// lies less than u/2 from the increment): the phases are p + 0, 1, ..., 7 steps, and only the
// one addition of eight steps waits for the previous group. The test fails a few times per
// period, where the phase crosses into a higher binade or wraps; those eight take the
// additions one by one, and the binade that holds the phase after them gives the next step.
// Without kStepped (large increments, see kSteppedIncrements) every group adds one by one.
template <bool kStepped>
ZR_AVX2 inline __m256 nextPhases(PhaseChain& chain) {
    if constexpr (!kStepped)
        return addOneByOne(chain.phase, chain.increment, chain.cycle);
    float const advanced = chain.phase + chain.eightSteps;
    if (advanced < chain.limit) [[likely]] {
        __m256 const phases = _mm256_add_ps(_mm256_set1_ps(chain.phase), chain.laneSteps);
        chain.phase = advanced;
        return phases;
    }
    __m256 const phases = addOneByOne(chain.phase, chain.increment, chain.cycle);
    followBinade(chain);
    return phases;
}

// zr::clampf() lane by lane: min returns its second operand when the comparison fails, as the
// inner select does for a NaN; the outer select tests the value itself, as clampf() does.
ZR_AVX2 inline __m256 clamp8(__m256 value, float low, float high) {
    __m256 const lowVector = _mm256_set1_ps(low);
    __m256 const belowHigh = _mm256_min_ps(value, _mm256_set1_ps(high));
    return _mm256_blendv_ps(belowHigh, lowVector, _mm256_cmp_ps(value, lowVector, _CMP_LT_OQ));
}

// modulationAt() x cycle for eight samples.
ZR_AVX2 inline __m256 offsets8(VectorRun const& run, RunInputs const& inputs, int32_t first) {
    __m256 const phaseMod = clamp8(_mm256_loadu_ps(inputs.phaseMod + first), -1.0f, 1.0f);
    __m256 const depth = clamp8(_mm256_loadu_ps(inputs.depth + first), 0.0f, 1.0f);
    return _mm256_mul_ps(_mm256_mul_ps(phaseMod, depth), run.cycle);
}

// readPosition() lane by lane. An offset of at most a cycle either way (a clipped modulation)
// and a phase in 0..cycle (never -0) put offset + phase in -cycle..2 cycles, where
// wrapToCycle() adds or subtracts a cycle; each result lies in 0..cycle, so readPosition()
// never falls back to the phase here. Only the two ends differ from the remainder: -cycle
// gives +0 instead of -0, and two cycles give the cycle's end instead of +0. Each pair reads
// entry 0 with the following one at a fraction of 0, alike but for the sign of a zero result,
// which the sum of sub-steps loses: it starts at +0, and adding a zero of either sign to it,
// or to any sum from it, changes nothing.
ZR_AVX2 inline __m256 readPositions8(VectorRun const& run, __m256 offset, __m256 phase) {
    __m256 const position = _mm256_add_ps(offset, phase);
    __m256 const above = _mm256_cmp_ps(position, run.cycle, _CMP_GE_OQ);
    __m256 const below = _mm256_cmp_ps(position, _mm256_setzero_ps(), _CMP_LT_OQ);
    __m256 const wrapped = _mm256_blendv_ps(position, _mm256_sub_ps(position, run.cycle), above);
    return _mm256_blendv_ps(wrapped, _mm256_add_ps(position, run.cycle), below);
}

// The offsets of eight samples spread over group `group` of their kSubSteps x 8 sub-steps:
// lane l belongs to sample (8 group + l) / kSubSteps.
template <int32_t kSubSteps>
ZR_AVX2 inline __m256 offsetsOfGroup(__m256 offsets, int32_t group) {
    if constexpr (kSubSteps == 1)
        return offsets;
    int32_t const first = kLanes * group;
    return _mm256_permutevar8x32_ps(offsets, _mm256_setr_epi32(first / kSubSteps, (first + 1) / kSubSteps,
                                                               (first + 2) / kSubSteps, (first + 3) / kSubSteps,
                                                               (first + 4) / kSubSteps, (first + 5) / kSubSteps,
                                                               (first + 6) / kSubSteps, (first + 7) / kSubSteps));
}

// The sums 0 + read 0 + read 1 + ... of eight samples, in sub-step order, from kSubSteps
// groups of reads in phase order (each group holds 8 / kSubSteps whole samples).
template <int32_t kSubSteps>
ZR_AVX2 inline __m256 sumsInOrder(__m256 const* reads) {
    __m256 const zero = _mm256_setzero_ps();
    if constexpr (kSubSteps == 1) {
        return _mm256_add_ps(zero, reads[0]);
    } else if constexpr (kSubSteps == 2) {
        // Even lanes hold sub-step 0, odd lanes sub-step 1; the sums come out as samples
        // 0 1 4 5 | 2 3 6 7, which one 64-bit permutation puts in order.
        __m256 const first = _mm256_shuffle_ps(reads[0], reads[1], _MM_SHUFFLE(2, 0, 2, 0));
        __m256 const second = _mm256_shuffle_ps(reads[0], reads[1], _MM_SHUFFLE(3, 1, 3, 1));
        __m256 const sums = _mm256_add_ps(_mm256_add_ps(zero, first), second);
        return _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(sums), _MM_SHUFFLE(3, 1, 2, 0)));
    } else {
        static_assert(kSubSteps == 4);
        // Each half of a group is one sample's four sub-steps: a 4 x 4 transposition per half
        // gives sub-step k of samples 0 2 4 6 | 1 3 5 7 in vector k.
        __m256 const low01 = _mm256_unpacklo_ps(reads[0], reads[1]);
        __m256 const high01 = _mm256_unpackhi_ps(reads[0], reads[1]);
        __m256 const low23 = _mm256_unpacklo_ps(reads[2], reads[3]);
        __m256 const high23 = _mm256_unpackhi_ps(reads[2], reads[3]);
        __m256 sums = _mm256_add_ps(zero, _mm256_shuffle_ps(low01, low23, _MM_SHUFFLE(1, 0, 1, 0)));
        sums = _mm256_add_ps(sums, _mm256_shuffle_ps(low01, low23, _MM_SHUFFLE(3, 2, 3, 2)));
        sums = _mm256_add_ps(sums, _mm256_shuffle_ps(high01, high23, _MM_SHUFFLE(1, 0, 1, 0)));
        sums = _mm256_add_ps(sums, _mm256_shuffle_ps(high01, high23, _MM_SHUFFLE(3, 2, 3, 2)));
        return _mm256_permutevar8x32_ps(sums, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
    }
}

// Eight output samples of kSubSteps (1, 2 or 4) sub-steps each: every group of eight phases
// is read as soon as the chain produced it.
template <int32_t kSubSteps, bool kOffset, bool kStepped>
ZR_AVX2 inline __m256 eightSamples(VectorRun const& run, PhaseChain& chain, __m256 offsets) {
    __m256 reads[kSubSteps];
#pragma GCC unroll 4
    for (int32_t group = 0; group < kSubSteps; ++group) {
        __m256 position = nextPhases<kStepped>(chain);
        if constexpr (kOffset)
            position = readPositions8(run, offsetsOfGroup<kSubSteps>(offsets, group), position);
        reads[group] = readAt8(run, position);
    }
    // The average of one sub-step is 1, and x 1 leaves every sum as it is.
    if constexpr (kSubSteps == 1)
        return sumsInOrder<1>(reads);
    return _mm256_mul_ps(sumsInOrder<kSubSteps>(reads), run.average);
}

// Eight vectors transposed: lane j of vector s goes to lane s of vector j.
ZR_AVX2 inline void transpose8(__m256* rows) {
    __m256 const low01 = _mm256_unpacklo_ps(rows[0], rows[1]);
    __m256 const high01 = _mm256_unpackhi_ps(rows[0], rows[1]);
    __m256 const low23 = _mm256_unpacklo_ps(rows[2], rows[3]);
    __m256 const high23 = _mm256_unpackhi_ps(rows[2], rows[3]);
    __m256 const low45 = _mm256_unpacklo_ps(rows[4], rows[5]);
    __m256 const high45 = _mm256_unpackhi_ps(rows[4], rows[5]);
    __m256 const low67 = _mm256_unpacklo_ps(rows[6], rows[7]);
    __m256 const high67 = _mm256_unpackhi_ps(rows[6], rows[7]);
    // Lanes 0 | 4, 1 | 5, 2 | 6 and 3 | 7 of rows 0 to 3, then of rows 4 to 7.
    __m256 const lanes04 = _mm256_shuffle_ps(low01, low23, _MM_SHUFFLE(1, 0, 1, 0));
    __m256 const lanes15 = _mm256_shuffle_ps(low01, low23, _MM_SHUFFLE(3, 2, 3, 2));
    __m256 const lanes26 = _mm256_shuffle_ps(high01, high23, _MM_SHUFFLE(1, 0, 1, 0));
    __m256 const lanes37 = _mm256_shuffle_ps(high01, high23, _MM_SHUFFLE(3, 2, 3, 2));
    __m256 const upperLanes04 = _mm256_shuffle_ps(low45, low67, _MM_SHUFFLE(1, 0, 1, 0));
    __m256 const upperLanes15 = _mm256_shuffle_ps(low45, low67, _MM_SHUFFLE(3, 2, 3, 2));
    __m256 const upperLanes26 = _mm256_shuffle_ps(high45, high67, _MM_SHUFFLE(1, 0, 1, 0));
    __m256 const upperLanes37 = _mm256_shuffle_ps(high45, high67, _MM_SHUFFLE(3, 2, 3, 2));
    rows[0] = _mm256_permute2f128_ps(lanes04, upperLanes04, 0x20);
    rows[1] = _mm256_permute2f128_ps(lanes15, upperLanes15, 0x20);
    rows[2] = _mm256_permute2f128_ps(lanes26, upperLanes26, 0x20);
    rows[3] = _mm256_permute2f128_ps(lanes37, upperLanes37, 0x20);
    rows[4] = _mm256_permute2f128_ps(lanes04, upperLanes04, 0x31);
    rows[5] = _mm256_permute2f128_ps(lanes15, upperLanes15, 0x31);
    rows[6] = _mm256_permute2f128_ps(lanes26, upperLanes26, 0x31);
    rows[7] = _mm256_permute2f128_ps(lanes37, upperLanes37, 0x31);
}

// At most 256 sub-steps per sample: 32 groups of eight.
constexpr int32_t kMostGroups = 32;

// Eight output samples of many sub-steps each (`groups` groups of eight per sample): every
// group of eight phases is read as soon as the chain produced it and kept; then each group
// place of the eight samples is transposed, so that one vector addition adds a sub-step to
// all eight sums, in sub-step order.
template <bool kOffset, bool kStepped>
ZR_AVX2 inline __m256 eightSamplesOfMany(VectorRun const& run, int32_t groups, PhaseChain& chain, __m256 offsets) {
    __m256 reads[kMostGroups * kLanes]; // group place by group place, each holding eight samples
    // The chain's values in locals: no store to `reads` can be taken to change them.
    PhaseChain local = chain;
    for (int32_t sample = 0; sample < kLanes; ++sample) {
        __m256 const offset = _mm256_permutevar8x32_ps(offsets, _mm256_set1_epi32(sample));
        for (int32_t group = 0; group < groups; ++group) {
            __m256 position = nextPhases<kStepped>(local);
            if constexpr (kOffset)
                position = readPositions8(run, offset, position);
            reads[group * kLanes + sample] = readAt8(run, position);
        }
    }
    chain = local;
    __m256 sums = _mm256_setzero_ps();
    for (int32_t group = 0; group < groups; ++group) {
        __m256* const place = reads + group * kLanes;
        transpose8(place);
        for (int32_t subStep = 0; subStep < kLanes; ++subStep)
            sums = _mm256_add_ps(sums, place[subStep]);
    }
    return _mm256_mul_ps(sums, run.average);
}

// Whether the eight Pitch samples from `first` on all equal the run's pitch. One compare and a
// branch per eight samples, beside the chain; a mismatch ends the run of eights.
ZR_AVX2 inline bool pitchStays8(VectorRun const& run, RunInputs const& inputs, int32_t first) {
    __m256 const equal = _mm256_cmp_ps(_mm256_loadu_ps(inputs.pitch + first), _mm256_set1_ps(run.pitch), _CMP_EQ_OQ);
    return _mm256_movemask_ps(equal) == 0xFF;
}

// The samples in eights while the pitch stays; returns how many it played, and the last of
// them in `last` when there were any. kSubSteps 0 stands for many sub-steps, `groups` groups
// of eight per sample.
template <int32_t kSubSteps, bool kOffset, bool kStepped>
ZR_AVX2 int32_t playInEights(VectorRun const& run, int32_t groups, float& phase, RunInputs const& inputs, float* output,
                             int32_t count, float& last) {
    // A local: no store in the loop can be taken to change it, so it stays in registers.
    PhaseChain chain = startChain<kStepped>(phase, run.increment, run.scalarCycle);
    __m256 samples = _mm256_setzero_ps();
    int32_t i = 0;
    for (; i + kLanes <= count && pitchStays8(run, inputs, i); i += kLanes) {
        __m256 const offsets = kOffset ? offsets8(run, inputs, i) : _mm256_setzero_ps();
        if constexpr (kSubSteps == 0)
            samples = eightSamplesOfMany<kOffset, kStepped>(run, groups, chain, offsets);
        else
            samples = eightSamples<kSubSteps, kOffset, kStepped>(run, chain, offsets);
        _mm256_storeu_ps(output + i, samples);
    }
    phase = chain.phase;
    last = _mm_cvtss_f32(_mm_permute_ps(_mm256_extractf128_ps(samples, 1), _MM_SHUFFLE(3, 3, 3, 3)));
    return i;
}

// Samples of many sub-steps (a multiple of eight) one by one while the pitch stays (at least
// the first); returns how many it played, and the last of them in `last`. Each group of
// eight phases is read as soon as the chain produced it, and its reads join the sample's sum
// one by one in sub-step order (a second chain, independent of the phase's).
template <bool kOffset, bool kStepped>
ZR_AVX2 int32_t playManySubSteps(VectorRun const& run, int32_t subSteps, float& phase, RunInputs const& inputs,
                                 float* output, int32_t count, float& last) {
    // A local: no store in the loop can be taken to change it, so it stays in registers.
    PhaseChain chain = startChain<kStepped>(phase, run.increment, run.scalarCycle);
    int32_t i = 0;
    for (; i < count && (i == 0 || inputs.pitch[i] == run.pitch); ++i) {
        __m256 offset = _mm256_setzero_ps();
        if constexpr (kOffset)
            offset = _mm256_set1_ps(zr::wave::modulationAt(inputs.phaseMod[i], inputs.depth[i]) * run.scalarCycle);
        float total = 0.0f;
        for (int32_t group = 0; group < subSteps / kLanes; ++group) {
            __m256 position = nextPhases<kStepped>(chain);
            if constexpr (kOffset)
                position = readPositions8(run, offset, position);
            alignas(32) float reads[kLanes];
            _mm256_store_ps(reads, readAt8(run, position));
            for (float read : reads)
                total += read;
        }
        last = total * run.scalarAverage;
        output[i] = last;
    }
    phase = chain.phase;
    return i;
}

// Eight samples at a time, then the samples after the last full eight at the run's pitch
// (unless the pitch changes right there) one by one: in groups of eight sub-steps where there
// are enough, by the per-sample formula otherwise.
template <bool kOffset, bool kStepped>
ZR_AVX2 float playWith(PhaseRun const& run, float phase, RunInputs const& inputs, float* output, int32_t count,
                       RunEnd& end) {
    float const cycle = static_cast<float>(run.mask + 1);
    VectorRun const vectorRun{run.table, _mm256_set1_epi32(run.mask), _mm256_set1_ps(cycle), _mm256_set1_ps(run.average),
                              cycle,     run.average,                 run.pitch,             run.increment};
    int32_t played = 0;
    switch (run.subSteps) {
    case 1: played = playInEights<1, kOffset, kStepped>(vectorRun, 0, phase, inputs, output, count, end.last); break;
    case 2: played = playInEights<2, kOffset, kStepped>(vectorRun, 0, phase, inputs, output, count, end.last); break;
    case 4: played = playInEights<4, kOffset, kStepped>(vectorRun, 0, phase, inputs, output, count, end.last); break;
    default: played = playInEights<0, kOffset, kStepped>(vectorRun, run.subSteps / kLanes, phase, inputs, output, count, end.last);
    }
    end.played = played;
    if (played == count || (played > 0 && !(inputs.pitch[played] == run.pitch)))
        return phase;
    RunInputs rest{inputs.pitch + played};
    if constexpr (kOffset)
        rest = {inputs.pitch + played, inputs.phaseMod + played, inputs.depth + played};
    if (run.subSteps >= kLanes) {
        end.played += playManySubSteps<kOffset, kStepped>(vectorRun, run.subSteps, phase, rest, output + played, count - played, end.last);
        return phase;
    }
    phase = zr::wave::playRunPortable(run, phase, rest, output + played, count - played, end);
    end.played += played;
    return phase;
}

} // namespace

namespace zr::wave {

// Increments below this fraction of a cycle play in binade steps (see nextPhases()): the cycle's
// upper half then holds at least 32 sub-steps, so most groups of eight lie inside a binade.
// Above it, most groups cross a binade or wrap, and testing for the steps costs more than it
// saves.
constexpr float kSteppedIncrements = 1.0f / 64.0f;

// The vector form needs an increment below the cycle (see nextPhases()) and whole groups of
// eight sub-steps from eight on; anything else plays sample by sample.
float playRunAvx2(PhaseRun const& run, float phase, RunInputs const& inputs, float* output, int32_t count, RunEnd& end) {
    bool const subStepsFit = run.subSteps == 1 || run.subSteps == 2 || run.subSteps == 4 ||
                             (run.subSteps >= kLanes && run.subSteps % kLanes == 0);
    if (!(run.increment < static_cast<float>(run.mask + 1)) || !subStepsFit)
        return playRunPortable(run, phase, inputs, output, count, end);
    bool const stepped = run.increment < static_cast<float>(run.mask + 1) * kSteppedIncrements;
    if (inputs.phaseMod != nullptr)
        return stepped ? playWith<true, true>(run, phase, inputs, output, count, end)
                       : playWith<true, false>(run, phase, inputs, output, count, end);
    return stepped ? playWith<false, true>(run, phase, inputs, output, count, end)
                   : playWith<false, false>(run, phase, inputs, output, count, end);
}

} // namespace zr::wave

#endif

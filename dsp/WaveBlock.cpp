#include "dsp/WaveBlock.h"

#include <cmath>

#include "dsp/WaveRunAvx2.h"

#ifdef ZR_WAVE_RUN_AVX2
#include <immintrin.h>
#endif

namespace {

using zr::wave::PhaseRun;
using zr::wave::RunEnd;
using zr::wave::RunInputs;

// Sample by sample, the formula as it stands.
template <bool kOffset>
float playEach(PhaseRun const& run, float phase, RunInputs const& inputs, float* output, int32_t count, RunEnd& end) {
    float const cycle = static_cast<float>(run.mask + 1);
    int32_t i = 0;
    float last = 0.0f;
    do {
        float const offset = kOffset ? zr::wave::modulationAt(inputs.phaseMod[i], inputs.depth[i]) * cycle : 0.0f;
        last = zr::wave::sumOfSubSteps<kOffset>(run.table, run.mask, run.subSteps, run.increment, offset, phase) * run.average;
        output[i] = last;
        ++i;
    } while (i < count && inputs.pitch[i] == run.pitch);
    end.played = i;
    end.last = last;
    return phase;
}

// A depth at or below 0 clips to 0 and silences its sample (a NaN clips to 1): one compare per
// sample, in a loop that vectorises.
bool noDepthAboveZero(float const* depth, int32_t count) {
    int32_t depthAboveZero = 0;
    for (int32_t i = 0; i < count; ++i)
        depthAboveZero |= !(depth[i] <= 0.0f);
    return depthAboveZero == 0;
}

// A block with any depth mostly has a non-zero product at its first sample.
bool productsSilent(float const* phaseMod, float const* depth, int32_t count) {
    for (int32_t i = 0; i < count; ++i)
        if (zr::wave::modulationAt(phaseMod[i], depth[i]) != 0.0f)
            return false;
    return true;
}

#ifdef ZR_WAVE_RUN_AVX2
// The first test of each silence check over both inputs in one pass, eight samples at a
// time; the comparisons count a NaN as sound, as the scalar tests do. The samples after the
// last full eight take the scalar tests.
__attribute__((target("avx2"))) zr::wave::OffsetTerms offsetTermsAvx2(float const* feedback, float const* phaseMod,
                                                                      float const* depth, int32_t count) {
    __m256 const zero = _mm256_setzero_ps();
    __m256 feedbackSounds = zero;
    __m256 depthAboveZero = zero;
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        feedbackSounds = _mm256_or_ps(feedbackSounds, _mm256_cmp_ps(_mm256_loadu_ps(feedback + i), zero, _CMP_NEQ_UQ));
        depthAboveZero = _mm256_or_ps(depthAboveZero, _mm256_cmp_ps(_mm256_loadu_ps(depth + i), zero, _CMP_NLE_UQ));
    }
    if (!_mm256_testz_ps(feedbackSounds, feedbackSounds) || !zr::wave::allZero(feedback + i, count - i))
        return zr::wave::OffsetTerms::modulationAndFeedback;
    bool const depthSilent = _mm256_testz_ps(depthAboveZero, depthAboveZero) && noDepthAboveZero(depth + i, count - i);
    if (depthSilent || productsSilent(phaseMod, depth, count))
        return zr::wave::OffsetTerms::none;
    return zr::wave::OffsetTerms::modulation;
}
#endif

} // namespace

namespace zr::wave {

float wrapFar(float position, float cycle) {
    position = std::fmod(position, cycle);
    return position < 0.0f ? position + cycle : position;
}

float wrapAdvanced(float advanced, float cycle) {
    if (advanced >= cycle)
        advanced = advanced < 2.0f * cycle ? advanced - cycle : std::fmod(advanced, cycle);
    return std::isfinite(advanced) ? advanced : 0.0f;
}

float playRun(PhaseRun const& run, float phase, RunInputs const& inputs, float* output, int32_t count, RunEnd& end) {
#ifdef ZR_WAVE_RUN_AVX2
    if (__builtin_cpu_supports("avx2"))
        return playRunAvx2(run, phase, inputs, output, count, end);
#endif
    return playRunPortable(run, phase, inputs, output, count, end);
}

float playRunPortable(PhaseRun const& run, float phase, RunInputs const& inputs, float* output, int32_t count,
                      RunEnd& end) {
    if (inputs.phaseMod != nullptr)
        return playEach<true>(run, phase, inputs, output, count, end);
    return playEach<false>(run, phase, inputs, output, count, end);
}

OffsetTerms offsetTermsOf(float const* feedback, float const* phaseMod, float const* depth, int32_t count) {
#ifdef ZR_WAVE_RUN_AVX2
    if (__builtin_cpu_supports("avx2"))
        return offsetTermsAvx2(feedback, phaseMod, depth, count);
#endif
    return offsetTermsOfPortable(feedback, phaseMod, depth, count);
}

OffsetTerms offsetTermsOfPortable(float const* feedback, float const* phaseMod, float const* depth, int32_t count) {
    if (!allZero(feedback, count))
        return OffsetTerms::modulationAndFeedback;
    return modulationSilent(phaseMod, depth, count) ? OffsetTerms::none : OffsetTerms::modulation;
}

bool allZero(float const* samples, int32_t count) {
    int32_t nonZero = 0;
    for (int32_t i = 0; i < count; ++i)
        nonZero |= samples[i] != 0.0f;
    return nonZero == 0;
}

bool modulationSilent(float const* phaseMod, float const* depth, int32_t count) {
    return noDepthAboveZero(depth, count) || productsSilent(phaseMod, depth, count);
}

} // namespace zr::wave

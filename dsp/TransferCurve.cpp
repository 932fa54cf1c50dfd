#include "dsp/TransferCurve.h"

#include <algorithm>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && __has_include(<immintrin.h>)
#include <immintrin.h>

#include "dsp/EntryPairsAvx2.h"
#endif

namespace {

using Lookup = zr::TransferCurve::Lookup;

// A stretch of samples at a time: first every table position into a local buffer (a loop
// of selects and arithmetic only, which vectorises and has no branch to mispredict), then the
// table reads. The input of a stretch is read before its output is written.
[[gnu::always_inline]] inline void applyInStretches(Lookup const& curve, float const* input, float* output,
                                                     int32_t count) {
    constexpr int32_t kStretch = 64;
    float const* const table = curve.table;
    float const inputOffset = curve.inputOffset;
    float const inputScale = curve.inputScale;
    float positions[kStretch];
    for (int32_t done = 0; done < count; done += kStretch) {
        int32_t const length = std::min(count - done, kStretch);
        for (int32_t i = 0; i < length; ++i)
            positions[i] = Lookup::positionOf(inputOffset, inputScale, input[done + i]);
        for (int32_t i = 0; i < length; ++i)
            output[done + i] = Lookup::readAt(table, positions[i]);
    }
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && __has_include(<immintrin.h>)
#define ZR_TRANSFER_CURVE_AVX2 1
// Eight samples per step, each entry read with the one after it (see EntryPairsAvx2.h), for
// CPUs with AVX2. Each instruction performs the scalar operation lane by lane: min and max
// return their second operand when the comparison fails, exactly as the selects in
// positionOf() do (so a NaN reads the last entry); the truncation is the scalar one; multiply
// and add stay separate (no FMA is enabled here). The samples after the last full step take
// the scalar formula.
__attribute__((target("avx2"))) void applyAvx2(Lookup const& curve, float const* input, float* output,
                                               int32_t count) {
    float const* const table = curve.table;
    __m256 const inputOffset = _mm256_set1_ps(curve.inputOffset);
    __m256 const inputScale = _mm256_set1_ps(curve.inputScale);
    __m256 const one = _mm256_set1_ps(1.0f);
    __m256 const zero = _mm256_setzero_ps();
    __m256 const lastEntry = _mm256_set1_ps(static_cast<float>(zr::TransferCurve::kTableSize - 1));
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        __m256 const t = _mm256_mul_ps(_mm256_sub_ps(_mm256_loadu_ps(input + i), inputOffset), inputScale);
        __m256 const upper = _mm256_min_ps(t, one);        // t < 1 ? t : 1
        __m256 const clamped = _mm256_max_ps(upper, zero); // upper > 0 ? upper : 0
        __m256 const position = _mm256_mul_ps(lastEntry, clamped);
        __m256i const index = _mm256_cvttps_epi32(position);
        __m256 const fraction = _mm256_sub_ps(position, _mm256_cvtepi32_ps(index));
        zr::EntryPairs const pairs = zr::entryPairsAt8(table, index);
        _mm256_storeu_ps(output + i, _mm256_add_ps(_mm256_mul_ps(pairs.entries, _mm256_sub_ps(one, fraction)),
                                                   _mm256_mul_ps(pairs.successors, fraction)));
    }
    for (; i < count; ++i)
        output[i] = Lookup::readAt(table, Lookup::positionOf(curve.inputOffset, curve.inputScale, input[i]));
}
#endif

} // namespace

namespace zr {

TransferCurve::TransferCurve() : interpolator_(Shape(L"(-5,-5)(5,5)"), kTableSize) {}

bool TransferCurve::setShape(int32_t mode, void const* image, int32_t size) {
    interpolator_.shape.setInterpolation(mode);
    interpolator_.shape.readBlob(image, size);
    if (!interpolator_.render())
        return false;
    // An empty rendering reads as 0 throughout.
    auto const values = interpolator_.rendered();
    for (int32_t i = 0; i < kTableSize; ++i)
        table_[i] = values.value(i) * 0.5f;
    return true;
}

void TransferCurve::setRange(float lowVolts, float highVolts) {
    float const low = lowVolts * 0.1f;
    float const high = highVolts * 0.1f;
    inputOffset_ = low == high ? 0.0f : low;
    inputScale_ = low == high ? 0.0f : 1.0f / (high - low);
}

void TransferCurve::Lookup::apply(float const* input, float* output, int32_t count) const {
#ifdef ZR_TRANSFER_CURVE_AVX2
    if (__builtin_cpu_supports("avx2")) {
        applyAvx2(*this, input, output, count);
        return;
    }
#endif
    applyPortable(input, output, count);
}

void TransferCurve::Lookup::applyPortable(float const* input, float* output, int32_t count) const {
    applyInStretches(*this, input, output, count);
}

} // namespace zr

#include "dsp/WaveBlock.h"

#include "shapes/Clamp.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && __has_include(<immintrin.h>)
#include <immintrin.h>
#define ZR_WAVE_TABLE_AVX2 1
#endif

namespace {

[[gnu::always_inline]] inline void readEach(float const* table, int32_t mask, float const* positions, float* output,
                                            int32_t count) {
    for (int32_t i = 0; i < count; ++i)
        output[i] = 0.0f + zr::wave::readAt(table, mask, positions[i]);
}

#ifdef ZR_WAVE_TABLE_AVX2
// Eight positions per step, the two table reads as hardware gathers, for CPUs with AVX2. Each
// instruction performs the scalar operation lane by lane: the truncation is the scalar one,
// multiply and add stay separate (no FMA is enabled here). The positions after the last full
// step take the scalar formula.
__attribute__((target("avx2"))) void readAvx2(float const* table, int32_t mask, float const* positions, float* output,
                                              int32_t count) {
    __m256i const indexMask = _mm256_set1_epi32(mask);
    __m256i const one = _mm256_set1_epi32(1);
    __m256 const zero = _mm256_setzero_ps();
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        __m256 const position = _mm256_loadu_ps(positions + i);
        __m256i const index = _mm256_cvttps_epi32(position);
        __m256 const fraction = _mm256_sub_ps(position, _mm256_cvtepi32_ps(index));
        __m256i const below = _mm256_and_si256(index, indexMask);
        __m256i const above = _mm256_and_si256(_mm256_add_epi32(index, one), indexMask);
        __m256 const a = _mm256_i32gather_ps(table, below, 4);
        __m256 const b = _mm256_i32gather_ps(table, above, 4);
        __m256 const value = _mm256_add_ps(a, _mm256_mul_ps(fraction, _mm256_sub_ps(b, a)));
        _mm256_storeu_ps(output + i, _mm256_add_ps(zero, value));
    }
    readEach(table, mask, positions + i, output + i, count - i);
}
#endif

} // namespace

namespace zr::wave {

void readBlock(float const* table, int32_t mask, float const* positions, float* output, int32_t count) {
#ifdef ZR_WAVE_TABLE_AVX2
    if (__builtin_cpu_supports("avx2")) {
        readAvx2(table, mask, positions, output, count);
        return;
    }
#endif
    readBlockPortable(table, mask, positions, output, count);
}

// Eight samples at a time by a comparison loop that vectorises, then one at a time.
int32_t leadingEqual(float const* samples, int32_t count, float value) {
    constexpr int32_t kStep = 8;
    int32_t i = 0;
    for (; i + kStep <= count; i += kStep) {
        int32_t equal = 1;
        for (int32_t k = 0; k < kStep; ++k)
            equal &= samples[i + k] == value;
        if (equal == 0)
            break;
    }
    while (i < count && samples[i] == value)
        ++i;
    return i;
}

bool allZero(float const* samples, int32_t count) {
    int32_t nonZero = 0;
    for (int32_t i = 0; i < count; ++i)
        nonZero |= samples[i] != 0.0f;
    return nonZero == 0;
}

// A depth at or below 0 clips to 0 and silences its sample (a NaN clips to 1), which one
// compare per sample tells for the whole block. Otherwise the products decide; a block with
// any depth mostly has a non-zero product at its first sample.
bool modulationSilent(float const* phaseMod, float const* depth, int32_t count) {
    int32_t depthAboveZero = 0;
    for (int32_t i = 0; i < count; ++i)
        depthAboveZero |= !(depth[i] <= 0.0f);
    if (depthAboveZero == 0)
        return true;
    for (int32_t i = 0; i < count; ++i)
        if (zr::clampf(phaseMod[i], -1.0f, 1.0f) * zr::clampf(depth[i], 0.0f, 1.0f) != 0.0f)
            return false;
    return true;
}

void readBlockPortable(float const* table, int32_t mask, float const* positions, float* output, int32_t count) {
    readEach(table, mask, positions, output, count);
}

} // namespace zr::wave

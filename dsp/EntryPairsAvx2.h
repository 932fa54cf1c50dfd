#pragma once
// Table reads of the linear-interpolation engines for CPUs with AVX2: the entries at eight
// indices and the entries after them. Only functions built for AVX2 include and call this.
//
// Each lane fetches its entry and the next one with one 64-bit load. The eight indices leave
// the vector as four 64-bit halves in integer registers, and eight scalar loads put the pairs
// into two vectors: the processor runs those loads as soon as their indices are known and beside
// everything else. Hardware gathers of the same entries hold up the work around them longer:
// through the module at block 64, the waveshaper's two gathers of eight entries cost about twice
// as much per sample (1.3 against 0.67 ns), and the oscillator's two gathers of four pairs 4 to
// 15 % more.

#include <immintrin.h>

#include <cstdint>

namespace zr {

struct EntryPairs {
    __m256 entries;    // table[index], lane by lane
    __m256 successors; // table[index + 1]
};

// [caller's thread] Reads table[index] and table[index + 1] for each lane; every index is at
// least 0 and the entry after it lies inside the table (a guard entry at the end).
__attribute__((target("avx2"))) inline EntryPairs entryPairsAt8(float const* table, __m256i index) {
    __m128i const lanes0to3 = _mm256_castsi256_si128(index);
    __m128i const lanes4to7 = _mm256_extracti128_si256(index, 1);
    // Lanes 0 1, 2 3, 4 5 and 6 7, the lower lane in the lower half.
    auto const lanes01 = static_cast<uint64_t>(_mm_cvtsi128_si64(lanes0to3));
    auto const lanes23 = static_cast<uint64_t>(_mm_extract_epi64(lanes0to3, 1));
    auto const lanes45 = static_cast<uint64_t>(_mm_cvtsi128_si64(lanes4to7));
    auto const lanes67 = static_cast<uint64_t>(_mm_extract_epi64(lanes4to7, 1));
    // The pairs at the two indices of a 64-bit half: entry and successor of the lower lane, then
    // of the upper (loads through the 64-bit vector type, which may alias the floats).
    auto const pairAt = [table](uint64_t lane) {
        return reinterpret_cast<__m64 const*>(table + static_cast<uint32_t>(lane));
    };
    __m128 const pairs01 = _mm_loadh_pi(_mm_loadl_pi(_mm_setzero_ps(), pairAt(lanes01)), pairAt(lanes01 >> 32));
    __m128 const pairs23 = _mm_loadh_pi(_mm_loadl_pi(_mm_setzero_ps(), pairAt(lanes23)), pairAt(lanes23 >> 32));
    __m128 const pairs45 = _mm_loadh_pi(_mm_loadl_pi(_mm_setzero_ps(), pairAt(lanes45)), pairAt(lanes45 >> 32));
    __m128 const pairs67 = _mm_loadh_pi(_mm_loadl_pi(_mm_setzero_ps(), pairAt(lanes67)), pairAt(lanes67 >> 32));
    // Lanes 0 1 | 4 5 and 2 3 | 6 7, then the entries (even places) and successors (odd places).
    __m256 const first = _mm256_set_m128(pairs45, pairs01);
    __m256 const second = _mm256_set_m128(pairs67, pairs23);
    return {_mm256_shuffle_ps(first, second, _MM_SHUFFLE(2, 0, 2, 0)),
            _mm256_shuffle_ps(first, second, _MM_SHUFFLE(3, 1, 3, 1))};
}

} // namespace zr

#pragma once
// playRun()'s vector form, for CPUs with AVX2: the caller checks that the CPU has it.

#include <cstdint>

#include "dsp/WaveBlock.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && __has_include(<immintrin.h>)
#define ZR_WAVE_RUN_AVX2 1

namespace zr::wave {

// [caller's thread] The same results as playRunPortable(), bit for bit. With eight or more
// sub-steps per sample it keeps the reads of eight samples on the stack, up to 8 KiB.
float playRunAvx2(PhaseRun const& run, float phase, RunInputs const& inputs, float* output, int32_t count, RunEnd& end);

} // namespace zr::wave

#endif

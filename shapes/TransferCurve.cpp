#include "shapes/TransferCurve.h"

#include <algorithm>

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

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define ZR_TRANSFER_CURVE_AVX2 1
// The same source compiled for CPUs with AVX2: the position loop runs 8 lanes wide. No FMA
// is enabled here and contraction is off for the whole build, so every lane performs exactly
// the scalar operations.
__attribute__((target("avx2"))) void applyAvx2(Lookup const& curve, float const* input, float* output,
                                               int32_t count) {
    applyInStretches(curve, input, output, count);
}
#endif

} // namespace

namespace zr {

TransferCurve::TransferCurve() : interpolator_(Shape(L"(-5,-5)(5,5)"), kTableSize) {}

bool TransferCurve::update(int32_t mode, void const* image, int32_t size) {
    interpolator_.shape.setInterpolation(mode);
    interpolator_.shape.readBlob(image, size);
    if (!interpolator_.render())
        return false;
    // An empty rendering reads as 0 throughout.
    for (int32_t i = 0; i < kTableSize; ++i)
        table_[i] = interpolator_.readNext() * 0.5f;
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

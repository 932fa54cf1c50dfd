#include "shapes/TransferCurve.h"

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

} // namespace zr

#pragma once

#include <cmath>
#include <limits>

namespace zr {

// Value first, then bounds, tested so that a NaN value fails both comparisons and comes out as hi.
inline float clampf(float v, float lo, float hi) { return v < lo ? lo : (v < hi ? v : hi); }

// Infinities become the largest finite float of their sign; finite values and NaN pass as
// they are. For values sent to other modules, where a finite number may overflow on the way.
inline float clampInfinity(float v) { return std::isinf(v) ? std::copysign(std::numeric_limits<float>::max(), v) : v; }

} // namespace zr

#pragma once

namespace zr {

// Value first, then bounds, tested so that a NaN value fails both comparisons and comes out as hi.
inline float clampf(float v, float lo, float hi) { return v < lo ? lo : (v < hi ? v : hi); }

} // namespace zr

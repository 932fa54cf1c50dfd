#pragma once
// Node coordinates and volts. A shape spans -5..+5 V on both axes: x 0..1 and y -1..+1 in the
// record. Each conversion is one single-precision expression in a fixed order, because stored
// texts, files and tables depend on its exact results; an expression that looks the same
// (v * 0.1 + 0.5 for x) rounds differently and is not one of these.

namespace zr::shapes {

// Where a value read in volts (-5..5) lands on the range low..high.
inline float mapFromVolts(float volts, float low, float high) { return (volts + 5.0f) * ((high - low) * 0.1f) + low; }

} // namespace zr::shapes

namespace zr {

// (volts + 5) * 0.1, bit for bit: the factor (1 - 0) * 0.1 is 0.1 exactly, and adding 0 changes
// no product that can occur here (volts + 5 is never -0).
inline float xFromVolts(float volts) { return shapes::mapFromVolts(volts, 0.0f, 1.0f); }
// Not mapFromVolts onto -1..1, which adds -1 after scaling by 0.2 and so rounds differently.
inline float yFromVolts(float volts) { return volts * 0.2f; }
inline float voltsFromX(float x) { return x * 10.0f - 5.0f; }
inline float voltsFromY(float y) { return y * 5.0f; }

} // namespace zr

#pragma once
// The pin indices of the modules the plug-ins drive, as metadata/modules.json lists them.
// Modules append pins only, so these never change.

#include <cstdint>

namespace zr::lv2::pins {

// ZR_Waveshaper2 and ZR_Waveshaper2ST: audio inputs from 4, then the outputs.
namespace waveshaper {
inline constexpr int32_t kShape = 0; // a text pin carrying the blob image's bytes
inline constexpr int32_t kInterpolation = 1;
inline constexpr int32_t kRangeLow = 2;
inline constexpr int32_t kRangeHigh = 3;
inline constexpr int32_t kFirstInput = 4;
} // namespace waveshaper

// ZR_ShapeEnv3.
namespace envelope {
inline constexpr int32_t kGate = 0;
inline constexpr int32_t kShape = 1;
inline constexpr int32_t kInterpolation = 2;
inline constexpr int32_t kDuration = 3;
inline constexpr int32_t kSustainNode = 4;
inline constexpr int32_t kInput = 5;
inline constexpr int32_t kClip = 6;
inline constexpr int32_t kOut = 7;
} // namespace envelope

// ZR_ShapeOsc2.
namespace oscillator {
inline constexpr int32_t kGate = 0;
inline constexpr int32_t kShape = 1;
inline constexpr int32_t kInterpolation = 2;
inline constexpr int32_t kRemoveDC = 3;
inline constexpr int32_t kOversampling = 4;
inline constexpr int32_t kFrequencyMode = 5;
inline constexpr int32_t kPitch = 6;
inline constexpr int32_t kResetPhase = 7;
inline constexpr int32_t kPhaseMod = 8;
inline constexpr int32_t kPhaseModDepth = 9;
inline constexpr int32_t kFeedback = 10;
inline constexpr int32_t kOut = 11;
inline constexpr int32_t kVoltsPerOctave = 1; // a FrequencyMode value
} // namespace oscillator

} // namespace zr::lv2::pins

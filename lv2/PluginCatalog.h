#pragma once
// The bundle's plug-ins and their ports. The Turtle generator and the plug-ins read this one
// table. A control port that drives a module pin names the module and the pin: its label,
// default, range, unit and enumeration labels come from that pin's description when the
// Turtle is generated, and the plug-in reads them back from the header generated beside it.
// Port indices and symbols are stored in hosts' sessions: append only.

#include <cstdint>
#include <span>

namespace zr::lv2 {

inline constexpr char const* kUriBase = "urn:zr-shapes:lv2:";

enum class PluginKind { Shaper, StereoShaper, Envelope, Synth };

// A control port. With `moduleId` and `pinName` set, the description of that pin supplies
// everything left at its zero value here; the values given here override it (a module pin
// without a range takes `min`..`max` from here). Without a module it is the plug-in's own.
struct ControlDefinition {
    char const* symbol;
    char const* moduleId = nullptr;
    char const* pinName = nullptr;
    char const* name = nullptr;
    bool hasRange = false;
    float min = 0.0f;
    float max = 0.0f;
    float defaultValue = 0.0f; // own ports only
    char const* unit = nullptr;  // own ports only: "ms", "beat", "coef"
    bool toggle = false;         // own ports only
    bool integer = false;        // own ports only
    char const* labels = nullptr; // own ports only: "0=ms;1=beats"
};

// A shape the plug-in keeps as state and takes in messages: its text parameter is
// kUriBase + key, its file parameter kUriBase + key + "File".
struct ShapeDefinition {
    char const* key;
    char const* label;
    char const* defaultText;
};

struct PluginDefinition {
    PluginKind kind;
    char const* uriSuffix;
    char const* name;
    char const* lv2Class;    // lv2:...Plugin
    char const* comment;
    std::span<char const* const> audioInputs;  // symbols; ports 2.. in this order
    std::span<char const* const> audioOutputs; // then these
    std::span<ControlDefinition const> controls;     // then these
    std::span<ShapeDefinition const> shapes;
    bool takesMidi;
    bool takesTime;
};

// Ports 0 and 1 of every plug-in: messages in (patch messages, MIDI, time position) and out.
inline constexpr uint32_t kControlPort = 0;
inline constexpr uint32_t kNotifyPort = 1;
inline constexpr uint32_t kFirstAudioPort = 2;

namespace catalog {

inline constexpr char const* kMonoIn[] = {"in"};
inline constexpr char const* kMonoOut[] = {"out"};
inline constexpr char const* kStereoIn[] = {"in_left", "in_right"};
inline constexpr char const* kStereoOut[] = {"out_left", "out_right"};

inline constexpr char const* kSaturation = "(-5,-5)(-2.5,-3.8)(0,0)(2.5,3.8)(5,5)";
inline constexpr char const* kContour = "(-5,-5)(-4.5,5)(-1,1)(5,-5)";
inline constexpr char const* kWave = "(-5,0)(-2.5,5)(2.5,-5)(5,0)";

// Shaper controls, in this order (the plug-in indexes them by ShaperControl).
inline constexpr ControlDefinition kShaperControls[] = {
    {.symbol = "interpolation", .moduleId = "ZR_Waveshaper2", .pinName = "Interpolation"},
    {.symbol = "range_low", .moduleId = "ZR_Waveshaper2", .pinName = "RangeLow", .hasRange = true, .min = -10.0f, .max = 10.0f},
    {.symbol = "range_high", .moduleId = "ZR_Waveshaper2", .pinName = "RangeHigh", .hasRange = true, .min = -10.0f, .max = 10.0f},
};
inline constexpr ControlDefinition kStereoShaperControls[] = {
    {.symbol = "interpolation", .moduleId = "ZR_Waveshaper2ST", .pinName = "Interpolation"},
    {.symbol = "range_low", .moduleId = "ZR_Waveshaper2ST", .pinName = "RangeLow", .hasRange = true, .min = -10.0f, .max = 10.0f},
    {.symbol = "range_high", .moduleId = "ZR_Waveshaper2ST", .pinName = "RangeHigh", .hasRange = true, .min = -10.0f, .max = 10.0f},
};
enum ShaperControl : uint32_t { kShaperInterpolation, kShaperRangeLow, kShaperRangeHigh, kShaperControlCount };

inline constexpr ControlDefinition kEnvelopeControls[] = {
    {.symbol = "interpolation", .moduleId = "ZR_ShapeEnv3", .pinName = "Interpolation"},
    {.symbol = "duration", .moduleId = "ZR_ShapeEnv3", .pinName = "Duration", .hasRange = true, .min = 1.0f, .max = 20000.0f},
    {.symbol = "sustain_node", .moduleId = "ZR_ShapeEnv3", .pinName = "SustainNode", .hasRange = true, .min = -1.0f, .max = 98.0f},
    {.symbol = "clip", .moduleId = "ZR_ShapeEnv3", .pinName = "Clip"},
    {.symbol = "gate", .name = "Gate", .min = 0.0f, .max = 1.0f, .defaultValue = 0.0f, .toggle = true},
    {.symbol = "beat_retrigger", .name = "Retrigger on beat", .min = 0.0f, .max = 1.0f, .defaultValue = 0.0f, .toggle = true},
    {.symbol = "duration_unit", .name = "Duration unit", .min = 0.0f, .max = 1.0f, .defaultValue = 0.0f, .integer = true,
     .labels = "0=milliseconds;1=beats"},
    {.symbol = "duration_beats", .name = "Duration in beats", .min = 0.0625f, .max = 64.0f, .defaultValue = 1.0f, .unit = "beat"},
};
enum EnvelopeControl : uint32_t {
    kEnvelopeInterpolation, kEnvelopeDuration, kEnvelopeSustainNode, kEnvelopeClip, kEnvelopeGate,
    kEnvelopeBeatRetrigger, kEnvelopeDurationUnit, kEnvelopeDurationBeats, kEnvelopeControlCount
};

inline constexpr ControlDefinition kSynthControls[] = {
    {.symbol = "wave_interpolation", .moduleId = "ZR_ShapeOsc2", .pinName = "Interpolation", .name = "Wave interpolation"},
    {.symbol = "remove_dc", .moduleId = "ZR_ShapeOsc2", .pinName = "RemoveDC"},
    {.symbol = "oversampling", .moduleId = "ZR_ShapeOsc2", .pinName = "Oversampling"},
    {.symbol = "envelope_interpolation", .moduleId = "ZR_ShapeEnv3", .pinName = "Interpolation", .name = "Envelope interpolation"},
    {.symbol = "duration", .moduleId = "ZR_ShapeEnv3", .pinName = "Duration", .hasRange = true, .min = 1.0f, .max = 20000.0f},
    {.symbol = "sustain_node", .moduleId = "ZR_ShapeEnv3", .pinName = "SustainNode", .hasRange = true, .min = -1.0f, .max = 98.0f},
    {.symbol = "clip", .moduleId = "ZR_ShapeEnv3", .pinName = "Clip"},
    {.symbol = "level", .name = "Level", .min = 0.0f, .max = 1.0f, .defaultValue = 0.25f, .unit = "coef"},
};
enum SynthControl : uint32_t {
    kSynthWaveInterpolation, kSynthRemoveDC, kSynthOversampling, kSynthEnvelopeInterpolation, kSynthDuration,
    kSynthSustainNode, kSynthClip, kSynthLevel, kSynthControlCount
};

inline constexpr ShapeDefinition kShaperShapes[] = {{"shape", "Transfer curve", kSaturation}};
inline constexpr ShapeDefinition kEnvelopeShapes[] = {{"envelopeShape", "Envelope contour", kContour}};
inline constexpr ShapeDefinition kSynthShapes[] = {{"waveShape", "Waveform", kWave}, {"envelopeShape", "Envelope contour", kContour}};
enum SynthShape : uint32_t { kSynthWave, kSynthEnvelope };

} // namespace catalog

inline constexpr PluginDefinition kPlugins[] = {
    {PluginKind::Shaper, "shaper", "Shape Shaper", "WaveshaperPlugin",
     "A waveshaper whose transfer curve is a shape of 2 to 100 nodes.", catalog::kMonoIn, catalog::kMonoOut,
     catalog::kShaperControls, catalog::kShaperShapes, false, false},
    {PluginKind::StereoShaper, "shaper-stereo", "Shape Shaper Stereo", "WaveshaperPlugin",
     "A waveshaper for two channels through one shape used as their transfer curve.", catalog::kStereoIn,
     catalog::kStereoOut, catalog::kStereoShaperControls, catalog::kShaperShapes, false, false},
    {PluginKind::Envelope, "envelope", "Shape Envelope", "EnvelopePlugin",
     "An envelope whose contour is a shape, gated by MIDI notes, the Gate control or the host's beat, scaling its input.",
     catalog::kMonoIn, catalog::kMonoOut, catalog::kEnvelopeControls, catalog::kEnvelopeShapes, true, true},
    {PluginKind::Synth, "synth", "Shape Synth", "InstrumentPlugin",
     "Eight voices, each an oscillator playing a shape's cycle into an envelope whose contour is a second shape.",
     {}, catalog::kMonoOut, catalog::kSynthControls, catalog::kSynthShapes, true, false},
};

inline constexpr uint32_t controlPortIndex(PluginDefinition const& plugin, uint32_t control) {
    return kFirstAudioPort + static_cast<uint32_t>(plugin.audioInputs.size() + plugin.audioOutputs.size()) + control;
}

inline constexpr uint32_t portCount(PluginDefinition const& plugin) {
    return controlPortIndex(plugin, static_cast<uint32_t>(plugin.controls.size()));
}

} // namespace zr::lv2

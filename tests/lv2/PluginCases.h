#pragma once
// The bundle's plug-ins as a host sees them, and how to make each one sound: a sine into the
// effects, the Gate control for the envelope, a chord of MIDI notes for the synth.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "testing/lv2/LilvHost.h"

namespace zr::test {

inline std::string const kShapeKey = "urn:zr-shapes:lv2:shape";
inline std::string const kWaveKey = "urn:zr-shapes:lv2:waveShape";
inline std::string const kContourKey = "urn:zr-shapes:lv2:envelopeShape";

struct PluginCase {
    std::string name; // for test names
    std::string uri;
    std::vector<std::string> shapes; // parameter URIs
    bool instrument = false;
    bool gated = false; // sounds only with its Gate control on
};

// gtest names a failing case by this.
inline void PrintTo(PluginCase const& plugInCase, std::ostream* out) { *out << plugInCase.uri; }

inline std::vector<PluginCase> const& pluginCases() {
    static std::vector<PluginCase> const cases = {
        {"Shaper", "urn:zr-shapes:lv2:shaper", {kShapeKey}},
        {"ShaperStereo", "urn:zr-shapes:lv2:shaper-stereo", {kShapeKey}},
        {"Envelope", "urn:zr-shapes:lv2:envelope", {kContourKey}, false, true},
        {"Synth", "urn:zr-shapes:lv2:synth", {kWaveKey, kContourKey}, true},
    };
    return cases;
}

inline std::string lv2Path() { return ZR_LV2_BUNDLE_PARENT; }

// Fills every audio input with sines of different frequencies and 0.4 full scale (4 V),
// continuing from sample `start`.
inline void fillInputs(PluginInstance& plugin, uint64_t start, uint32_t frames) {
    for (size_t channel = 0; channel < plugin.audioInputCount(); ++channel) {
        float* input = plugin.audioInput(channel);
        double const step = 2.0 * M_PI * (110.0 * static_cast<double>(channel + 1)) / 48000.0;
        for (uint32_t i = 0; i < frames; ++i)
            input[i] = static_cast<float>(0.4 * std::sin(step * static_cast<double>(start + i)));
    }
}

// What makes the plug-in sound from its next block on.
inline void excite(PluginInstance& plugin, PluginCase const& plugInCase) {
    if (plugInCase.gated)
        plugin.setControl("gate", 1.0f);
    if (plugInCase.instrument)
        for (uint8_t note : {57, 60, 64})
            plugin.midi(0, {0x90, note, 100});
}

using Channels = std::vector<std::vector<float>>;

// Renders `total` samples in blocks of the sizes `nextBlock` gives; one buffer per output.
template <typename NextBlock>
Channels render(PluginInstance& plugin, uint64_t total, NextBlock nextBlock) {
    Channels rendered(plugin.audioOutputCount());
    for (uint64_t done = 0; done < total;) {
        auto const frames = static_cast<uint32_t>(std::min<uint64_t>(nextBlock(), total - done));
        fillInputs(plugin, done, frames);
        plugin.run(frames);
        for (size_t channel = 0; channel < rendered.size(); ++channel)
            rendered[channel].insert(rendered[channel].end(), plugin.audioOutput(channel), plugin.audioOutput(channel) + frames);
        done += frames;
    }
    return rendered;
}

inline Channels renderInBlocks(PluginInstance& plugin, uint64_t total, uint32_t blockSize) {
    return render(plugin, total, [blockSize] { return blockSize; });
}

inline float peak(Channels const& channels) {
    float highest = 0.0f;
    for (auto const& samples : channels)
        for (float sample : samples)
            highest = std::fmax(highest, std::fabs(sample));
    return highest;
}

inline bool allFinite(Channels const& channels) {
    for (auto const& samples : channels)
        for (float sample : samples)
            if (!std::isfinite(sample))
                return false;
    return true;
}

} // namespace zr::test

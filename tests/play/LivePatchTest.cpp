// A patch run period by period as the live player runs it, without a server: MIDI notes set
// a pitch pin by last-note priority and a gate pin, each at its frame, whatever the period.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "host/realtime/LivePatch.h"
#include "testing/BuiltBundle.h"

namespace zr::test {
namespace {

// Two shapers with the identity curve over -5..5 V pass their inputs through: the first shows
// the gate (10 V, held at the curve's end: 5 V), the second the pitch.
std::string const kKeyboardPatch = R"json({ "duration": 1,
  "modules": { "gate": { "id": "ZR_Waveshaper2" }, "pitch": { "id": "ZR_Waveshaper2" } },
  "midi": { "notes": { "gate": "gate.Input", "pitch": "pitch.Input" } },
  "outputs": ["gate.Out", "pitch.Out"] })json";

float pitchSample(int note) { return static_cast<float>((5.0 + (note - 69) / 12.0) / 10.0); }

struct Key {
    int32_t frame; // from the start
    uint8_t status;
    uint8_t note;
};

// Runs `frames` frames in periods of `period` with `keys`; gives the gate and pitch outputs.
std::pair<std::vector<float>, std::vector<float>> play(std::vector<Key> const& keys, int32_t period, int32_t frames) {
    host::PatchOverrides overrides;
    overrides.duration = 1.0;
    host::LivePatch live(host::loadPatch(built::bundle(), built::descriptions(), kKeyboardPatch, ".", "keyboard", overrides));
    std::vector<float> gate(static_cast<size_t>(frames));
    std::vector<float> pitch(static_cast<size_t>(frames));
    for (int32_t start = 0; start < frames; start += period) {
        int32_t const length = std::min(period, frames - start);
        std::vector<host::MidiMessage> midi;
        for (Key const& key : keys)
            if (key.frame >= start && key.frame < start + length)
                midi.push_back({key.frame - start, {key.status, key.note, static_cast<uint8_t>(key.status >= 0x90 ? 100 : 0)}, 3});
        float* const outputs[] = {gate.data() + start, pitch.data() + start};
        live.process({length, {}, outputs, midi});
    }
    return {gate, pitch};
}

TEST(LivePatch, NotesPlayTheLastKeyHeldAtTheirFrames) {
    // C4 at 100; E4 over it at 300 (sounds); releasing E4 at 500 returns to C4; G4 at 700 and
    // C4's release at 800 (G4 still sounds); releasing G4 at 900 closes the gate.
    std::vector<Key> const keys{{100, 0x90, 60}, {300, 0x90, 64}, {500, 0x80, 64},
                                {700, 0x90, 67}, {800, 0x80, 60}, {900, 0x80, 67}};
    struct Expected {
        int32_t frame;
        float gate;
        float pitch;
    } const expected[] = {
        {99, 0.0f, 0.0f},           {100, 0.5f, pitchSample(60)}, {299, 0.5f, pitchSample(60)},
        {300, 0.5f, pitchSample(64)}, {500, 0.5f, pitchSample(60)}, {700, 0.5f, pitchSample(67)},
        {800, 0.5f, pitchSample(67)}, {899, 0.5f, pitchSample(67)}, {900, 0.0f, pitchSample(67)},
    };
    for (int32_t const period : {64, 100, 1024}) {
        SCOPED_TRACE("period " + std::to_string(period));
        auto const [gate, pitch] = play(keys, period, 1024);
        for (Expected const& e : expected) {
            SCOPED_TRACE("frame " + std::to_string(e.frame));
            EXPECT_NEAR(gate[static_cast<size_t>(e.frame)], e.gate, 1e-6f);
            EXPECT_NEAR(pitch[static_cast<size_t>(e.frame)], e.pitch, 1e-6f);
        }
    }
}

} // namespace
} // namespace zr::test

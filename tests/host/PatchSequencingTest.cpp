// The patch engine with the built bundle: wiring rules, running order, changes at their sample;
// sequences, overrides, resampled inputs and feedback wires in patches, each checked by where
// its effect lands in the rendered samples.

#include <gmock/gmock.h>
#include <sndfile.h>

#include <cmath>
#include <cstring>
#include <map>
#include <numbers>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "host/patch/Patch.h"
#include "host/patch/PatchFile.h"
#include "host/patch/PatchRender.h"
#include "host/patch/Sequencing.h"
#include "tests/modules/BundleFixture.h"
#include "testing/TemporaryFolder.h"

namespace zr::host {
namespace {

using ::testing::HasSubstr;

LoadedPatch loadText(std::string const& text, PatchOverrides const& overrides = {}, std::filesystem::path const& folder = ".") {
    return loadPatch(zr::test::bundle(), zr::test::descriptions(), text, folder, "patch.json", overrides);
}

std::string loadError(std::string const& text, PatchOverrides const& overrides = {}) {
    try {
        loadText(text, overrides);
    } catch (PatchError const& error) {
        return error.what();
    }
    return "(loaded)";
}

// Samples where the output steps from silence up, and back down.
std::pair<std::vector<size_t>, std::vector<size_t>> edgesOf(std::vector<float> const& samples) {
    std::vector<size_t> rising;
    std::vector<size_t> falling;
    for (size_t i = 1; i < samples.size(); ++i) {
        if (samples[i - 1] == 0.0f && samples[i] != 0.0f)
            rising.push_back(i);
        if (samples[i - 1] != 0.0f && samples[i] == 0.0f)
            falling.push_back(i);
    }
    return {rising, falling};
}

// An oscillator playing a flat shape sounds exactly while its gate is on: its output's edges
// are the gate's. Blocks of 64 do not line up with any of the times.
std::string gatedOscillator(std::string const& sequence) {
    return R"J({ "sampleRate": 48000, "blockSize": 64, "duration": 0.1,
        "modules": { "o": { "id": "ZR_ShapeOsc2", "pins": { "Shape": "(-5,5)(5,5)", "Gate": false } } },
        "outputs": ["o.Out"], )J" + sequence + " }";
}

TEST(PatchSequencing, RepeatsAndNotesSwitchTheGateAtTheirSamples) {
    struct Case {
        char const* name;
        std::string sequence;
        std::vector<size_t> on;
        std::vector<size_t> off;
    };
    Case const cases[] = {
        {"change repeated by count",
         R"J("changes": [{ "at": 0.01, "set": "o.Gate", "to": true, "every": 0.03, "count": 3 },
                        { "at": 0.02, "set": "o.Gate", "to": false, "every": 0.03, "count": 3 }])J",
         {480, 1920, 3360}, {960, 2400, 3840}},
        {"change repeated to the end",
         R"J("changes": [{ "at": 0.0, "set": "o.Gate", "to": true, "every": 0.04 },
                        { "at": 0.01, "set": "o.Gate", "to": false, "every": 0.04 }])J",
         {1920, 3840}, {480, 2400, 4320}},
        {"notes, one repeated",
         R"J("notes": { "gate": "o.Gate", "pitch": "o.Pitch",
                       "play": [{ "at": 0.05, "length": 0.01, "pitch": "C4", "every": 0.02, "count": 2 },
                                { "at": 0.01, "length": 0.02, "pitch": "A4" }] })J",
         {480, 2400, 3360}, {1440, 2880, 3840}},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        LoadedPatch loaded = loadText(gatedOscillator(c.sequence));
        auto const [on, off] = edgesOf(renderPatch(loaded).at(0));
        EXPECT_EQ(on, c.on);
        EXPECT_EQ(off, c.off);
    }
}

// The pitch of each note reaches the pitch input at the note's start, in volts per octave.
TEST(PatchSequencing, NotesSetThePitchInVoltsPerOctave) {
    LoadedPatch loaded = loadText(gatedOscillator(R"J("notes": { "gate": "o.Gate", "pitch": "o.Pitch",
        "play": [{ "at": 0, "length": 0.01, "pitch": "A4" }, { "at": 0.02, "length": 0.01, "pitch": "C#3" },
                 { "at": 0.04, "length": 0.01, "pitch": 6.5 }] })J"));
    std::vector<std::pair<int64_t, float>> pitches;
    for (TimedChange const& change : loaded.changes)
        if (change.pin.pin == "Pitch")
            pitches.emplace_back(change.sample, change.value.volts);
    std::vector<std::pair<int64_t, float>> const expected = {{0, 5.0f}, {960, static_cast<float>(5.0 - 20.0 / 12.0)}, {1920, 6.5f}};
    EXPECT_EQ(pitches, expected);

    // A4 = 440 Hz = 5 V as the oscillator reads it: 440 x 2^(volts - 5).
    std::pair<char const*, double> const names[] = {{"A4", 5.0}, {"C4", 4.25}, {"a4", 5.0}, {"Bb3", 5.0 - 11.0 / 12.0},
                                                   {"C0", 0.25}, {"G#9", 5.0 + 59.0 / 12.0}, {"C-1", -0.75}};
    for (auto const& [name, volts] : names)
        EXPECT_NEAR(noteVolts(name).value_or(-99.0), volts, 1e-12) << name;
    for (char const* notANote : {"H4", "A", "4", "A#", "A4x", "Cb", "A444"})
        EXPECT_FALSE(noteVolts(notANote).has_value()) << notANote;
}

// Bad notes, changes and midi sections name the key at fault.
TEST(PatchSequencing, BadSequencesNameTheKeyAtFault) {
    std::pair<std::string, std::string> const cases[] = {
        {R"J("notes": { "gate": "o.Gate", "play": [{ "at": 0, "length": 0.02 }, { "at": 0.01, "length": 0.01 }] })J",
         "notes.play[1]: starts at 0.01 s, before the note of notes.play[0] ends at 0.02 s; one gate plays one note at a time"},
        {R"J("notes": { "gate": "o.Gate", "play": [{ "at": 0 }] })J", "notes.play[0]: 'length' is missing"},
        {R"J("notes": { "gate": "o.Gate", "play": [{ "at": 0, "length": 0 }] })J", "notes.play[0].length: expected seconds above 0"},
        {R"J("notes": { "gate": "o.Gate", "play": [{ "at": 0, "length": 1, "pitch": "H2" }] })J",
         "notes.play[0].pitch: expected volts (5 = A4, 440 Hz; 1 V per octave) or a note name"},
        {R"J("notes": { "gate": "o.Gate", "play": [{ "at": 0, "length": 1, "pitch": 3 }] })J",
         "notes.play[0].pitch: the section names no \"pitch\" pin"},
        {R"J("notes": { "gate": "o.Gate" })J", "notes: a notes section needs \"gate\""},
        {R"J("changes": [{ "at": 0, "set": "o.Gate", "to": true, "count": 2 }])J", "changes[0].count: a count needs \"every\""},
        {R"J("changes": [{ "at": 0, "set": "o.Gate", "to": true, "every": 0 }])J", "changes[0].every: expected seconds above 0"},
        {R"J("changes": [{ "at": 0, "set": "o.Gate", "to": true, "every": 1, "count": 2.5 }])J",
         "changes[0].count: expected a whole number of times from 1 to 1000000"},
        {R"J("changes": [{ "at": 0, "set": "o.Gate", "to": true, "every": 1e-9 }])J", "changes[0].every: repeating every"},
        {R"J("midi": { "controllers": { "128": "o.Oversampling" } })J", "midi.controllers.128: expected a controller number from 0 to 127"},
        {R"J("midi": { "controllers": { "cc1": "o.Oversampling" } })J", "midi.controllers.cc1: expected a controller number"},
        {R"J("midi": { "controllers": { "1": "o.Gate" } })J", "midi.controllers.1: 'o.Gate' is no number input with a range"},
        {R"J("midi": { "notes": { "pitch": "o.Pitch" } })J", "midi.notes: MIDI notes need \"gate\""},
        {R"J("midi": { "notes": { "gate": "o.Gate", "velocity": "o.Pitch" } })J", "midi.notes.velocity: unknown key"},
        {R"J("midi": { "channel": 1 })J", "midi.channel: unknown key"},
    };
    for (auto const& [sequence, message] : cases) {
        SCOPED_TRACE(sequence);
        EXPECT_THAT(loadError(gatedOscillator(sequence)), HasSubstr("patch.json: " + message));
    }
    LoadedPatch const late = loadText(gatedOscillator(R"J("changes": [{ "at": 0.05, "set": "o.Gate", "to": true, "every": 0.02, "count": 4 }])J"));
    EXPECT_THAT(late.warnings, ::testing::ElementsAre(HasSubstr(
                                   "changes[0]: 1 of its 4 times come at or after the end of the render (0.1 s), where nothing plays")));
}

// The midi section: a value for every note and every controller value, worked out while
// loading (what does not fit is refused in BadSequencesNameTheKeyAtFault).
TEST(PatchSequencing, MidiSectionHoldsAValueForEveryNoteAndControllerValue) {
    LoadedPatch loaded = loadText(gatedOscillator(R"J("midi": { "notes": { "gate": "o.Gate", "pitch": "o.Pitch" },
        "controllers": { "1": "o.Oversampling", "74": "o.PhaseModDepth" } })J"));
    ASSERT_TRUE(loaded.midi && loaded.midi->notes);
    MidiNoteMapping const& notes = *loaded.midi->notes;
    EXPECT_EQ(notes.gateOn.bytes, std::vector<uint8_t>{1});
    EXPECT_EQ(notes.gateOff.bytes, std::vector<uint8_t>{0});
    ASSERT_EQ(notes.pitchOfNote.size(), 128u);
    std::pair<int, double> const pitches[] = {{69, 5.0}, {60, 4.25}, {0, 5.0 - 69.0 / 12.0}, {127, 5.0 + 58.0 / 12.0}};
    for (auto const& [note, volts] : pitches) {
        SCOPED_TRACE("note " + std::to_string(note));
        ASSERT_TRUE(notes.pitchOfNote[static_cast<size_t>(note)]);
        EXPECT_TRUE(notes.pitchOfNote[static_cast<size_t>(note)]->isAudioLevel);
        EXPECT_NEAR(notes.pitchOfNote[static_cast<size_t>(note)]->volts, volts, 1e-6);
    }
    ASSERT_EQ(loaded.midi->controllers.size(), 2u);
    // Oversampling takes whole numbers 0..8; PhaseModDepth, an audio input, levels 0..10 V.
    MidiControllerMapping const& oversampling = loaded.midi->controllers[0];
    MidiControllerMapping const& depth = loaded.midi->controllers[1];
    EXPECT_EQ(oversampling.controller, 1);
    EXPECT_EQ(depth.controller, 74);
    std::tuple<int, int32_t, float> const sweeps[] = {{0, 0, 0.0f}, {64, 4, 10.0f * 64 / 127}, {127, 8, 10.0f}};
    for (auto const& [value, whole, volts] : sweeps) {
        SCOPED_TRACE("controller value " + std::to_string(value));
        int32_t taken = -1;
        std::memcpy(&taken, oversampling.valueOf[static_cast<size_t>(value)].bytes.data(), sizeof taken);
        EXPECT_EQ(taken, whole);
        EXPECT_NEAR(depth.valueOf[static_cast<size_t>(value)].volts, volts, 1e-5f);
    }
}

// An inverting waveshaper with a 2 V input: overrides change the rate, the length and pin
// values, the latter checked as the patch's own.
TEST(PatchSequencing, OverridesReplaceTheRateTheDurationAndPinValues) {
    std::string const patch = R"J({ "duration": 0.01, "sampleRate": 48000,
        "modules": { "s": { "id": "ZR_Waveshaper2", "pins": { "Shape": "(-5,-5)(5,5)", "Input": 2 } } },
        "outputs": ["s.Out"] })J";
    PatchOverrides overrides;
    overrides.sampleRate = 22050;
    overrides.duration = 0.5;
    overrides.settings = {"s.Shape=(-5,5)(5,-5)", "s.Input=1", R"J(s.Interpolation=20)J"};
    LoadedPatch loaded = loadText(patch, overrides);
    EXPECT_EQ(loaded.sampleRate, 22050.0f);
    EXPECT_EQ(loaded.totalSamples, 11025);
    EXPECT_NEAR(renderPatch(loaded).at(0).back(), -0.1f, 1e-4f) << "the later shape and level win";

    std::pair<PatchOverrides, std::string> const bad[] = {
        {{4000.0, {}, {}}, "patch.json: -r: expected a whole number of Hz from 8000 to 384000"},
        {{{}, 90000.0, {}}, "patch.json: --duration: expected seconds above 0 and at most 86400"},
        {{{}, {}, {"s.Interpolation"}}, "--set s.Interpolation: expected MODULE.PIN=VALUE"},
        {{{}, {}, {"s.Interpolation=15"}}, "--set s.Interpolation=15: 15 is not an interpolation mode"},
        {{{}, {}, {"t.Shape=1"}}, "--set t.Shape=1: the patch has no module named 't'"},
        {{{}, {}, {"s.Shape=(-5,0)"}}, "--set s.Shape=(-5,0): not a shape text: only one node"},
    };
    for (auto const& [given, message] : bad) {
        SCOPED_TRACE(message);
        EXPECT_THAT(loadError(patch, given), HasSubstr(message));
    }
}

void writeSine(std::filesystem::path const& path, int rate, double frequency, double amplitude, double seconds) {
    std::vector<float> samples(static_cast<size_t>(rate * seconds));
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * frequency * static_cast<double>(i) / rate));
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    sf_writef_float(file, samples.data(), static_cast<sf_count_t>(samples.size()));
    sf_close(file);
}

// A 1 kHz sine written at 44.1 kHz, read at 48 kHz: the same length in seconds, the same
// frequency by its zero crossings, the same level within 0.1 dB.
TEST(PatchSequencing, WavInputsAtAnotherRateAreConverted) {
    zr::test::TemporaryFolder const folder("zr-resampled");
    writeSine(folder.path() / "sine.wav", 44100, 1000.0, 0.5, 1.0);
    int fileRate = 0;
    std::vector<float> const converted = readWavChannel(folder.path() / "sine.wav", 0, 48000.0f, &fileRate);
    EXPECT_EQ(fileRate, 44100);
    EXPECT_NEAR(static_cast<double>(converted.size()), 48000.0, 2.0);
    size_t const from = 4800; // away from the converter's run-in and run-out
    size_t const to = converted.size() - 4800;
    int crossings = 0;
    double power = 0.0;
    for (size_t i = from; i < to; ++i) {
        crossings += (converted[i - 1] < 0.0f) != (converted[i] < 0.0f);
        power += static_cast<double>(converted[i]) * converted[i];
    }
    double const seconds = static_cast<double>(to - from) / 48000.0;
    EXPECT_NEAR(crossings / 2.0 / seconds, 1000.0, 2.0);
    double const rms = std::sqrt(power / static_cast<double>(to - from));
    EXPECT_NEAR(20.0 * std::log10(rms / (0.5 / std::sqrt(2.0))), 0.0, 0.1);

    std::string const patch = R"J({ "duration": 0.1, "modules": { "s": { "id": "ZR_Waveshaper2" } },
        "sources": { "s.Input": { "type": "wav", "file": "sine.wav" } }, "outputs": ["s.Out"] })J";
    LoadedPatch const loaded = loadText(patch, {}, folder.path());
    EXPECT_THAT(loaded.remarks, ::testing::ElementsAre(HasSubstr("sources.s.Input.file: " + (folder.path() / "sine.wav").string() +
                                                                 " converted from 44100 Hz to the patch's 48000 Hz")));
}

// Two identity waveshapers in a row, the second fed through a delayed wire: its output is the
// first one's, one block (64 samples) later; a 300 Hz sine moves far more in 64 samples. A loop closes only through such a wire.
TEST(PatchSequencing, ADelayedWireCarriesOneBlockLaterAndMayCloseALoop) {
    std::string const chain = R"J({ "duration": 0.02, "blockSize": 64,
        "modules": { "a": { "id": "ZR_Waveshaper2" }, "b": { "id": "ZR_Waveshaper2" } },
        "connections": [{ "from": "a.Out", "to": "b.Input", "delay": "block" }],
        "sources": { "a.Input": { "type": "sine", "frequency": 300, "amplitude": 4 } },
        "outputs": ["a.Out", "b.Out"] })J";
    LoadedPatch loaded = loadText(chain);
    auto const channels = renderPatch(loaded);
    ASSERT_EQ(channels.at(0).size(), 960u);
    // The identity curve passes levels within a float step or two of themselves.
    for (size_t i = 0; i < 64; ++i)
        ASSERT_NEAR(channels[1][i], 0.0f, 1e-6f) << i;
    for (size_t i = 64; i < 960; ++i)
        ASSERT_NEAR(channels[1][i], channels[0][i - 64], 1e-6f) << i;

    std::string const loop = R"J({ "duration": 0.01,
        "modules": { "o": { "id": "ZR_ShapeOsc2" }, "s": { "id": "ZR_Waveshaper2" } },
        "connections": [{ "from": "o.Out", "to": "s.Input" }, { "from": "s.Out", "to": "o.PhaseMod"DELAY }],
        "outputs": ["s.Out"] })J";
    std::string delayed = loop;
    delayed.replace(delayed.find("DELAY"), 5, R"J(, "delay": "block")J");
    std::string undelayed = loop;
    undelayed.replace(undelayed.find("DELAY"), 5, "");
    EXPECT_EQ(loadError(delayed), "(loaded)");
    EXPECT_THAT(loadError(undelayed), HasSubstr("patch.json: connections: the connections form a cycle: o -> s -> o"));
    std::string badDelay = loop;
    badDelay.replace(badDelay.find("DELAY"), 5, R"J(, "delay": 1)J");
    EXPECT_THAT(loadError(badDelay), HasSubstr("connections[1].delay: the one delay a connection takes is \"block\""));
}

constexpr int32_t kBlock = 64;

AudioModuleOptions blocksOf(int32_t frames) {
    AudioModuleOptions options;
    options.maxBlockSize = frames;
    return options;
}

// Wires between outputs, between inputs and between kinds: the patch loader's messages.
TEST(Patch, RefusesWiringThatCannotWork) {
    Patch patch(zr::test::bundle(), zr::test::descriptions(), blocksOf(256));
    patch.add("osc", L"ZR_ShapeOsc2");
    patch.add("shaper", L"ZR_Waveshaper2");
    patch.connect("osc", "Out", "shaper", "Input");
    std::pair<char const*, void (*)(Patch&)> const cases[] = {
        {"unknown module", [](Patch& p) { p.connect("lfo", "Out", "shaper", "Input"); }},
        {"unknown pin", [](Patch& p) { p.connect("osc", "Output", "shaper", "Input"); }},
        {"input wired twice", [](Patch& p) { p.connect("osc", "Out", "shaper", "Input"); }},
        {"name taken", [](Patch& p) { p.add("osc", L"ZR_ShapeEnv3"); }},
        {"undescribed module", [](Patch& p) { p.add("x", L"ZR_NoSuchModule"); }},
        {"not an audio input", [](Patch& p) { p.input("osc", "Gate"); }},
    };
    for (auto const& [name, attempt] : cases) {
        SCOPED_TRACE(name);
        EXPECT_THROW(attempt(patch), std::invalid_argument);
    }
}

TEST(Patch, ValuesAndStatesTravelAlongControlWiresAtTheirSample) {
    Patch patch(zr::test::bundle(), zr::test::descriptions(), blocksOf(256));
    patch.add("amp", L"ZR_ShapeAmp2");
    patch.add("envelope", L"ZR_ShapeEnv3");
    AudioModule& shaper = patch.add("shaper", L"ZR_Waveshaper2");
    patch.connect("amp", "ShapeOut", "envelope", "Shape");
    patch.connect("envelope", "Out", "shaper", "Input");
    patch.start();
    // A flat contour at +5 V, made by the amplifier from a ramp with gain 0 around +5 V.
    patch.setBytes("amp", "Shape", 0, zr::test::shapeImage({{0.0f, -1.0f}, {1.0f, 1.0f}}));
    patch.set("amp", "Center", 0, 5.0f);
    patch.set("amp", "Gain", 0, 0.0f);
    patch.set("envelope", "Duration", 0, 2.0f); // 96 samples
    patch.set("envelope", "Gate", 0, true);
    std::fill_n(patch.input("envelope", "Input"), 256, 0.25f);
    patch.process(128);
    EXPECT_EQ(patch.output("envelope", "Out")[10], 0.25f);
    EXPECT_NEAR(patch.output("shaper", "Out")[10], 0.25f, 1e-6f);

    // The envelope ended after its 96 samples and stopped streaming at that sample: the
    // shaper hears of it at the same sample of the same block.
    auto const stops = shaper.host().streamingChanges(5);
    ASSERT_FALSE(stops.empty());
    EXPECT_FALSE(stops.back().isStreaming());
    EXPECT_EQ(stops.back().block, 0);
    EXPECT_EQ(stops.back().timestamp, 96);
}

std::vector<float> playChain(std::vector<std::string> const& addingOrder) {
    Patch patch(zr::test::bundle(), zr::test::descriptions(), blocksOf(kBlock));
    std::map<std::string, std::wstring> const ids = {
        {"osc", L"ZR_ShapeOsc2"}, {"shaper", L"ZR_Waveshaper2"}, {"folder", L"ZR_Waveshaper2"}};
    for (std::string const& name : addingOrder)
        patch.add(name, ids.at(name));
    patch.connect("shaper", "Out", "folder", "Input");
    patch.connect("osc", "Out", "shaper", "Input");
    patch.start();
    EXPECT_EQ(patch.runningOrder(), (std::vector<std::string>{"osc", "shaper", "folder"}));
    patch.setBytes("osc", "Shape", 0, zr::test::shapeImage({{0.0f, -1.0f}, {0.5f, 1.0f}, {1.0f, -1.0f}}));
    patch.setBytes("folder", "Shape", 0, zr::test::shapeImage({{0.0f, 1.0f}, {0.5f, -1.0f}, {1.0f, 1.0f}}));
    std::vector<float> rendered;
    for (int block = 0; block < 8; ++block) {
        std::fill_n(patch.input("osc", "Pitch"), kBlock, 0.4f);
        patch.process(kBlock);
        float const* out = patch.output("folder", "Out");
        rendered.insert(rendered.end(), out, out + kBlock);
    }
    return rendered;
}

TEST(PatchScheduling, ModulesRunAfterTheirSourcesWhateverTheOrderTheyWereAdded) {
    std::vector<float> const forward = playChain({"osc", "shaper", "folder"});
    std::vector<float> const backward = playChain({"folder", "shaper", "osc"});
    playChain({"shaper", "folder", "osc"}); // checks its running order
    ASSERT_EQ(forward.size(), backward.size());
    float loudest = 0.0f;
    for (float sample : forward)
        loudest = std::max(loudest, std::abs(sample));
    EXPECT_GT(loudest, 0.05f) << "the chain makes sound, so a block of delay would show";
    EXPECT_EQ(forward, backward) << "a module run before its source would hear the previous block";
}

// A morpher, added after it, feeds a waveshaper whose input holds 2 V: the identity curve
// moves to a flat 3 V at sample 677 (block 10); at sample 805 (block 12) the input drops to -2 V.
constexpr char kMorphingCurve[] = R"J({
    "sampleRate": 48000, "blockSize": 64, "duration": 0.02,
    "modules": {
        "shaper": { "id": "ZR_Waveshaper2" },
        "morph": { "id": "ZR_ShapeMorpher2", "copies": 2,
                   "pins": { "Shape": { "shape": "(-5,-5)(5,5)" }, "Shape 2": { "shape": "(-5,3)(5,3)" }, "Position": 0 } }
    },
    "connections": [{ "from": "morph.ShapeOut", "to": "shaper.Shape" }],
    "sources": { "shaper.Input": 2 },
    "changes": [
        { "at": 0.014104166666666666, "set": "morph.Position", "to": 1 },
        { "at": 0.016770833333333333, "set": "shaper.Input", "to": -2 }
    ],
    "outputs": ["shaper.Out"]
})J";

// In the level row the position moves to where it is: only the input's drop shows; the
// sleeping waveshaper wakes for each change.
TEST(PatchScheduling, ChangesCrossModulesAtTheirSampleAndWakeASleepingModule) {
    std::string levelOnly = kMorphingCurve;
    levelOnly.replace(levelOnly.find("\"to\": 1 }"), 9, "\"to\": 0 }");
    // Name, patch, levels at samples.
    std::tuple<char const*, std::string, std::vector<std::pair<std::size_t, float>>> const cases[] = {
        {"curve", kMorphingCurve, {{0, 0.2f}, {400, 0.2f}, {676, 0.2f}, {677, 0.3f}, {804, 0.3f}, {805, 0.3f}, {959, 0.3f}}},
        {"level", levelOnly, {{676, 0.2f}, {804, 0.2f}, {805, -0.2f}, {959, -0.2f}}},
    };
    for (auto const& [name, patch, levels] : cases) {
        SCOPED_TRACE(name);
        LoadedPatch loaded = loadText(patch);
        std::vector<float> const out = renderPatch(loaded).at(0);
        ASSERT_EQ(out.size(), 960u);
        for (auto const& [sample, level] : levels)
            EXPECT_NEAR(out[sample], level, 1e-4f) << "sample " << sample;
        AudioModule& shaper = loaded.patch->module("shaper");
        EXPECT_LT(shaper.processCalls(), shaper.blocksRun()) << "nothing streams: the waveshaper sleeps, not called";
    }
}

} // namespace
} // namespace zr::host

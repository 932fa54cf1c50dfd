// The patch engine with the built bundle: wiring rules, running order, changes at their sample.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "host/patch/Patch.h"
#include "host/patch/PatchFile.h"
#include "host/patch/PatchRender.h"
#include "tests/modules/BundleFixture.h"

namespace zr::host {
namespace {

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
        LoadedPatch loaded = loadPatch(zr::test::bundle(), zr::test::descriptions(), patch, ".", "morph.json");
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

// The patch engine's scheduling: modules run after the modules that feed them, whatever the
// order they were added in; value events reach the next module at their sample; a sleeping
// module is not called and wakes when an event reaches it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/Patch.h"
#include "host/patch/PatchFile.h"
#include "host/patch/PatchRender.h"
#include "tests/modules/BundleFixture.h"

namespace zr::host {
namespace {

constexpr int32_t kBlock = 64;

std::vector<float> playChain(std::vector<std::string> const& addingOrder) {
    AudioModuleOptions options;
    options.maxBlockSize = kBlock;
    Patch patch(zr::test::bundle(), zr::test::descriptions(), options);
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
    std::vector<float> const mixed = playChain({"shaper", "folder", "osc"});
    ASSERT_EQ(forward.size(), backward.size());
    float loudest = 0.0f;
    for (float sample : forward)
        loudest = std::max(loudest, std::abs(sample));
    EXPECT_GT(loudest, 0.05f) << "the chain makes sound, so a block of delay would show";
    EXPECT_EQ(forward, backward) << "a module run before its source would hear the previous block";
    EXPECT_EQ(forward, mixed);
}

// A morpher feeding a waveshaper's curve; the waveshaper's input holds 2 V. The curve starts
// as the identity (2 V in, 2 V out) and the position moves to a flat line at 3 V at sample
// 677 (block 10, sample 37); at sample 805 (block 12, sample 37) the input drops to -2 V.
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

TEST(PatchScheduling, ValueEventsCrossModulesAtTheirSampleAndWakeASleepingModule) {
    LoadedPatch loaded = loadPatch(zr::test::bundle(), zr::test::descriptions(), kMorphingCurve, ".", "morph.json");
    EXPECT_EQ(loaded.patch->runningOrder(), (std::vector<std::string>{"morph", "shaper"})) << "added the other way round";
    std::vector<float> const out = renderPatch(loaded).at(0);
    ASSERT_EQ(out.size(), 960u);

    struct Expectation {
        size_t sample;
        float level;
    };
    Expectation const expected[] = {
        {0, 0.2f}, {400, 0.2f}, {676, 0.2f},    // the identity curve, through the waveshaper's sleep
        {677, 0.3f}, {700, 0.3f}, {804, 0.3f},  // the flat curve from the morpher's sample on
        {805, 0.3f}, {959, 0.3f},               // the flat curve ignores the input's level
    };
    for (Expectation const& e : expected) {
        SCOPED_TRACE("sample " + std::to_string(e.sample));
        EXPECT_NEAR(out[e.sample], e.level, 1e-4f);
    }

    AudioModule& shaper = loaded.patch->module("shaper");
    EXPECT_GT(shaper.host().sleepCount(), 0) << "nothing streams, so the waveshaper sleeps";
    EXPECT_LT(shaper.processCalls(), shaper.blocksRun()) << "a sleeping module is not called";
    EXPECT_GT(shaper.processCalls(), 1) << "the morpher's event woke it";
}

TEST(PatchScheduling, ALevelChangeOnAnAudioInputTakesEffectAtItsSample) {
    std::string patch = kMorphingCurve;
    patch.replace(patch.find("\"Position\": 0 }"), 15, "\"Position\": 0.0 }");
    patch.replace(patch.find("\"to\": 1 }"), 9, "\"to\": 0 }"); // the curve stays the identity
    LoadedPatch loaded = loadPatch(zr::test::bundle(), zr::test::descriptions(), patch, ".", "level.json");
    std::vector<float> const out = renderPatch(loaded).at(0);
    EXPECT_NEAR(out[804], 0.2f, 1e-4f);
    EXPECT_NEAR(out[805], -0.2f, 1e-4f) << "the sleeping waveshaper woke at the change";
    EXPECT_NEAR(out[959], -0.2f, 1e-4f);
}

} // namespace
} // namespace zr::host

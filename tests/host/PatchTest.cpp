// The patch runner with the built bundle: wiring rules, and what travels along the wires.

#include <stdexcept>

#include "host/Patch.h"
#include "tests/modules/BundleFixture.h"

namespace zr::host {
namespace {

using zr::test::shapeImage;

AudioModuleOptions smallBlocks() {
    AudioModuleOptions options;
    options.maxBlockSize = 256;
    return options;
}

TEST(Patch, RefusesWiringThatCannotWork) {
    Patch patch(zr::test::bundle(), zr::test::descriptions(), smallBlocks());
    patch.add("osc", L"ZR_ShapeOsc2");
    patch.add("shaper", L"ZR_Waveshaper2");
    patch.add("amp", L"ZR_ShapeAmp2");
    patch.connect("osc", "Out", "shaper", "Input");
    struct Case {
        char const* name;
        void (*attempt)(Patch&);
    };
    Case const cases[] = {
        {"unknown module", [](Patch& p) { p.connect("lfo", "Out", "shaper", "Input"); }},
        {"unknown pin", [](Patch& p) { p.connect("osc", "Output", "shaper", "Input"); }},
        {"output to output", [](Patch& p) { p.connect("osc", "Out", "shaper", "Out"); }},
        {"input to input", [](Patch& p) { p.connect("osc", "Pitch", "amp", "Shape"); }},
        {"datatypes differ", [](Patch& p) { p.connect("osc", "Out", "amp", "Center"); }},
        {"input wired twice", [](Patch& p) { p.connect("osc", "Out", "shaper", "Input"); }},
        {"name taken", [](Patch& p) { p.add("osc", L"ZR_ShapeEnv3"); }},
        {"undescribed module", [](Patch& p) { p.add("x", L"ZR_NoSuchModule"); }},
        {"not an audio input", [](Patch& p) { p.input("osc", "Gate"); }},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_THROW(c.attempt(patch), std::invalid_argument);
    }
}

TEST(Patch, ValuesAndStatesTravelAlongControlWiresAtTheirSample) {
    Patch patch(zr::test::bundle(), zr::test::descriptions(), smallBlocks());
    patch.add("amp", L"ZR_ShapeAmp2");
    patch.add("envelope", L"ZR_ShapeEnv3");
    AudioModule& shaper = patch.add("shaper", L"ZR_Waveshaper2");
    patch.connect("amp", "ShapeOut", "envelope", "Shape");
    patch.connect("envelope", "Out", "shaper", "Input");
    patch.start();
    // A flat contour at +5 V, made by the amplifier from a ramp with gain 0 around +5 V.
    patch.setBytes("amp", "Shape", 0, shapeImage({{0.0f, -1.0f}, {1.0f, 1.0f}}));
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

} // namespace
} // namespace zr::host

// ZR_ShapeAmp2 through the bundle: the exact image it sends for each batch of events.

#include <cmath>
#include <functional>
#include <limits>

#include "tests/modules/BundleFixture.h"

namespace {

using zr::test::shapeImage;
using Nodes = std::vector<std::pair<float, float>>;

constexpr int32_t kShape = 0, kCenter = 1, kGain = 2, kShapeOut = 3;

// The steps run in order on one module: what each queues, how many images the block sends
// and the last one (normalised nodes; x never changes).
struct Step {
    char const* name;
    std::function<void(zr::host::AudioModule&)> queue;
    size_t sends;
    Nodes image;
};

void setAll(zr::host::AudioModule& m, Nodes const& shape, float centerVolts, float gain) {
    m.setBytes(kShape, 3, shapeImage(shape));
    m.setFloat(kCenter, 3, centerVolts);
    m.setFloat(kGain, 3, gain);
}

TEST(ShapeAmplifier, ScalesHeightsAroundTheCenterOncePerBatchThatChangesSomething) {
    auto amp = zr::test::makeModule(L"ZR_ShapeAmp2");
    amp->open();
    amp->graphStart();
    amp->sendDefaults();
    amp->process(16);
    auto const first = amp->host().pinSets(kShapeOut);
    ASSERT_EQ(first.size(), 2u) << "the first update at graph start, then the first batch";
    EXPECT_EQ(first[1].bytes, shapeImage({{0.0f, 0.0f}, {1.0f, 0.0f}})) << "the default shape";

    Nodes const in = {{0.0f, -0.5f}, {0.25f, 0.25f}, {0.5f, 0.75f}, {1.0f, 0.0f}};
    float const nan = std::numeric_limits<float>::quiet_NaN();
    Step const steps[] = {
        {"gain 1: unchanged", [&](auto& m) { setAll(m, in, 2.0f, 1.0f); }, 1, in},
        {"gain 2 around 0", [&](auto& m) { setAll(m, in, 0.0f, 2.0f); }, 1, {{0.0f, -1.0f}, {0.25f, 0.5f}, {0.5f, 1.0f}, {1.0f, 0.0f}}},
        {"gain 0: flat at the center", [&](auto& m) { setAll(m, in, 2.5f, 0.0f); }, 1,
         {{0.0f, 0.5f}, {0.25f, 0.5f}, {0.5f, 0.5f}, {1.0f, 0.5f}}},
        {"gain -1: mirrored", [&](auto& m) { setAll(m, in, 1.25f, -1.0f); }, 1,
         {{0.0f, 1.0f}, {0.25f, 0.25f}, {0.5f, -0.25f}, {1.0f, 0.5f}}},
        {"center beyond +5 V acts as +5 V", [&](auto& m) { setAll(m, in, 20.0f, 0.0f); }, 1,
         {{0.0f, 1.0f}, {0.25f, 1.0f}, {0.5f, 1.0f}, {1.0f, 1.0f}}},
        {"center beyond -5 V acts as -5 V", [&](auto& m) { setAll(m, in, -7.5f, 0.5f); }, 1,
         {{0.0f, -0.75f}, {0.25f, -0.375f}, {0.5f, -0.125f}, {1.0f, -0.5f}}},
        {"NaN gain clips to the top", [&](auto& m) { setAll(m, in, 0.0f, nan); }, 1,
         {{0.0f, 1.0f}, {0.25f, 1.0f}, {0.5f, 1.0f}, {1.0f, 1.0f}}},
        {"a new shape, gain 2", [&](auto& m) { setAll(m, {{0.0f, 0.5f}, {1.0f, -0.5f}}, 0.0f, 2.0f); }, 1,
         {{0.0f, 1.0f}, {1.0f, -1.0f}}},
        {"nothing", [](auto&) {}, 0, {}},
        {"the same center and shape", [](auto& m) {
             m.setFloat(kCenter, 3, 0.0f);
             m.setBytes(kShape, 3, shapeImage({{0.0f, 0.5f}, {1.0f, -0.5f}}));
         }, 0, {}},
        {"the same gain", [](auto& m) { m.setFloat(kGain, 3, 2.0f); }, 1, {{0.0f, 1.0f}, {1.0f, -1.0f}}},
        {"a new center", [](auto& m) { m.setFloat(kCenter, 3, 2.5f); }, 1, {{0.0f, 0.5f}, {1.0f, -1.0f}}},
        {"a rejected image with a gain", [](auto& m) {
             m.setBytes(kShape, 3, {1, 2, 3});
             m.setFloat(kGain, 3, 1.0f);
         }, 1, {{0.0f, 0.5f}, {1.0f, -0.5f}}},
    };
    for (auto const& step : steps) {
        SCOPED_TRACE(step.name);
        step.queue(*amp);
        amp->host().clearRecords();
        amp->process(16);
        auto const sent = amp->host().pinSets(kShapeOut);
        ASSERT_EQ(sent.size(), step.sends);
        if (step.sends > 0) {
            EXPECT_EQ(sent.back().bytes, shapeImage(step.image));
            EXPECT_EQ(sent.back().timestamp, 3) << "sent at the batch's position";
        }
    }
}

} // namespace

// ZR_ShapeAmp2 through the bundle: the exact image it sends for each batch of events.

#include "tests/modules/ShapeModuleSupport.h"

namespace zr::test {
namespace {

constexpr int32_t kShape = 0, kCenter = 1, kGain = 2, kShapeOut = 3;

std::vector<std::pair<int32_t, PinValue>> all(NodePairs const& shape, float centerVolts, float gain) {
    return {{kShape, imageOf(shape)}, {kCenter, centerVolts}, {kGain, gain}};
}

TEST(ShapeAmplifier, ScalesHeightsAroundTheCenterOncePerBatchThatChangesSomething) {
    auto amp = running(L"ZR_ShapeAmp2");
    amp->process(kBatchSize);
    auto const first = amp->host().pinSets(kShapeOut);
    ASSERT_EQ(first.size(), 2u) << "the first update at graph start, then the first batch";
    EXPECT_EQ(first[1].bytes, shapeImage({{0.0f, 0.0f}, {1.0f, 0.0f}})) << "the default shape";

    NodePairs const in = {{0.0f, -0.5f}, {0.25f, 0.25f}, {0.5f, 0.75f}, {1.0f, 0.0f}};
    NodePairs const top = {{0.0f, 1.0f}, {0.25f, 1.0f}, {0.5f, 1.0f}, {1.0f, 1.0f}};
    NodePairs const down = {{0.0f, 0.5f}, {1.0f, -0.5f}};
    runSteps(*amp, kShapeOut, {
        {"gain 1: unchanged", all(in, 2.0f, 1.0f), in},
        {"gain 2 around 0", all(in, 0.0f, 2.0f), NodePairs{{0.0f, -1.0f}, {0.25f, 0.5f}, {0.5f, 1.0f}, {1.0f, 0.0f}}},
        {"gain 0: flat at the center", all(in, 2.5f, 0.0f), NodePairs{{0.0f, 0.5f}, {0.25f, 0.5f}, {0.5f, 0.5f}, {1.0f, 0.5f}}},
        {"gain -1: mirrored", all(in, 1.25f, -1.0f), NodePairs{{0.0f, 1.0f}, {0.25f, 0.25f}, {0.5f, -0.25f}, {1.0f, 0.5f}}},
        {"center beyond +5 V acts as +5 V", all(in, 20.0f, 0.0f), top},
        {"center beyond -5 V acts as -5 V", all(in, -7.5f, 0.5f),
         NodePairs{{0.0f, -0.75f}, {0.25f, -0.375f}, {0.5f, -0.125f}, {1.0f, -0.5f}}},
        {"NaN gain clips to the top", all(in, 0.0f, kNaN), top},
        {"a new shape, gain 2", all(down, 0.0f, 2.0f), NodePairs{{0.0f, 1.0f}, {1.0f, -1.0f}}},
        {"nothing", {}, std::nullopt},
        {"the same center and shape", {{kCenter, 0.0f}, {kShape, imageOf(down)}}, std::nullopt},
        {"the same gain", {{kGain, 2.0f}}, NodePairs{{0.0f, 1.0f}, {1.0f, -1.0f}}},
        {"a new center", {{kCenter, 2.5f}}, NodePairs{{0.0f, 0.5f}, {1.0f, -1.0f}}},
        {"a rejected image with a gain", {{kShape, Image{1, 2, 3}}, {kGain, 1.0f}}, down},
    });
}

} // namespace
} // namespace zr::test

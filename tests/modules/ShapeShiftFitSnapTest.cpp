// ZR_ShapeShift2, ZR_ShapeFit and ZR_ShapeSnap through the bundle: the shapes they send and
// the batches in which they stay silent.

#include <limits>

#include "tests/modules/ShapeModuleSupport.h"

namespace {

using zr::test::above;
using zr::test::below;
using zr::test::Image;
using zr::test::imageOf;
using zr::test::NodePairs;
using zr::test::sentOnce;

constexpr int32_t kShape = 0, kOut = 3;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

NodePairs const kRamp = {{0.0f, -1.0f}, {1.0f, 1.0f}};

// One batch: the values for pins 1 and 2 and the nodes expected in answer (nothing: nullopt).
struct Step {
    char const* name;
    std::optional<NodePairs> shape;
    std::optional<float> first;  // pin 1 as a float (Amount, Bottom) ...
    std::optional<float> second; // pin 2 as a float (Top, Level) ...
    std::optional<int32_t> integer; // ... or the int pin (Vertical at 2, Edge at 1)
    std::optional<NodePairs> expected;
};

void runSteps(zr::host::AudioModule& module, int32_t intPin, std::vector<Step> const& steps) {
    for (Step const& step : steps) {
        SCOPED_TRACE(step.name);
        if (step.shape)
            module.setBytes(kShape, 0, imageOf(*step.shape));
        if (step.first)
            module.setFloat(1, 0, *step.first);
        if (step.second)
            module.setFloat(2, 0, *step.second);
        if (step.integer)
            module.setInt(intPin, 0, *step.integer);
        std::optional<Image> const sent = sentOnce(module, kOut);
        ASSERT_EQ(sent.has_value(), step.expected.has_value());
        if (sent) {
            EXPECT_EQ(*sent, imageOf(*step.expected));
        }
    }
}

std::unique_ptr<zr::host::AudioModule> started(wchar_t const* id) {
    auto module = zr::test::makeModule(id);
    zr::test::openAndStart(*module);
    return module;
}

// Pins: Shape, Amount (float), Vertical (int), ShapeOut. Every batch sends.
TEST(ShapeShifter, ShiftsInteriorXOrEveryYAndSendsOnEveryBatch) {
    auto module = started(L"ZR_ShapeShift2");
    constexpr int32_t kVertical = 2;
    NodePairs const three = {{0.0f, 0.0f}, {0.5f, 0.8f}, {1.0f, -0.2f}};
    NodePairs const four = {{0.0f, 0.0f}, {0.4f, 0.0f}, {0.6f, 0.0f}, {1.0f, 0.0f}};
    float const twoVolts = (2.0f * 0.1f + 1.0f + 0.5f) - 1.0f; // x + 1 + 0.2, back from the offset domain
    float const first = above(1.0f);
    runSteps(*module, kVertical, {
        {"two nodes have nothing to shift", kRamp, 3.0f, {}, 0, kRamp},
        {"three nodes, 2 V right", three, 2.0f, {}, {}, NodePairs{{0.0f, 0.0f}, {twoVolts, 0.8f}, {1.0f, -0.2f}}},
        {"7 V right stops a step below the end", {}, 7.0f, {}, {}, NodePairs{{0.0f, 0.0f}, {below(2.0f) - 1.0f, 0.8f}, {1.0f, -0.2f}}},
        {"0 V sends the input", {}, 0.0f, {}, {}, three},
        {"an unchanged mode still sends", {}, {}, {}, 0, three},
        {"-10 V piles both interior nodes against the start", four, -10.0f, {}, {},
         NodePairs{{0.0f, 0.0f}, {first - 1.0f, 0.0f}, {above(first) - 1.0f, 0.0f}, {1.0f, 0.0f}}},
        {"2.5 V up moves the ends too and stops at 5 V", three, 2.5f, {}, 1,
         NodePairs{{0.0f, 0.5f}, {0.5f, 1.0f}, {1.0f, -0.2f + 0.5f}}},
        {"NaN vertically goes to the top", {}, kNaN, {}, {}, NodePairs{{0.0f, 1.0f}, {0.5f, 1.0f}, {1.0f, 1.0f}}},
        {"NaN horizontally moves nothing", {}, {}, {}, 0, three},
    });
    // A rejected image keeps the previous shape, which is shifted and sent again.
    module->setBytes(kShape, 0, {1, 2, 3});
    EXPECT_EQ(sentOnce(*module, kOut), imageOf(three));
}

// Pins: Shape, Bottom (float), Top (float), ShapeOut.
TEST(ShapeFit, FitsLowestAndHighestNodesOntoTheLevels) {
    auto module = started(L"ZR_ShapeFit");
    NodePairs const flat = {{0.0f, 0.0f}, {0.5f, 0.0f}, {1.0f, 0.0f}};
    NodePairs const tiny = {{0.0f, 0.0f}, {0.5f, 1e-39f}, {1.0f, 0.0f}};
    NodePairs const rampOfThree = {{0.0f, -1.0f}, {0.5f, 0.0f}, {1.0f, 1.0f}};
    runSteps(*module, 0, {
        {"ramp into -2.5..2.5 V", kRamp, -2.5f, 2.5f, {}, NodePairs{{0.0f, -0.5f}, {1.0f, 0.5f}}},
        {"levels crossed turn it upside down", {}, 5.0f, -5.0f, {}, NodePairs{{0.0f, 1.0f}, {1.0f, -1.0f}}},
        {"the identity after a new input is sent", rampOfThree, -5.0f, 5.0f, {}, rampOfThree},
        {"a level that leaves the input as it is sends nothing", {}, {}, 5.0f, {}, std::nullopt},
        {"levels beyond 5 V act as 5 V", {}, -9.0f, 20.0f, {}, std::nullopt},
        {"equal levels flatten", {}, 1.0f, 1.0f, {}, NodePairs{{0.0f, 0.2f}, {0.5f, 0.2f}, {1.0f, 0.2f}}},
        {"equal levels send on every batch", {}, 1.0f, {}, {}, NodePairs{{0.0f, 0.2f}, {0.5f, 0.2f}, {1.0f, 0.2f}}},
        {"a flat shape goes to the middle", flat, -5.0f, 5.0f, {}, flat},
        {"a flat shape sends on every batch", {}, {}, 5.0f, {}, flat},
        {"a subnormal spread counts as flat", tiny, -5.0f, 5.0f, {}, flat},
    });
}

// Pins: Shape, Edge (int), Level (float), ShapeOut.
TEST(ShapeSnap, MovesTheHighestOrLowestNodeToTheLevel) {
    auto module = started(L"ZR_ShapeSnap");
    constexpr int32_t kEdge = 1;
    NodePairs const shape = {{0.0f, -0.75f}, {0.5f, 0.5f}, {1.0f, 0.25f}};
    runSteps(*module, kEdge, {
        {"highest from 2.5 V down to 0 V, stopping at -5 V", shape, {}, 0.0f, 0,
         NodePairs{{0.0f, -1.0f}, {0.5f, 0.0f}, {1.0f, -0.25f}}},
        {"lowest to 0 V", {}, {}, {}, 1, NodePairs{{0.0f, 0.0f}, {0.5f, 1.0f}, {1.0f, 1.0f}}},
        {"lowest to its own level sends nothing", {}, {}, -3.75f, {}, std::nullopt},
        {"highest to its own level sends nothing", {}, {}, 2.5f, 0, std::nullopt},
        {"highest to a level beyond the range, nodes clamped", {}, {}, 10.0f, {},
         NodePairs{{0.0f, -0.75f + 1.5f}, {0.5f, 1.0f}, {1.0f, 1.0f}}},
        {"a new input is sent even if the snap moves nothing", NodePairs{{0.0f, 0.0f}, {1.0f, 0.5f}}, {}, 2.5f, {},
         NodePairs{{0.0f, 0.0f}, {1.0f, 0.5f}}},
    });
}

} // namespace

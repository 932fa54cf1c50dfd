// ZR_ShapeNodeModul2 and ZR_ShapeNodeModif2 through the bundle: which node moves where, and
// in which batches they stay silent.

#include <limits>

#include "tests/modules/ShapeModuleSupport.h"

namespace {

using zr::test::above;
using zr::test::below;
using zr::test::Image;
using zr::test::imageOf;
using zr::test::NodePairs;
using zr::test::sentOnce;

constexpr int32_t kShape = 0, kNodeIndex = 1, kX = 2, kY = 3, kOut = 4;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// "(-5,-5)(0,0)(5,5)"
NodePairs const kThree = {{0.0f, -1.0f}, {0.5f, 0.0f}, {1.0f, 1.0f}};

// One batch: the pin values to send and the nodes expected in answer (nothing: nullopt).
struct Step {
    char const* name;
    std::optional<Image> shape;
    std::optional<int32_t> index;
    std::optional<float> x, y;
    std::optional<NodePairs> expected;
};

void runSteps(zr::host::AudioModule& module, std::vector<Step> const& steps) {
    for (Step const& step : steps) {
        SCOPED_TRACE(step.name);
        if (step.shape)
            module.setBytes(kShape, 0, *step.shape);
        if (step.index)
            module.setInt(kNodeIndex, 0, *step.index);
        if (step.x)
            module.setFloat(kX, 0, *step.x);
        if (step.y)
            module.setFloat(kY, 0, *step.y);
        std::optional<Image> const sent = sentOnce(module, kOut);
        ASSERT_EQ(sent.has_value(), step.expected.has_value());
        if (sent) {
            EXPECT_EQ(*sent, imageOf(*step.expected));
        }
    }
}

NodePairs with(NodePairs nodes, std::size_t index, float x, float y) {
    nodes[index] = {x, y};
    return nodes;
}

std::unique_ptr<zr::host::AudioModule> started(wchar_t const* id) {
    auto module = zr::test::makeModule(id);
    zr::test::openAndStart(*module);
    return module;
}

TEST(ShapeNodeModulator, MovesTheSelectedNodeTowardNeighboursAndLimits) {
    auto module = started(L"ZR_ShapeNodeModul2");
    float const justBelowTheEnd = below(2.0f) - 1.0f;
    runSteps(*module, {
        {"x all the way stops a step below the next node", imageOf(kThree), 1, 1.0f, 0.0f,
         with(kThree, 1, justBelowTheEnd, 0.0f)},
        {"half way toward the previous node", {}, {}, -0.5f, {}, with(kThree, 1, 0.25f, 0.0f)},
        {"an x event for a selected node always sends", {}, {}, -0.5f, {}, with(kThree, 1, 0.25f, 0.0f)},
        {"y half way toward +1", {}, {}, {}, 0.5f, with(kThree, 1, 0.25f, 0.5f)},
        {"the same y amount again", {}, {}, {}, 0.5f, std::nullopt},
        {"y all the way down", {}, {}, {}, -1.0f, with(kThree, 1, 0.25f, -1.0f)},
        // A new selection restores the node moved before.
        {"first node: only y moves, from -1 half way up", {}, 0, {}, 0.5f, with(kThree, 0, 0.0f, 0.0f)},
        {"last node: x stays, y is already at the top", {}, 2, -1.0f, {}, kThree},
        {"an index beyond the nodes selects none: the input goes out once", {}, 5, {}, {}, kThree},
        {"still none", {}, 7, {}, {}, std::nullopt},
        {"amounts without a node send nothing", {}, {}, 0.3f, -0.2f, std::nullopt},
    });
}

TEST(ShapeNodeModulator, ShapeWithFewerNodesDropsAnOutOfRangeSelection) {
    auto module = started(L"ZR_ShapeNodeModul2");
    NodePairs const ramp = {{0.0f, -1.0f}, {1.0f, 1.0f}};
    runSteps(*module, {
        {"last node of three moves down", imageOf(kThree), 2, 0.0f, -1.0f, with(kThree, 2, 1.0f, -1.0f)},
        {"two nodes: index 2 is gone, the ramp goes out unchanged", imageOf(ramp), {}, {}, {}, ramp},
        {"back to three nodes: index 2 is selected again", imageOf(kThree), {}, {}, {}, with(kThree, 2, 1.0f, -1.0f)},
    });
}

TEST(ShapeNodeModifier, PlacesTheSelectedNodeInVolts) {
    auto module = started(L"ZR_ShapeNodeModif2");
    runSteps(*module, {
        {"node 1 to (0 V, 2.5 V)", imageOf(kThree), 1, 0.0f, 2.5f, with(kThree, 1, 0.5f, 0.5f)},
        {"x beyond the next node stops a step inside", {}, {}, 10.0f, {}, with(kThree, 1, below(2.0f) - 1.0f, 0.5f)},
        {"x beyond the previous node stops a step inside", {}, {}, -8.0f, {}, with(kThree, 1, above(1.0f) - 1.0f, 0.5f)},
        {"node 0 where it already is sends nothing", {}, 0, {}, -5.0f, std::nullopt},
        {"node 0 moves in y only", {}, {}, 3.0f, 5.0f, with(kThree, 0, 0.0f, 1.0f)},
        {"y beyond 5 V is clamped", {}, 2, {}, 9.0f, std::nullopt},
        {"index -1: only a new shape goes out", {}, -1, 1.0f, 1.0f, std::nullopt},
        {"index -1 passes a new shape through", imageOf(with(kThree, 1, 0.25f, 0.0f)), {}, {}, {},
         with(kThree, 1, 0.25f, 0.0f)},
        {"an index beyond the nodes likewise", imageOf(kThree), 3, {}, {}, kThree},
    });
}

// x values so small that x + 1 collapses: the neighbours leave no place between them, so the
// node keeps its x instead of passing its right neighbour.
TEST(ShapeNodeModules, CollapsedNeighboursAndNaNRequestsLeaveXWhereItIs) {
    NodePairs const tight = {{0.0f, 0.0f}, {4.7683716e-8f, 0.0f}, {9.536743e-8f, 0.0f}, {1.0f, 0.0f}};
    struct Case {
        wchar_t const* id;
        NodePairs shape;
        float x, y;
        NodePairs expected;
    };
    Case const cases[] = {
        {L"ZR_ShapeNodeModul2", tight, 1.0f, 0.5f, with(tight, 1, tight[1].first, 0.5f)},
        {L"ZR_ShapeNodeModif2", tight, 4.0f, 2.5f, with(tight, 1, tight[1].first, 0.5f)},
        {L"ZR_ShapeNodeModul2", kThree, kNaN, kNaN, with(kThree, 1, 0.5f, 1.0f)},
        {L"ZR_ShapeNodeModif2", kThree, kNaN, kNaN, with(kThree, 1, 0.5f, 1.0f)},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        Case const& c = cases[i];
        SCOPED_TRACE("case " + std::to_string(i));
        auto module = started(c.id);
        runSteps(*module, {{"move node 1", imageOf(c.shape), 1, c.x, c.y, c.expected}});
        EXPECT_TRUE(zr::test::keepsNodeInvariants(c.expected));
    }
}

} // namespace

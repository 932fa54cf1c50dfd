// ZR_ShapeNodeModul2 and ZR_ShapeNodeModif2 through the bundle: which node moves where, and
// in which batches they stay silent.

#include <cwchar>
#include <limits>

#include "tests/modules/ShapeModuleSupport.h"

namespace zr::test {
namespace {

constexpr int32_t kShape = 0, kNodeIndex = 1, kX = 2, kY = 3, kOut = 4;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
NodePairs const kThree = {{0.0f, -1.0f}, {0.5f, 0.0f}, {1.0f, 1.0f}}; // "(-5,-5)(0,0)(5,5)"

NodePairs with(NodePairs nodes, std::size_t index, float x, float y) {
    nodes[index] = {x, y};
    return nodes;
}

TEST(ShapeNodeModules, MoveTheSelectedNodeWithinNeighboursAndLimits) {
    std::pair<int32_t, PinValue> const three{kShape, imageOf(kThree)};
    struct Script {
        wchar_t const* id;
        std::vector<Step> steps;
    } const scripts[] = {
        {L"ZR_ShapeNodeModul2", {
            {"x all the way stops a step below the next node", {three, {kNodeIndex, 1}, {kX, 1.0f}, {kY, 0.0f}},
             with(kThree, 1, below(2.0f) - 1.0f, 0.0f)},
            {"half way toward the previous node", {{kX, -0.5f}}, with(kThree, 1, 0.25f, 0.0f)},
            {"an x event for a selected node always sends", {{kX, -0.5f}}, with(kThree, 1, 0.25f, 0.0f)},
            {"y half way toward +1", {{kY, 0.5f}}, with(kThree, 1, 0.25f, 0.5f)},
            {"the same y amount again", {{kY, 0.5f}}, std::nullopt},
            // A new selection restores the node moved before.
            {"first node: only y moves", {{kNodeIndex, 0}, {kY, 0.5f}}, with(kThree, 0, 0.0f, 0.0f)},
            {"last node: x stays, y is already at the top", {{kNodeIndex, 2}, {kX, -1.0f}}, kThree},
            {"an index beyond the nodes: the input goes out once", {{kNodeIndex, 5}}, kThree},
            {"still none", {{kNodeIndex, 7}}, std::nullopt},
            {"amounts without a node send nothing", {{kX, 0.3f}, {kY, -0.2f}}, std::nullopt},
            {"last node of three moves down", {{kNodeIndex, 2}, {kX, 0.0f}, {kY, -1.0f}}, with(kThree, 2, 1.0f, -1.0f)},
            {"two nodes: index 2 is gone", {{kShape, imageOf({{0.0f, -1.0f}, {1.0f, 1.0f}})}},
             NodePairs{{0.0f, -1.0f}, {1.0f, 1.0f}}},
            {"back to three: index 2 is selected again", {three}, with(kThree, 2, 1.0f, -1.0f)},
            {"NaN amounts: x stays, y to the top", {three, {kNodeIndex, 1}, {kX, kNaN}, {kY, kNaN}}, with(kThree, 1, 0.5f, 1.0f)},
        }},
        {L"ZR_ShapeNodeModif2", {
            {"node 1 to (0 V, 2.5 V)", {three, {kNodeIndex, 1}, {kX, 0.0f}, {kY, 2.5f}}, with(kThree, 1, 0.5f, 0.5f)},
            {"beyond the next node stops a step inside", {{kX, 10.0f}}, with(kThree, 1, below(2.0f) - 1.0f, 0.5f)},
            {"beyond the previous node stops a step inside", {{kX, -8.0f}}, with(kThree, 1, above(1.0f) - 1.0f, 0.5f)},
            {"node 0 where it already is sends nothing", {{kNodeIndex, 0}, {kY, -5.0f}}, std::nullopt},
            {"node 0 moves in y only", {{kX, 3.0f}, {kY, 5.0f}}, with(kThree, 0, 0.0f, 1.0f)},
            {"y beyond 5 V is clamped", {{kNodeIndex, 2}, {kY, 9.0f}}, std::nullopt},
            {"index -1: only a new shape goes out", {{kNodeIndex, -1}, {kX, 1.0f}, {kY, 1.0f}}, std::nullopt},
            {"index -1 passes a new shape through", {{kShape, imageOf(with(kThree, 1, 0.25f, 0.0f))}},
             with(kThree, 1, 0.25f, 0.0f)},
            {"an index beyond the nodes likewise", {three, {kNodeIndex, 3}}, kThree},
            {"NaN values: x stays, y to the top", {three, {kNodeIndex, 1}, {kX, kNaN}, {kY, kNaN}}, with(kThree, 1, 0.5f, 1.0f)},
        }},
    };
    for (Script const& script : scripts) {
        SCOPED_TRACE(std::string(script.id, script.id + std::wcslen(script.id)));
        runSteps(*started(script.id), kOut, script.steps);
    }
}

} // namespace
} // namespace zr::test

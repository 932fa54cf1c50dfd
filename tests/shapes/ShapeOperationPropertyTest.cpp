// Properties of the shape operations over random shapes (seeded, so failures repeat). The
// morph, shift and fit properties are checked through the modules that use them.

#include "ShapeTestSupport.h"
#include "RandomShapes.h"

#include <limits>
#include <random>

namespace {

using zr::Node;
using zr::Shape;
using zr::test::NodePairs;
using zr::test::keepsNodeInvariants;
using zr::test::randomValidNodes;

constexpr int kTrials = 300;

Shape shapeOf(NodePairs const& pairs) {
    std::vector<Node> nodes;
    for (auto const& [x, y] : pairs)
        nodes.push_back({x, y});
    return zr::test::shapeWith(nodes);
}

NodePairs pairsOf(Shape const& shape) {
    NodePairs pairs;
    for (int32_t i = 0; i < shape.nodeCount; ++i)
        pairs.emplace_back(shape.nodes[i].x, shape.nodes[i].y);
    return pairs;
}

TEST(ShapeOperationProperties, NodeEditsKeepInvariants) {
    std::mt19937 rng(4242);
    std::uniform_real_distribution<float> anywhere(-0.5f, 2.5f);
    std::uniform_real_distribution<float> level(-1.5f, 1.5f);
    for (int trial = 0; trial < kTrials; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        Shape shape = shapeOf(randomValidNodes(rng));
        std::uniform_int_distribution<int32_t> indexOf(-2, shape.nodeCount + 1);
        for (int edit = 0; edit < 10; ++edit) {
            shape.placeNodeXBetweenNeighbours(indexOf(rng), anywhere(rng));
            shape.setNodeY(indexOf(rng), level(rng));
            shape.insertNode({anywhere(rng), level(rng)});
        }
        ASSERT_TRUE(keepsNodeInvariants(pairsOf(shape)));
    }
}

// Accepted images are not checked: the vertical edits still leave every y within -1..+1, and
// nothing reads or writes outside the record.
TEST(ShapeOperationProperties, HostileNodesLeaveVerticalEditsWithinRange) {
    float const specials[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(), 7.0f, -3.0f, 0.5f, 1e-39f};
    std::mt19937 rng(31337);
    std::uniform_int_distribution<int> pick(0, static_cast<int>(std::size(specials)) - 1);
    for (int trial = 0; trial < kTrials; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        std::vector<Node> nodes(static_cast<std::size_t>(std::uniform_int_distribution<int>(2, 100)(rng)));
        for (Node& node : nodes)
            node = {specials[pick(rng)], specials[pick(rng)]};
        for (int edit = 0; edit < 3; ++edit) {
            Shape shape = zr::test::shapeWith(nodes);
            if (edit == 0)
                shape.fitVert(-0.5f, 0.5f);
            else if (edit == 1)
                shape.snapVert(0.25f, trial % 2 == 0);
            else
                shape.shiftVert(-0.125f);
            for (int32_t i = 0; i < shape.nodeCount; ++i)
                ASSERT_TRUE(shape.nodes[i].y >= -1.0f && shape.nodes[i].y <= 1.0f) << "edit " << edit << " node " << i;
        }
        Shape moved = zr::test::shapeWith(nodes);
        moved.shiftHoriz(0.3f);
        moved.shiftHoriz(-0.6f);
        EXPECT_EQ(moved.nodeCount, static_cast<int32_t>(nodes.size()));
    }
}

} // namespace

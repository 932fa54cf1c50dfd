// Properties of the shape operations over random shapes (seeded, so failures repeat). The
// morph, shift and fit properties are checked through the modules that use them.

#include "RandomShapes.h"
#include "ShapeTestSupport.h"

#include <limits>
#include <random>

namespace {

using zr::Node;
using zr::Shape;

// Node edits at any index and position keep the invariants of a valid shape; vertical edits
// of unchecked nodes (NaN, infinities, out of range) still leave every y within -1..+1.
TEST(ShapeOperationProperties, EditsKeepTheInvariants) {
    float const specials[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(), 7.0f, -3.0f, 0.5f, 1e-39f};
    std::mt19937 rng(4242);
    std::uniform_real_distribution<float> anywhere(-0.5f, 2.5f);
    std::uniform_real_distribution<float> level(-1.5f, 1.5f);
    std::uniform_int_distribution<int> pick(0, static_cast<int>(std::size(specials)) - 1);
    for (int trial = 0; trial < 300; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        std::vector<Node> nodes;
        for (auto const& [x, y] : zr::test::randomValidNodes(rng))
            nodes.push_back({x, y});
        Shape shape = zr::test::shapeWith(nodes);
        std::uniform_int_distribution<int32_t> indexOf(-2, shape.nodeCount + 1);
        for (int edit = 0; edit < 10; ++edit) {
            shape.placeNodeXBetweenNeighbours(indexOf(rng), anywhere(rng));
            shape.setNodeY(indexOf(rng), level(rng));
            shape.insertNode({anywhere(rng), level(rng)});
        }
        zr::test::NodePairs edited;
        for (int32_t i = 0; i < shape.nodeCount; ++i)
            edited.emplace_back(shape.nodes[i].x, shape.nodes[i].y);
        ASSERT_TRUE(zr::test::keepsNodeInvariants(edited));

        for (Node& node : nodes)
            node = {specials[pick(rng)], specials[pick(rng)]};
        for (int edit = 0; edit < 3; ++edit) {
            Shape hostile = zr::test::shapeWith(nodes);
            if (edit == 0)
                hostile.fitVert(-0.5f, 0.5f);
            else if (edit == 1)
                hostile.snapVert(0.25f, trial % 2 == 0);
            else
                hostile.shiftVert(-0.125f);
            for (int32_t i = 0; i < hostile.nodeCount; ++i)
                ASSERT_TRUE(hostile.nodes[i].y >= -1.0f && hostile.nodes[i].y <= 1.0f) << "edit " << edit << " node " << i;
        }
        Shape moved = zr::test::shapeWith(nodes);
        moved.shiftHoriz(0.3f);
        moved.shiftHoriz(-0.6f);
        EXPECT_EQ(moved.nodeCount, static_cast<int32_t>(nodes.size()));
    }
}

} // namespace

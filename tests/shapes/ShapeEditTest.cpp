// Node edits shared by the editor and the reshaping modules.

#include <cmath>
#include <limits>

#include "tests/shapes/ShapeTestSupport.h"

namespace zr::test {
namespace {

using Pairs = std::vector<std::pair<float, float>>;

Pairs pairsOf(Node const* nodes, int32_t count) {
    Pairs pairs;
    for (int32_t i = 0; i < count; ++i)
        pairs.emplace_back(nodes[i].x, nodes[i].y);
    return pairs;
}
Pairs nodesOf(Shape const& shape) { return pairsOf(shape.nodes, shape.nodeCount); }
Pairs pairsOf(std::vector<Node> const& nodes) { return pairsOf(nodes.data(), static_cast<int32_t>(nodes.size())); }

TEST(ShapeEdit, FlipsMirrorAndTwiceRestore) {
    struct Case {
        std::vector<Node> nodes;
        std::vector<Node> horizontal;
    } const cases[] = {
        {{{0, -1}, {0.25f, 0.5f}, {1, 1}}, {{0, 1}, {0.75f, 0.5f}, {1, -1}}},
        {{{0, -1}, {0.5f, 1}, {1, 0}}, {{0, 0}, {0.5f, 1}, {1, -1}}},
        {{{0, 0.2f}, {0.25f, 0.4f}, {0.5f, 0.6f}, {1, 0.8f}}, {{0, 0.8f}, {0.5f, 0.6f}, {0.75f, 0.4f}, {1, 0.2f}}},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.nodes.size());
        Shape shape = shapeWith(c.nodes);
        shape.flipHorizontal();
        EXPECT_EQ(nodesOf(shape), pairsOf(c.horizontal));
        EXPECT_EQ(shape.changed, 1);
        shape.flipHorizontal();
        EXPECT_EQ(nodesOf(shape), pairsOf(c.nodes));
        shape.changed = 0;
        shape.flipVertical();
        EXPECT_EQ(shape.changed, 1);
        for (int32_t i = 0; i < shape.nodeCount; ++i)
            EXPECT_EQ(shape.nodes[i].y, -c.nodes[i].y);
    }
}

// In the +1.0 shifted scale a node stops one step inside its neighbours; where no value lies
// strictly between them, or the request is not a number, the node stays.
TEST(ShapeEdit, InsertAndRemoveKeepTheCountWithinBounds) {
    Shape shape = shapeWith({{0, 0}, {1, 0}});
    EXPECT_FALSE(shape.removeNode(0)) << "two nodes are the minimum";
    EXPECT_FALSE(shape.insertNode(0, {0.5f, 0})) << "never before the first node";
    EXPECT_FALSE(shape.insertNode(2, {0.5f, 0})) << "never after the last node";
    EXPECT_TRUE(shape.insertNode(1, {0.5f, 0.5f}));
    EXPECT_EQ(nodesOf(shape), (Pairs{{0, 0}, {0.5f, 0.5f}, {1, 0}}));
    EXPECT_TRUE(shape.removeNode(1));
    EXPECT_EQ(nodesOf(shape), (Pairs{{0, 0}, {1, 0}}));
    for (int32_t i = 2; i < Shape::kMaxNodes; ++i)
        ASSERT_TRUE(shape.insertNode(1, {0.5f, 0}));
    EXPECT_FALSE(shape.insertNode(1, {0.5f, 0})) << "100 nodes are the maximum";
    EXPECT_EQ(shape.nodeCount, Shape::kMaxNodes);
    EXPECT_TRUE(shape.removeNode(99));
    EXPECT_EQ(shape.nodes[98].x, 0.5f);
    EXPECT_FALSE(shape.removeNode(99));
}

} // namespace
} // namespace zr::test

// The x-order rule and the edits built on it: placing a node between its neighbours, setting
// a node's y, inserting a node, and the horizontal shift.

#include "ShapeTestSupport.h"

#include <cmath>
#include <limits>

namespace {

using zr::Node;
using zr::Shape;
using zr::test::expectNodes;
using zr::test::shapeWith;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

float above(float v) { return std::nextafter(v, 2.0f); }
float below(float v) { return std::nextafter(v, 0.0f); }

// Three nodes at 0, 0.5, 1: node 1 may go anywhere strictly between 1 and 2 in the offset domain.
TEST(ShapeNodeEdits, PlaceNodeXStaysStrictlyBetweenItsNeighbours) {
    struct Case {
        char const* name;
        int32_t index;
        float offsetX;
        bool moves;
        float x; // node 1's x afterwards
    };
    Case const cases[] = {
        {"inside", 1, 1.25f, true, 0.25f},
        {"onto the right neighbour", 1, 2.0f, true, below(2.0f) - 1.0f},
        {"past the right neighbour", 1, 7.0f, true, below(2.0f) - 1.0f},
        {"onto the left neighbour", 1, 1.0f, true, above(1.0f) - 1.0f},
        {"past the left neighbour", 1, -3.0f, true, above(1.0f) - 1.0f},
        {"where it is", 1, 1.5f, false, 0.5f},
        {"NaN request", 1, kNaN, false, 0.5f},
        {"first node", 0, 1.25f, false, 0.5f},
        {"last node", 2, 1.25f, false, 0.5f},
        {"below the nodes", -1, 1.25f, false, 0.5f},
        {"beyond the nodes", 3, 1.25f, false, 0.5f},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        Shape shape = shapeWith({{0.0f, 0.0f}, {0.5f, 0.5f}, {1.0f, 0.0f}});
        EXPECT_EQ(shape.placeNodeXBetweenNeighbours(c.index, c.offsetX), c.moves);
        EXPECT_EQ(shape.changed, c.moves ? 1 : 0);
        expectNodes(shape, {{0.0f, 0.0f}, {c.x, 0.5f}, {1.0f, 0.0f}});
    }
}

// x values so small that x + 1 collapses: neighbours less than two offset steps apart leave
// no representable place between them, so the node stays instead of passing its neighbour.
TEST(ShapeNodeEdits, PlaceNodeXKeepsTheOrderWhereNeighboursCollapse) {
    Shape shape(L"(-5,0)(-4.9999995,0)(-4.999999,0)(5,0)");
    ASSERT_EQ(shape.invalid, 0);
    Shape const before = shape;
    for (float request : {1.0f, 1.5f, 0.0f, 3.0f}) {
        SCOPED_TRACE(request);
        EXPECT_FALSE(shape.placeNodeXBetweenNeighbours(1, request));
        zr::test::expectSameCurve(shape, before);
    }
    // A shift to the left finds both nodes already as far left as the offset domain allows.
    EXPECT_FALSE(shape.shiftHoriz(-0.25f));
    zr::test::expectSameCurve(shape, before);
    EXPECT_EQ(Shape(shape.getString().c_str()).invalid, 0) << "the text form still loads";
}

TEST(ShapeNodeEdits, SetNodeYClampsAndReportsChanges) {
    struct Case {
        char const* name;
        int32_t index;
        float y;
        bool changes;
        float stored;
    };
    Case const cases[] = {
        {"inside", 1, -0.25f, true, -0.25f}, {"same", 1, 0.5f, false, 0.5f},   {"above", 1, 3.0f, true, 1.0f},
        {"below", 1, -7.0f, true, -1.0f},    {"NaN is the top", 1, kNaN, true, 1.0f},
        {"end node", 2, 0.75f, true, 0.75f}, {"no such node", 3, 0.75f, false, 0.5f},
        {"negative index", -1, 0.75f, false, 0.5f},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        Shape shape = shapeWith({{0.0f, 0.5f}, {0.5f, 0.5f}, {1.0f, 0.5f}});
        EXPECT_EQ(shape.setNodeY(c.index, c.y), c.changes);
        EXPECT_EQ(shape.changed, c.changes ? 1 : 0);
        int32_t const looked = c.index >= 0 && c.index < 3 ? c.index : 1;
        EXPECT_EQ(shape.nodes[looked].y, c.stored);
    }
    Shape withNaN = shapeWith({{0.0f, kNaN}, {1.0f, 0.0f}});
    EXPECT_TRUE(withNaN.setNodeY(0, 1.0f)) << "a stored NaN differs from any value";
}

TEST(ShapeNodeEdits, InsertNodeKeepsXSortedAndRefusesWhatCannotFit) {
    Shape shape;
    EXPECT_TRUE(shape.insertNode({0.5f, 0.1f}));
    EXPECT_TRUE(shape.insertNode({0.25f, 0.2f}));
    EXPECT_TRUE(shape.insertNode({0.75f, 0.3f}));
    expectNodes(shape, {{0.0f, 0.0f}, {0.25f, 0.2f}, {0.5f, 0.1f}, {0.75f, 0.3f}, {1.0f, 0.0f}});
    EXPECT_EQ(shape.changed, 1);

    shape.changed = 0;
    Shape const before = shape;
    for (float x : {0.5f, 0.0f, 1.0f, -0.5f, 1.5f, kNaN}) {
        SCOPED_TRACE(x);
        EXPECT_FALSE(shape.insertNode({x, 0.9f}));
        zr::test::expectSameCurve(shape, before);
    }

    Shape full;
    for (int i = 1; i <= 98; ++i)
        ASSERT_TRUE(full.insertNode({static_cast<float>(i) / 99.0f, 0.0f}));
    EXPECT_EQ(full.nodeCount, 100);
    EXPECT_FALSE(full.insertNode({0.001f, 0.0f}));
    EXPECT_EQ(full.nodeCount, 100);
}

TEST(ShapeNodeEdits, ShiftHorizMovesInteriorNodesWithoutPassingNeighbours) {
    struct Case {
        char const* name;
        std::vector<Node> nodes;
        float amount;
        bool moves;
        std::vector<float> xs; // afterwards
    };
    float const inward = above(1.0f);
    Case const cases[] = {
        {"two nodes stay", {{0.0f, -1.0f}, {1.0f, 1.0f}}, 0.3f, false, {0.0f, 1.0f}},
        {"zero amount", {{0.0f, 0.0f}, {0.5f, 0.0f}, {1.0f, 0.0f}}, 0.0f, false, {0.0f, 0.5f, 1.0f}},
        {"by 2 volts", {{0.0f, 0.0f}, {0.5f, 0.0f}, {1.0f, 0.0f}}, 0.2f, true, {0.0f, (1.2f + 0.5f) - 1.0f, 1.0f}},
        {"by 7 volts stops a step below the end", {{0.0f, 0.0f}, {0.5f, 0.0f}, {1.0f, 0.0f}}, 0.7f, true,
         {0.0f, below(2.0f) - 1.0f, 1.0f}},
        {"by -10 volts piles up at the start", {{0.0f, 0.0f}, {0.4f, 0.0f}, {0.6f, 0.0f}, {1.0f, 0.0f}}, -1.0f, true,
         {0.0f, inward - 1.0f, above(inward) - 1.0f, 1.0f}},
        {"by +10 volts piles up at the end", {{0.0f, 0.0f}, {0.4f, 0.0f}, {0.6f, 0.0f}, {1.0f, 0.0f}}, 1.0f, true,
         {0.0f, below(below(2.0f)) - 1.0f, below(2.0f) - 1.0f, 1.0f}},
        {"NaN amount moves nothing", {{0.0f, 0.0f}, {0.5f, 0.0f}, {1.0f, 0.0f}}, kNaN, false, {0.0f, 0.5f, 1.0f}},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        Shape shape = shapeWith(c.nodes);
        EXPECT_EQ(shape.shiftHoriz(c.amount), c.moves);
        EXPECT_EQ(shape.changed, c.moves ? 1 : 0);
        ASSERT_EQ(shape.nodeCount, static_cast<int32_t>(c.xs.size()));
        for (std::size_t i = 0; i < c.xs.size(); ++i) {
            EXPECT_EQ(shape.nodes[i].x, c.xs[i]) << "node " << i;
            EXPECT_EQ(shape.nodes[i].y, c.nodes[i].y) << "node " << i;
        }
    }
}

} // namespace

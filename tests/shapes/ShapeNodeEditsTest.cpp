// The x-order rule: a placed or inserted node stays strictly between its neighbours or stays out.

#include "ShapeTestSupport.h"

#include <cmath>
#include <limits>
#include <tuple>

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
    // Name, node index, requested x + 1, whether it moves, node 1's x afterwards.
    std::tuple<char const*, int32_t, float, bool, float> const cases[] = {
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
    for (auto const& [name, index, offsetX, moves, x] : cases) {
        SCOPED_TRACE(name);
        Shape shape = shapeWith({{0.0f, 0.0f}, {0.5f, 0.5f}, {1.0f, 0.0f}});
        EXPECT_EQ(shape.placeNodeXBetweenNeighbours(index, offsetX), moves);
        EXPECT_EQ(shape.changed, moves ? 1 : 0);
        expectNodes(shape, {{0.0f, 0.0f}, {x, 0.5f}, {1.0f, 0.0f}});
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

// Only an x strictly inside 0..1 that no node has yet finds a place; y is clamped.
TEST(ShapeNodeEdits, InsertNodeKeepsTheOrderOrRefuses) {
    // Name, node, the nodes afterwards (none: refused, the shape as it was).
    std::tuple<char const*, Node, std::vector<Node>> const cases[] = {
        {"between the first two", {0.25f, 7.0f}, {{0.0f, 0.0f}, {0.25f, 1.0f}, {0.5f, 0.5f}, {1.0f, 0.0f}}},
        {"between the last two, NaN y", {0.75f, kNaN}, {{0.0f, 0.0f}, {0.5f, 0.5f}, {0.75f, 1.0f}, {1.0f, 0.0f}}},
        {"on a node", {0.5f, 0.0f}, {}},
        {"at 0", {0.0f, 0.0f}, {}},
        {"at 1", {1.0f, 0.0f}, {}},
        {"below 0", {-0.5f, 0.0f}, {}},
        {"beyond 1", {2.5f, 0.0f}, {}},
        {"NaN x", {kNaN, 0.0f}, {}},
    };
    std::vector<Node> const three = {{0.0f, 0.0f}, {0.5f, 0.5f}, {1.0f, 0.0f}};
    for (auto const& [name, node, expected] : cases) {
        SCOPED_TRACE(name);
        Shape shape = shapeWith(three);
        EXPECT_EQ(shape.insertNode(node), !expected.empty());
        expectNodes(shape, expected.empty() ? three : expected);
    }
    std::vector<Node> full;
    for (int i = 0; i < 100; ++i)
        full.push_back({static_cast<float>(i) / 100.0f, 0.0f});
    full.back().x = 1.0f;
    Shape shape = shapeWith(full);
    EXPECT_FALSE(shape.insertNode({0.995f, 0.0f})) << "a full shape takes no node";
}

} // namespace

// Node edits under the x-order rule (a placed or inserted node stays strictly between its
// neighbours or stays out) and blends, whose x order holds whatever the inputs hold.

#include "ShapeTestSupport.h"

#include <cmath>
#include <limits>
#include <tuple>

namespace zr::test {
namespace {

constexpr float kMax = std::numeric_limits<float>::max();

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
        {"where it is", 1, 1.5f, false, 0.5f},        {"NaN request", 1, kNaN, false, 0.5f},
        {"first node", 0, 1.25f, false, 0.5f},        {"last node", 2, 1.25f, false, 0.5f},
        {"below the nodes", -1, 1.25f, false, 0.5f},  {"beyond the nodes", 3, 1.25f, false, 0.5f},
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
        expectSameCurve(shape, before);
    }
    // A shift to the left finds both nodes already as far left as the offset domain allows.
    EXPECT_FALSE(shape.shiftHoriz(-0.25f));
    expectSameCurve(shape, before);
}

// 1 - x rounds below 0.5: three nodes a float step apart above 0.4 mirror onto one x, and
// nodes within a float step of 0 mirror onto the last node's 1.
TEST(ShapeNodeEdits, XStrictlyIncreasingAsksEveryNeighbourPair) {
    std::tuple<char const*, std::vector<Node>, bool> const cases[] = {
        {"two nodes", {{0.0f, 0.0f}, {1.0f, 0.0f}}, true},
        {"one float step apart", {{0.0f, 0.0f}, {0.5f, 0.0f}, {above(0.5f), 0.0f}, {1.0f, 0.0f}}, true},
        {"equal x", {{0.0f, 0.0f}, {0.5f, 0.0f}, {0.5f, 0.0f}, {1.0f, 0.0f}}, false},
        {"-0 before +0", {{-0.0f, 0.0f}, {0.0f, 0.0f}, {1.0f, 0.0f}}, false},
        {"falling at the end", {{0.0f, 0.0f}, {0.5f, 0.0f}, {0.25f, 0.0f}}, false},
        {"a NaN x", {{0.0f, 0.0f}, {kNaN, 0.0f}, {1.0f, 0.0f}}, false},
        {"x outside 0..1, still increasing", {{-kInf, 0.0f}, {2.0f, 0.0f}, {kInf, 0.0f}}, true},
    };
    for (auto const& [name, nodes, increasing] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(shapeWith(nodes).xStrictlyIncreasing(), increasing);
    }
}

TEST(ShapeNodeEdits, FlipHorizontalKeepsCloseNodesApart) {
    float const a = above(above(0.4f)), b = above(a), c = above(b);
    std::vector<Node> const cases[] = {
        {{0.0f, 0.0f}, {a, 0.1f}, {b, 0.2f}, {c, 0.3f}, {1.0f, 0.4f}},
        {{0.0f, 0.0f}, {1e-9f, 0.1f}, {2e-9f, 0.2f}, {0.5f, 0.3f}, {1.0f, 0.4f}},
    };
    for (auto const& nodes : cases) {
        SCOPED_TRACE(nodes[1].x);
        Shape shape = shapeWith(nodes);
        shape.flipHorizontal();
        for (int32_t i = 0; i < 5; ++i) {
            Node const& mirrored = nodes[static_cast<std::size_t>(4 - i)];
            EXPECT_EQ(shape.nodes[i].y, mirrored.y);
            EXPECT_NEAR(shape.nodes[i].x, 1.0f - mirrored.x, 2e-7f);
            if (i > 0) {
                EXPECT_LT(shape.nodes[i - 1].x, shape.nodes[i].x) << "node " << i;
            }
        }
    }
}

// Only an x strictly inside 0..1 that no node has yet finds a place; y is clamped.
TEST(ShapeNodeEdits, InsertNodeKeepsTheOrderOrRefuses) {
    // Name, node, the nodes afterwards (none: refused, the shape as it was).
    std::tuple<char const*, Node, std::vector<Node>> const cases[] = {
        {"between the first two", {0.25f, 7.0f}, {{0.0f, 0.0f}, {0.25f, 1.0f}, {0.5f, 0.5f}, {1.0f, 0.0f}}},
        {"between the last two, NaN y", {0.75f, kNaN}, {{0.0f, 0.0f}, {0.5f, 0.5f}, {0.75f, 1.0f}, {1.0f, 0.0f}}},
        {"on a node", {0.5f, 0.0f}, {}}, {"at 0", {0.0f, 0.0f}, {}}, {"at 1", {1.0f, 0.0f}, {}},
        {"below 0", {-0.5f, 0.0f}, {}}, {"beyond 1", {2.5f, 0.0f}, {}}, {"NaN x", {kNaN, 0.0f}, {}},
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

// Blends where node counts differ or x rounds onto a neighbour.
TEST(ShapeMorph, PairsNodesAsTheCountsDemand) {
    std::vector<Node> const three = {{0.0f, 0.0f}, {0.5f, 0.5f}, {1.0f, 0.0f}};
    std::vector<Node> const five = {{0.0f, 1.0f}, {0.125f, -1.0f}, {0.25f, 0.5f}, {0.75f, -0.25f}, {1.0f, 1.0f}};
    // Name, the shape, the one blended in, the amount, the nodes afterwards.
    std::tuple<char const*, std::vector<Node>, std::vector<Node>, float, std::vector<Node>> const cases[] = {
        // Several nodes of the longer shape pair with one node of the shorter; at 1 they
        // coincide and all but one are dropped.
        {"fewer nodes in the other: its nodes at 1", five, three, 1.0f, three},
        // Node 1 of the longer shape pairs with node 1 x 2 / 3 = 0 of the shorter one.
        {"two nodes toward three", {{0.0f, 0.0f}, {1.0f, 0.0f}}, {{0.0f, 1.0f}, {0.5f, 1.0f}, {1.0f, 1.0f}}, 0.5f,
         {{0.0f, 0.5f}, {0.25f, 0.5f}, {1.0f, 0.5f}}},
        // 0.99999994 + 1 rounds to 2: the blended node lands on the end and is the end node.
        {"an interior node rounding onto the end becomes the end", three,
         {{0.0f, 0.0f}, {0.99999994f, 0.5f}, {1.0f, -1.0f}}, 1.0f, {{0.0f, 0.0f}, {1.0f, 0.5f}}},
    };
    for (auto const& [name, self, other, amount, expected] : cases) {
        SCOPED_TRACE(name);
        Shape shape = shapeWith(self);
        EXPECT_TRUE(shape.morphWith(shapeWith(other), amount));
        expectNodes(shape, expected);
    }
}

// y - c scaled by the gain, plus c, where c is the center clamped to -1..+1; every y then
// clamped. A gain of 1 is no edit at all, even for a y outside -1..+1.
TEST(ShapeVertical, ScaleVertScalesAboutTheClampedCenter) {
    // Name, heights before, center, gain, whether they change, heights after.
    std::tuple<char const*, std::vector<float>, float, float, bool, std::vector<float>> const cases[] = {
        {"doubled about 0", {-0.25f, 0.75f}, 0.0f, 2.0f, true, {-0.5f, 1.0f}},
        {"halved about a center beyond +1", {0.0f, -1.0f}, 3.0f, 0.5f, true, {0.5f, 0.0f}},
        {"a NaN center counts as +1", {0.0f, 0.5f}, kNaN, 2.0f, true, {-1.0f, 0.0f}},
        {"gain 0 flattens onto the center", {-1.0f, 0.3f}, -0.5f, 0.0f, true, {-0.5f, -0.5f}},
        {"inverted about 0.5", {0.25f, 1.0f}, 0.5f, -1.0f, true, {0.75f, 0.0f}},
        {"all at the center", {0.25f, 0.25f}, 0.25f, 4.0f, false, {0.25f, 0.25f}},
        {"gain 1 keeps heights outside -1..+1", {3.0f, -2.0f}, 0.0f, 1.0f, false, {3.0f, -2.0f}},
    };
    for (auto const& [name, before, center, gain, changes, after] : cases) {
        SCOPED_TRACE(name);
        Shape shape = shapeWith({{0.0f, before[0]}, {1.0f, before[1]}});
        EXPECT_EQ(shape.scaleVert(center, gain), changes);
        EXPECT_EQ(shape.changed, changes ? 1 : 0);
        expectNodes(shape, {{0.0f, after[0]}, {1.0f, after[1]}});
    }
}

// Whatever unchecked images hold, a blend keeps x strictly increasing from 0 to 1 and y within
// -1..+1, and the vertical edits keep y within -1..+1.
TEST(ShapeMorph, HostileNodesNeverBreakTheInvariantsOfBlendsAndVerticalEdits) {
    std::vector<std::vector<Node>> const hostile = {
        {{0.0f, 0.0f}, {kNaN, 0.5f}, {1.0f, 0.0f}},
        {{0.0f, 0.0f}, {0.5f, kNaN}, {1.0f, kNaN}},
        {{0.0f, 0.0f}, {2.0f, 0.5f}, {3.0f, 0.0f}},
        {{0.0f, 0.0f}, {kInf, 0.5f}, {0.2f, 0.0f}, {1.0f, 0.0f}},
        {{0.0f, kInf}, {0.7f, 0.5f}, {0.3f, -kInf}, {-0.5f, 4.0f}, {1.0f, -9.0f}},
        {{-1.0f, 0.0f}, {-kInf, 1e-39f}, {0.5f, 0.0f}},
        // Finite but extreme: weighted sums of these round beyond the largest float.
        {{0.0f, kMax}, {kMax, kMax}, {0.9f * kMax, -kMax}, {1.0f, kMax}},
        {{-kMax, -kMax}, {0.5f, kMax}, {kMax, -kMax}},
    };
    auto const expectYInRange = [](Shape const& shape) {
        for (int32_t n = 0; n < shape.nodeCount; ++n)
            EXPECT_TRUE(shape.nodes[n].y >= -1.0f && shape.nodes[n].y <= 1.0f) << "node " << n;
    };
    Shape const valid(L"(-5,-5)(-2.5,0)(0,5)(2.5,0)(5,-5)");
    for (std::size_t i = 0; i < hostile.size(); ++i) {
        for (float amount : {0.25f, 0.3f, 0.5f, 1.0f}) {
            for (bool hostileFirst : {false, true}) {
                SCOPED_TRACE(testing::Message() << "image " << i << " at " << amount << (hostileFirst ? ", first" : ", second"));
                Shape shape = hostileFirst ? shapeWith(hostile[i]) : valid;
                shape.morphWith(hostileFirst ? valid : shapeWith(hostile[i]), amount);
                ASSERT_GE(shape.nodeCount, 2);
                ASSERT_LE(shape.nodeCount, 100);
                EXPECT_EQ(shape.nodes[0].x, 0.0f);
                EXPECT_EQ(shape.nodes[shape.nodeCount - 1].x, 1.0f);
                expectYInRange(shape);
                for (int32_t n = 1; n < shape.nodeCount; ++n)
                    EXPECT_GT(shape.nodes[n].x, shape.nodes[n - 1].x) << "node " << n;
            }
        }
        SCOPED_TRACE(testing::Message() << "vertical edits of image " << i);
        Shape fitted = shapeWith(hostile[i]), snapped = fitted, snappedDown = fitted, shifted = fitted, scaled = fitted;
        fitted.fitVert(-0.5f, 0.5f);
        snapped.snapVert(0.25f, true);
        snappedDown.snapVert(0.25f, false);
        shifted.shiftVert(-0.125f);
        scaled.scaleVert(0.5f, -3.0f);
        for (Shape const* edited : {&fitted, &snapped, &snappedDown, &shifted, &scaled})
            expectYInRange(*edited);
    }
}

} // namespace
} // namespace zr::test

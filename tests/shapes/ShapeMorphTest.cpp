// Blends where node counts differ or x rounds onto a neighbour, and x order under any input.

#include "ShapeTestSupport.h"

#include <limits>
#include <tuple>

namespace {

using zr::Node;
using zr::Shape;
using zr::test::shapeWith;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kMax = std::numeric_limits<float>::max();

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
        zr::test::expectNodes(shape, expected);
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
        Shape fitted = shapeWith(hostile[i]), snapped = fitted, snappedDown = fitted, shifted = fitted;
        fitted.fitVert(-0.5f, 0.5f);
        snapped.snapVert(0.25f, true);
        snappedDown.snapVert(0.25f, false);
        shifted.shiftVert(-0.125f);
        for (Shape const* edited : {&fitted, &snapped, &snappedDown, &shifted})
            expectYInRange(*edited);
    }
}

} // namespace

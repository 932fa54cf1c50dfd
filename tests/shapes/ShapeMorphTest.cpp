// Blending two shapes: the weights, the pairing of nodes between different counts, and the
// order of x kept whatever the inputs hold.

#include "ShapeTestSupport.h"

#include <limits>

namespace {

using zr::Node;
using zr::Shape;
using zr::test::expectNodes;
using zr::test::shapeWith;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// x values here are sums of few powers of two, so that x + 1 - 1 gives them back exactly.
TEST(ShapeMorph, BlendsAndPairsNodesAsTheCountsDemand) {
    std::vector<Node> const ramp = {{0.0f, -1.0f}, {1.0f, 1.0f}};
    std::vector<Node> const mirror = {{0.0f, 1.0f}, {1.0f, -1.0f}};
    std::vector<Node> const three = {{0.0f, 0.0f}, {0.5f, 0.5f}, {1.0f, 0.0f}};
    std::vector<Node> const otherThree = {{0.0f, 1.0f}, {0.25f, -0.5f}, {1.0f, -1.0f}};
    std::vector<Node> const five = {{0.0f, 1.0f}, {0.125f, -1.0f}, {0.25f, 0.5f}, {0.75f, -0.25f}, {1.0f, 1.0f}};
    struct Case {
        char const* name;
        std::vector<Node> self, other;
        float amount;
        std::vector<Node> expected;
    };
    Case const cases[] = {
        {"ramp and mirror half way is flat", ramp, mirror, 0.5f, {{0.0f, 0.0f}, {1.0f, 0.0f}}},
        {"equal counts at 1 give the other's nodes", three, otherThree, 1.0f, otherThree},
        {"above 1 acts as 1", three, otherThree, 7.0f, otherThree},
        {"NaN acts as 1", three, otherThree, kNaN, otherThree},
        {"equal counts pair node j with node j", three, otherThree, 0.5f,
         {{0.0f, 0.5f}, {0.375f, 0.0f}, {1.0f, -0.5f}}},
        {"more nodes in the other: its nodes at 1", three, five, 1.0f, five},
        // Several nodes of the longer shape pair with the same node of the shorter one; at 1
        // they coincide and all but one are dropped.
        {"fewer nodes in the other: its nodes at 1", five, three, 1.0f, three},
        // Node 1 of the longer shape pairs with node 1 x 2 / 3 = 0 of the shorter one.
        {"two nodes toward three", {{0.0f, 0.0f}, {1.0f, 0.0f}}, {{0.0f, 1.0f}, {0.5f, 1.0f}, {1.0f, 1.0f}}, 0.5f,
         {{0.0f, 0.5f}, {0.25f, 0.5f}, {1.0f, 0.5f}}},
        // 0.99999994 + 1 rounds to 2: the blended node lands on the end and is the end node.
        {"an interior node rounding onto the end becomes the end", three,
         {{0.0f, 0.0f}, {0.99999994f, 0.5f}, {1.0f, -1.0f}}, 1.0f, {{0.0f, 0.0f}, {1.0f, 0.5f}}},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        Shape shape = shapeWith(c.self);
        Shape const other = shapeWith(c.other);
        EXPECT_TRUE(shape.morphWith(other, c.amount));
        EXPECT_EQ(shape.changed, 1);
        expectNodes(shape, c.expected);
    }
}

TEST(ShapeMorph, AmountZeroOrAnIdenticalBlendChangesNothing) {
    Shape const other(L"(-5,5)(0,-5)(5,5)");
    for (float amount : {0.0f, -0.5f, -kInf}) {
        SCOPED_TRACE(amount);
        Shape shape(L"(-5,-5)(5,5)");
        Shape const before = shape;
        EXPECT_FALSE(shape.morphWith(other, amount));
        zr::test::expectSameCurve(shape, before);
    }
    Shape shape(L"(-5,-5)(0,2.5)(5,5)");
    EXPECT_FALSE(shape.morphWith(Shape(L"(-5,-5)(0,2.5)(5,5)"), 0.5f));
    EXPECT_EQ(shape.changed, 0);
}

// Images are accepted without checking their nodes; whatever they hold, the blend keeps x
// strictly increasing from 0 to 1 and y within -1..+1.
TEST(ShapeMorph, HostileNodesNeverBreakTheBlendsInvariants) {
    std::vector<std::vector<Node>> const hostile = {
        {{0.0f, 0.0f}, {kNaN, 0.5f}, {1.0f, 0.0f}},
        {{0.0f, 0.0f}, {0.5f, kNaN}, {1.0f, kNaN}},
        {{0.0f, 0.0f}, {2.0f, 0.5f}, {3.0f, 0.0f}},
        {{0.0f, 0.0f}, {kInf, 0.5f}, {0.2f, 0.0f}, {1.0f, 0.0f}},
        {{0.0f, 0.0f}, {0.7f, 0.5f}, {0.3f, 0.0f}, {-0.5f, 4.0f}, {1.0f, -9.0f}},
        {{-1.0f, 0.0f}, {-kInf, 0.0f}, {0.5f, 0.0f}},
    };
    Shape const valid(L"(-5,-5)(-2.5,0)(0,5)(2.5,0)(5,-5)");
    for (std::size_t i = 0; i < hostile.size(); ++i) {
        for (float amount : {0.25f, 0.5f, 1.0f}) {
            for (bool hostileFirst : {false, true}) {
                SCOPED_TRACE("image " + std::to_string(i) + " at " + std::to_string(amount) +
                             (hostileFirst ? ", hostile first" : ", hostile second"));
                Shape shape = hostileFirst ? shapeWith(hostile[i]) : valid;
                shape.morphWith(hostileFirst ? valid : shapeWith(hostile[i]), amount);
                ASSERT_GE(shape.nodeCount, 2);
                ASSERT_LE(shape.nodeCount, 100);
                EXPECT_EQ(shape.nodes[0].x, 0.0f);
                EXPECT_EQ(shape.nodes[shape.nodeCount - 1].x, 1.0f);
                for (int32_t n = 0; n < shape.nodeCount; ++n) {
                    EXPECT_TRUE(shape.nodes[n].y >= -1.0f && shape.nodes[n].y <= 1.0f) << "node " << n;
                    if (n > 0) {
                        EXPECT_GT(shape.nodes[n].x, shape.nodes[n - 1].x) << "node " << n;
                    }
                }
            }
        }
    }
}

} // namespace

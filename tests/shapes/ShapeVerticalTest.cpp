// Vertical edits: shift, snap and fit change y only, clamped to -1..+1.

#include "ShapeTestSupport.h"

#include <cmath>
#include <limits>

namespace {

using zr::Node;
using zr::Shape;
using zr::test::shapeWith;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

std::vector<float> ysOf(Shape const& shape) {
    std::vector<float> ys;
    for (int32_t i = 0; i < shape.nodeCount; ++i)
        ys.push_back(shape.nodes[i].y);
    return ys;
}

// Shapes given by their y values at evenly spaced x.
Shape shapeOfYs(std::vector<float> const& ys) {
    std::vector<Node> nodes;
    for (std::size_t i = 0; i < ys.size(); ++i)
        nodes.push_back({static_cast<float>(i) / static_cast<float>(ys.size() - 1), ys[i]});
    return shapeWith(nodes);
}

TEST(ShapeVertical, ShiftAndSnapMoveEveryNodeAndClampAtTheEdges) {
    struct Case {
        char const* name;
        std::vector<float> ys;
        bool (*edit)(Shape&);
        bool moves;
        std::vector<float> expected;
    };
    Case const cases[] = {
        {"shift up, ends too, clamped", {0.0f, 0.8f, -1.0f}, [](Shape& s) { return s.shiftVert(0.5f); }, true,
         {0.5f, 1.0f, -0.5f}},
        {"shift by 0", {0.0f, 0.8f}, [](Shape& s) { return s.shiftVert(0.0f); }, false, {0.0f, 0.8f}},
        {"shift against the top", {1.0f, 1.0f}, [](Shape& s) { return s.shiftVert(0.25f); }, false, {1.0f, 1.0f}},
        {"shift by NaN goes to the top", {0.0f, -0.5f}, [](Shape& s) { return s.shiftVert(kNaN); }, true,
         {1.0f, 1.0f}},
        {"highest to 0, lowest stops at -1", {0.5f, -0.75f, 0.25f},
         [](Shape& s) { return s.snapVert(0.0f, false); }, true, {0.0f, -1.0f, -0.25f}},
        {"lowest to 0.5", {0.5f, -0.5f, 0.0f}, [](Shape& s) { return s.snapVert(0.5f, true); }, true,
         {1.0f, 0.5f, 1.0f}},
        {"highest already there", {0.5f, -0.5f}, [](Shape& s) { return s.snapVert(0.5f, false); }, false,
         {0.5f, -0.5f}},
        {"level beyond the range, clamped per node", {0.0f, -0.5f}, [](Shape& s) { return s.snapVert(2.0f, false); },
         true, {1.0f, 1.0f}},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        Shape shape = shapeOfYs(c.ys);
        Shape const before = shape;
        EXPECT_EQ(c.edit(shape), c.moves);
        EXPECT_EQ(shape.changed, c.moves ? 1 : 0);
        EXPECT_EQ(ysOf(shape), c.expected);
        for (int32_t i = 0; i < shape.nodeCount; ++i)
            EXPECT_EQ(shape.nodes[i].x, before.nodes[i].x);
    }
}

TEST(ShapeVertical, FitMapsTheLowestAndHighestNodesOntoTheLevels) {
    struct Case {
        char const* name;
        std::vector<float> ys;
        float bottom, top;
        bool result;
        std::vector<float> expected;
    };
    Case const cases[] = {
        {"ramp into -0.5..0.5", {-1.0f, 1.0f}, -0.5f, 0.5f, true, {-0.5f, 0.5f}},
        {"levels crossed turn it upside down", {-1.0f, 0.0f, 1.0f}, 1.0f, -1.0f, true, {1.0f, 0.0f, -1.0f}},
        {"already fitted", {-1.0f, 0.0f, 1.0f}, -1.0f, 1.0f, false, {-1.0f, 0.0f, 1.0f}},
        {"equal levels flatten, always a change", {0.2f, 0.2f}, 0.2f, 0.2f, true, {0.2f, 0.2f}},
        {"flat shape goes to the middle, always a change", {0.0f, 0.0f}, -1.0f, 1.0f, true, {0.0f, 0.0f}},
        {"flat shape between -0.4 and 0.8", {0.5f, 0.5f}, -0.4f, 0.8f, true, {0.2f, 0.2f}},
        {"levels beyond the range act as the range", {-0.5f, 0.5f}, -3.0f, 9.0f, true, {-1.0f, 1.0f}},
        {"NaN level is the top", {-0.5f, 0.5f}, -1.0f, kNaN, true, {-1.0f, 1.0f}},
        // A spread of 1e-39 inverts to infinity: fitted as a flat shape instead of inf and NaN.
        {"subnormal spread counts as flat", {0.0f, 1e-39f, 0.0f}, -1.0f, 1.0f, true, {0.0f, 0.0f, 0.0f}},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        Shape shape = shapeOfYs(c.ys);
        EXPECT_EQ(shape.fitVert(c.bottom, c.top), c.result);
        EXPECT_EQ(shape.changed, c.result ? 1 : 0);
        EXPECT_EQ(ysOf(shape), c.expected);
    }
}

// 0.1, 0.3 and 0.7 are inexact in binary: scaled by the spread and its inverse, the highest
// node would miss the top level by a rounding step.
TEST(ShapeVertical, FitHitsBothLevelsExactlyForInexactValues) {
    Shape shape = shapeOfYs({0.3f, 0.1f, 0.7f, 0.45f});
    EXPECT_TRUE(shape.fitVert(-0.9f, 0.77f));
    EXPECT_EQ(shape.nodes[1].y, -0.9f);
    EXPECT_EQ(shape.nodes[2].y, 0.77f);
    float const middle = (0.45f - 0.1f) * (0.77f - -0.9f) * (1.0f / (0.7f - 0.1f)) + -0.9f;
    EXPECT_EQ(shape.nodes[3].y, middle) << "the nodes between follow the scaling";
}

} // namespace

#include "ShapeTestSupport.h"
#include "shapes/Interpolator.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

namespace {

using zr::Node;
using zr::test::shapeWith;
using Interpolator = zr::Shape::Interpolator;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// The table starts full of NaN, so every entry must be written by the render.
std::vector<float> renderedTable(std::vector<Node> const& nodes, int32_t mode, int32_t size) {
    Interpolator interpolator(shapeWith(nodes, mode), size);
    std::fill(interpolator.table.begin(), interpolator.table.end(), kNaN);
    EXPECT_TRUE(interpolator.render());
    EXPECT_EQ(interpolator.renderedSize, size);
    return {interpolator.table.begin(), interpolator.table.begin() + size};
}

// Each interior node's y is split between the two cells around x * (N - 1); shares add up.
TEST(Interpolator, NoneModePlacesImpulses) {
    struct Case {
        char const* name;
        std::vector<Node> nodes;
        std::vector<std::pair<int, float>> nonZero; // every other entry of 17 is 0
    };
    Case const cases[] = {
        {"node between cells", {{0.0f, 0.0f}, {0.53125f, 1.0f}, {1.0f, 0.0f}}, {{8, 0.5f}, {9, 0.5f}}},
        {"shares add up",
         {{0.0f, 0.5f}, {0.25f, 1.0f}, {0.2578125f, 1.0f}, {1.0f, -0.5f}},
         {{0, 0.5f}, {4, 1.875f}, {5, 0.125f}, {16, -0.5f}}},
        {"first cell adds to the first node", {{0.0f, 0.5f}, {0.03125f, 1.0f}, {1.0f, 0.0f}}, {{0, 1.0f}, {1, 0.5f}}},
        // Positions from an unchecked blob that fall outside the table add nothing.
        {"positions outside the table",
         {{0.0f, 0.0f}, {0.5f, 1.0f}, {2.0f, 1.0f}, {-0.5f, 1.0f}, {kNaN, 1.0f}, {1.0f, 0.0f}},
         {{8, 1.0f}}},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<float> expected(17, 0.0f);
        for (auto [entry, value] : c.nonZero)
            expected[entry] = value;
        EXPECT_EQ(renderedTable(c.nodes, zr::None, 17), expected);
    }
}

// Rendering happens after a change or a resize only, and rewinds reading; entries past the
// rendered ones read as 0. Tables below 16 entries are never rendered and read as silence.
TEST(Interpolator, RendersWhenNeededAndReadsRenderedEntriesThenZero) {
    Interpolator interpolator(shapeWith({{0.0f, -1.0f}, {1.0f, 1.0f}}), 16);
    EXPECT_TRUE(interpolator.render());
    for (int32_t k = 0; k < 16; ++k)
        ASSERT_EQ(interpolator.readNext(), interpolator.table[k]) << "entry " << k;
    EXPECT_EQ(interpolator.readNext(), 0.0f);
    EXPECT_FALSE(interpolator.render());
    for (int32_t size : {100, 15, 8, 0, -5, 16}) {
        SCOPED_TRACE(size);
        interpolator.setTableSize(size);
        EXPECT_EQ(interpolator.table.size(), static_cast<std::size_t>(std::max(size, 0)) + 1);
        EXPECT_TRUE(interpolator.render());
        EXPECT_EQ(interpolator.renderedSize, size >= 16 ? size : 0);
        EXPECT_EQ(interpolator.readNext(), size >= 16 ? -1.0f : 0.0f);
    }
}

// Curves worked by hand. Two nodes draw a straight line in every curve mode. Local spline,
// (0,0)(0.25,0.5)(1,0.25): each side is the quadratic through its end node with the chord
// slope 1/4 at the middle node. Natural spline, (0,0)(0.5,1)(1,0) with its phantom node (0, 0)
// after the last: S = 8/3 x - 8/3 x^3 on the left and, with u = x - 0.5,
// S = 1 + 2/3 u - 4 u^2 - 8/3 u^3 on the right. All are checked at grid positions accumulated
// in single precision, as stored tables were rendered; running values drift more than those
// positions do, and only the natural spline evaluates at the positions themselves.
TEST(Interpolator, SplinesMatchTheirWorkedForms) {
    struct Case {
        int32_t mode;
        std::vector<Node> nodes;
        std::function<double(double)> curve;
        double tolerance;
        bool evaluatedAtPositions = false; // so the size must tell accumulated from exact ones
    };
    auto const flat = [](double) { return 0.0; };
    auto const rising = [](double x) { return 2.0 * x - 1.0; };
    Case const cases[] = {
        {zr::Linear, {{0.0f, 0.0f}, {1.0f, 0.0f}}, flat, 0.0},
        {zr::Linear, {{0.0f, -1.0f}, {1.0f, 1.0f}}, rising, 2.5e-4},
        {zr::VarekSpline, {{0.0f, -1.0f}, {1.0f, 1.0f}}, rising, 2.5e-4},
        {zr::NaturalSpline, {{0.0f, -1.0f}, {1.0f, 1.0f}}, rising, 2.5e-4},
        {zr::VarekSpline, {{0.0f, 0.0f}, {0.25f, 0.5f}, {1.0f, 0.25f}}, [](double x) {
             double const u = x - 0.25;
             return 0.5 + 0.25 * u - (x < 0.25 ? 7.0 : 7.0 / 9.0) * u * u;
         }, 2.5e-4},
        {zr::NaturalSpline, {{0.0f, 0.0f}, {0.5f, 1.0f}, {1.0f, 0.0f}}, [](double x) {
             double const u = x - 0.5;
             return x < 0.5 ? 8.0 / 3.0 * x * (1.0 - x * x) : 1.0 + 2.0 / 3.0 * u - 4.0 * u * u - 8.0 / 3.0 * u * u * u;
         }, 2e-5, true},
    };
    int32_t const size = 8000;
    for (Case const& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << ", " << c.nodes.size() << " nodes");
        std::vector<float> const table = renderedTable(c.nodes, c.mode, size);
        EXPECT_EQ(table[0], c.nodes.front().y);
        float const step = 1.0f / static_cast<float>(size - 1);
        float position = 0.0f;
        double drift = 0.0; // between accumulated and exact positions
        for (int32_t k = 0; k < size - 1; ++k, position += step) {
            ASSERT_NEAR(table[k], c.curve(position), c.tolerance) << "entry " << k;
            drift = std::max(drift, std::fabs(c.curve(position) - c.curve(k / double(size - 1))));
        }
        EXPECT_EQ(table[size - 1], c.nodes.back().y);
        if (c.evaluatedAtPositions) {
            EXPECT_GT(drift, 5.0 * c.tolerance) << "this size no longer tells accumulated from exact positions";
        }
    }
}

// Nodes beyond nodeCount are stale leftovers; the end condition must not read them.
TEST(Interpolator, StaleNodesDoNotChangeANaturalSpline) {
    std::vector<Node> const three = {{0.0f, 0.2f}, {0.4f, -0.9f}, {1.0f, 0.5f}};
    Interpolator stale(shapeWith({{0.0f, 0.0f}, {0.2f, 0.7f}, {0.6f, -0.3f}, {0.9f, 0.8f}, {1.0f, 1.0f}},
                                 zr::NaturalSpline), 1024);
    stale.shape.assignNodes(three.data(), 3);
    ASSERT_EQ(stale.shape.nodes[3].x, 0.9f);
    stale.render();
    EXPECT_EQ(std::vector<float>(stale.table.begin(), stale.table.end() - 1),
              renderedTable(three, zr::NaturalSpline, 1024));
}

} // namespace

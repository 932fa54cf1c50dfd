#include "ShapeTestSupport.h"
#include "shapes/Interpolator.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

using zr::Node;
using zr::Shape;
using zr::test::shapeWith;
using Interpolator = zr::Shape::Interpolator;

std::vector<float> renderedTable(std::vector<Node> const& nodes, int32_t mode, int32_t size) {
    Interpolator interpolator(shapeWith(nodes, mode), size);
    EXPECT_TRUE(interpolator.render());
    EXPECT_EQ(interpolator.renderedSize, size);
    return {interpolator.table.begin(), interpolator.table.begin() + size};
}

TEST(Interpolator, DefaultShapeRendersFlatZero) {
    Interpolator interpolator(4096);
    EXPECT_EQ(interpolator.shape.interpolation, zr::Linear);
    std::fill(interpolator.table.begin(), interpolator.table.end(), 1.0f); // every entry must be written
    EXPECT_TRUE(interpolator.render());
    ASSERT_EQ(interpolator.renderedSize, 4096);
    for (int32_t k = 0; k < 4096; ++k)
        ASSERT_EQ(interpolator.table[k], 0.0f) << "entry " << k;
}

// With two nodes every curve mode draws the same straight line.
TEST(Interpolator, TwoNodesRenderTheSameLineInEveryCurveMode) {
    std::vector<Node> const rising = {{0.0f, -1.0f}, {1.0f, 1.0f}};
    std::vector<float> const line = renderedTable(rising, zr::Linear, 1024);
    EXPECT_EQ(line.front(), -1.0f);
    EXPECT_EQ(line.back(), 1.0f);
    for (std::size_t k = 1; k < line.size(); ++k)
        ASSERT_NEAR(line[k] - line[k - 1], 2.0 / 1023.0, 1e-5) << "entry " << k;

    for (int32_t mode : {zr::VarekSpline, zr::NaturalSpline}) {
        SCOPED_TRACE(mode);
        EXPECT_EQ(renderedTable(rising, mode, 1024), line);
    }
}

// Each interior node's y is split between the two cells around x * (N - 1); shares add up.
TEST(Interpolator, NoneModePlacesImpulses) {
    float const nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        char const* name;
        std::vector<Node> nodes;
        std::vector<std::pair<int, float>> nonZero; // every other entry of 17 is 0
    };
    Case const cases[] = {
        {"node on a cell", {{0.0f, 0.0f}, {0.5f, 1.0f}, {1.0f, 0.0f}}, {{8, 1.0f}}},
        {"node between cells", {{0.0f, 0.0f}, {0.53125f, 1.0f}, {1.0f, 0.0f}}, {{8, 0.5f}, {9, 0.5f}}},
        {"shares add up",
         {{0.0f, 0.5f}, {0.25f, 1.0f}, {0.2578125f, 1.0f}, {1.0f, -0.5f}},
         {{0, 0.5f}, {4, 1.875f}, {5, 0.125f}, {16, -0.5f}}},
        {"first cell adds to the first node", {{0.0f, 0.5f}, {0.03125f, 1.0f}, {1.0f, 0.0f}}, {{0, 1.0f}, {1, 0.5f}}},
        {"two nodes: ends only", {{0.0f, 0.25f}, {1.0f, 0.75f}}, {{0, 0.25f}, {16, 0.75f}}},
        // Positions from an unchecked blob that fall outside the table add nothing.
        {"positions outside the table",
         {{0.0f, 0.0f}, {0.5f, 1.0f}, {2.0f, 1.0f}, {-0.5f, 1.0f}, {nan, 1.0f}, {1.0f, 0.0f}},
         {{8, 1.0f}}},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<float> expected(17, 0.0f);
        for (auto [entry, value] : c.nonZero)
            expected[entry] = value;
        // Start from a table full of a previous curve: every entry must be rewritten.
        Interpolator interpolator(shapeWith({{0.0f, 1.0f}, {1.0f, 1.0f}}), 17);
        interpolator.render();
        interpolator.shape.assignNodes(c.nodes.data(), static_cast<int32_t>(c.nodes.size()));
        interpolator.shape.setInterpolation(zr::None);
        EXPECT_TRUE(interpolator.render());
        EXPECT_EQ(std::vector<float>(interpolator.table.begin(), interpolator.table.end() - 1), expected);
    }
}

TEST(Interpolator, RendersOnlyWhenSomethingChangedButAlwaysRewindsReading) {
    Interpolator interpolator(shapeWith({{0.0f, -1.0f}, {1.0f, 1.0f}}), 64);
    EXPECT_TRUE(interpolator.render());
    EXPECT_EQ(interpolator.shape.changed, 0);
    EXPECT_EQ(interpolator.readNext(), -1.0f);
    interpolator.readNext();

    interpolator.table[5] = 42.0f; // would be overwritten by a render
    EXPECT_FALSE(interpolator.render());
    EXPECT_EQ(interpolator.readPosition, 0);
    EXPECT_EQ(interpolator.table[5], 42.0f);

    EXPECT_TRUE(interpolator.shape.setInterpolation(zr::NaturalSpline));
    EXPECT_TRUE(interpolator.render());
    EXPECT_NE(interpolator.table[5], 42.0f);
}

TEST(Interpolator, ReadsRenderedEntriesInOrderThenZero) {
    Interpolator interpolator(shapeWith({{0.0f, 0.0f}, {1.0f, 1.0f}}), 16);
    interpolator.render();
    for (int32_t k = 0; k < 16; ++k)
        ASSERT_EQ(interpolator.readNext(), interpolator.table[k]) << "entry " << k;
    EXPECT_EQ(interpolator.table[15], 1.0f);
    EXPECT_EQ(interpolator.readNext(), 0.0f);
    EXPECT_EQ(interpolator.readNext(), 0.0f);
}

// A table below 16 entries is never rendered and reads as silence.
TEST(Interpolator, SmallTablesAreNeverRendered) {
    struct Case {
        int32_t size;
        int32_t tableSize;
        float invTableSize;
        int32_t renderedSize;
    };
    Case const cases[] = {
        {-5, 0, 0.0f, 0}, {0, 0, 0.0f, 0}, {8, 8, 0.125f, 0}, {15, 15, 1.0f / 15.0f, 0}, {16, 16, 0.0625f, 16},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.size);
        Interpolator interpolator(shapeWith({{0.0f, 1.0f}, {1.0f, 1.0f}}), c.size);
        EXPECT_EQ(interpolator.tableSize, c.tableSize);
        EXPECT_EQ(interpolator.table.size(), static_cast<std::size_t>(c.tableSize) + 1);
        EXPECT_EQ(interpolator.invTableSize, c.invTableSize);
        EXPECT_TRUE(interpolator.render());
        EXPECT_EQ(interpolator.renderedSize, c.renderedSize);
        EXPECT_EQ(interpolator.readNext(), c.renderedSize > 0 ? 1.0f : 0.0f);
    }
}

TEST(Interpolator, NewTableSizeForcesTheNextRender) {
    Interpolator interpolator(shapeWith({{0.0f, -1.0f}, {1.0f, 1.0f}}), 32);
    interpolator.render();

    interpolator.setTableSize(32); // same size: the rendered table stays valid
    EXPECT_EQ(interpolator.renderedSize, 32);
    EXPECT_FALSE(interpolator.render());

    interpolator.setTableSize(100);
    EXPECT_EQ(interpolator.renderedSize, 0);
    EXPECT_EQ(interpolator.table.size(), 101u);
    EXPECT_EQ(interpolator.invTableSize, 0.01f);
    EXPECT_TRUE(interpolator.render()); // `changed` is clear, but nothing valid is rendered
    EXPECT_EQ(interpolator.table[99], 1.0f);

    interpolator.setTableSize(0);
    EXPECT_EQ(interpolator.table.size(), 1u);
    EXPECT_EQ(interpolator.invTableSize, 0.0f);
}

TEST(Interpolator, TakesModeAndNodesFromTheGivenShape) {
    Shape const source = shapeWith({{0.0f, 0.5f}, {0.3f, -0.5f}, {1.0f, 0.5f}}, zr::NaturalSpline);
    Interpolator const fromSource(source, 4096);
    EXPECT_EQ(fromSource.shape.changed, 1);
    EXPECT_EQ(fromSource.shape.interpolation, zr::NaturalSpline);
    zr::test::expectNodes(fromSource.shape, {{0.0f, 0.5f}, {0.3f, -0.5f}, {1.0f, 0.5f}});

    Interpolator const fromDefault(Shape(), 4096);
    EXPECT_EQ(fromDefault.shape.changed, 0);
}

// Reference forms of the local spline, written independently of the segment polynomials:
// the end segments are the one quadratic through both nodes with the chord slope at the
// inner node; the middle segments are the cubic Hermite curve with chord slopes.
double varekReference(std::vector<Node> const& nodes, double x) {
    std::size_t const n = nodes.size() - 1;
    auto slope = [&](std::size_t k) {
        return (double(nodes[k + 1].y) - nodes[k - 1].y) / (double(nodes[k + 1].x) - nodes[k - 1].x);
    };
    std::size_t i = 0;
    while (i + 1 < n && x >= nodes[i + 1].x)
        ++i;
    double const x0 = nodes[i].x, x1 = nodes[i + 1].x, y0 = nodes[i].y, y1 = nodes[i + 1].y;
    double const h = x1 - x0;
    if (i == 0) {
        double const m = slope(1);
        double const curvature = (y0 - y1 + m * h) / (h * h);
        return y1 + m * (x - x1) + curvature * (x - x1) * (x - x1);
    }
    if (i == n - 1) {
        double const m = slope(i);
        double const curvature = (y1 - y0 - m * h) / (h * h);
        return y0 + m * (x - x0) + curvature * (x - x0) * (x - x0);
    }
    double const t = (x - x0) / h;
    double const t2 = t * t, t3 = t2 * t;
    return (2 * t3 - 3 * t2 + 1) * y0 + (t3 - 2 * t2 + t) * h * slope(i) + (-2 * t3 + 3 * t2) * y1 +
           (t3 - t2) * h * slope(i + 1);
}

TEST(Interpolator, VarekSplineMatchesItsReferenceForms) {
    std::vector<Node> const shapes[] = {
        {{0.0f, 0.0f}, {0.25f, 0.8f}, {1.0f, -0.4f}},
        {{0.0f, 0.0f}, {0.25f, 0.5f}, {0.75f, -0.5f}, {1.0f, 0.0f}},
        {{0.0f, -1.0f}, {0.1f, 0.9f}, {0.3f, 0.2f}, {0.55f, -0.7f}, {0.8f, 1.0f}, {1.0f, -0.2f}},
    };
    // Grid positions k / 4096 are exact; the running parameter t drifts by up to about 2e-5.
    int32_t const size = 4097;
    for (std::vector<Node> const& nodes : shapes) {
        SCOPED_TRACE(nodes.size());
        std::vector<float> const table = renderedTable(nodes, zr::VarekSpline, size);
        for (int32_t k = 0; k < size; ++k)
            ASSERT_NEAR(table[k], varekReference(nodes, k / 4096.0), 1e-4) << "entry " << k;
    }
}

// Worked by hand for (0,0)(0.5,1)(1,0): with the phantom node (0, 0) after the last node the
// spline is S(x) = 8/3 x - 8/3 x^3 on the left half and, with u = x - 0.5,
// S = 1 + 2/3 u - 4 u^2 - 8/3 u^3 on the right: S''(0) = 0 but S''(1) = -16.
double naturalThreeNodeReference(double x) {
    if (x < 0.5)
        return 8.0 / 3.0 * x - 8.0 / 3.0 * x * x * x;
    double const u = x - 0.5;
    return 1.0 + 2.0 / 3.0 * u - 4.0 * u * u - 8.0 / 3.0 * u * u * u;
}

// Entries are sampled at grid positions accumulated in single precision; at this size they
// drift measurably from k / (N - 1), and stored tables depend on the accumulated ones.
TEST(Interpolator, NaturalSplineOfThreeNodesMatchesItsWorkedForm) {
    int32_t const size = 8000;
    std::vector<float> const table = renderedTable({{0.0f, 0.0f}, {0.5f, 1.0f}, {1.0f, 0.0f}}, zr::NaturalSpline, size);
    float const step = 1.0f / static_cast<float>(size - 1);
    float position = 0.0f;
    double drift = 0.0;
    for (int32_t k = 0; k < size - 1; ++k, position += step) {
        ASSERT_NEAR(table[k], naturalThreeNodeReference(position), 2e-5) << "entry " << k;
        drift = std::max(drift, std::fabs(naturalThreeNodeReference(position) - naturalThreeNodeReference(k / double(size - 1))));
    }
    EXPECT_EQ(table[size - 1], 0.0f);
    EXPECT_GT(drift, 1e-4) << "this size no longer tells accumulated from multiplied positions";
}

// Passes every node, and its slope does not jump at interior nodes (the linear mode's does).
TEST(Interpolator, NaturalSplineIsSmoothThroughInteriorNodes) {
    std::vector<Node> const nodes = {{0.0f, 0.3f}, {0.125f, -0.6f}, {0.5f, 0.9f}, {0.625f, 0.1f}, {1.0f, -0.8f}};
    std::vector<float> const table = renderedTable(nodes, zr::NaturalSpline, 4097);
    double const step = 1.0 / 4096.0;
    for (Node const& node : nodes) {
        int32_t const entry = static_cast<int32_t>(node.x * 4096.0f);
        SCOPED_TRACE(entry);
        EXPECT_EQ(table[entry], node.y);
        if (entry == 0 || entry == 4096)
            continue;
        double const leftSlope = (double(table[entry]) - table[entry - 1]) / step;
        double const rightSlope = (double(table[entry + 1]) - table[entry]) / step;
        EXPECT_NEAR(leftSlope, rightSlope, 0.05);
    }
}

// Nodes beyond nodeCount are stale leftovers; the end condition must not read them.
TEST(Interpolator, StaleNodesDoNotChangeANaturalSpline) {
    std::vector<Node> const three = {{0.0f, 0.2f}, {0.4f, -0.9f}, {1.0f, 0.5f}};
    std::vector<Node> const five = {{0.0f, 0.0f}, {0.2f, 0.7f}, {0.6f, -0.3f}, {0.9f, 0.8f}, {1.0f, 1.0f}};
    Interpolator clean(shapeWith(three, zr::NaturalSpline), 1024);
    Interpolator stale(shapeWith(five, zr::NaturalSpline), 1024);
    stale.shape.assignNodes(three.data(), 3);
    ASSERT_EQ(stale.shape.nodes[3].x, 0.9f);

    clean.render();
    stale.render();
    EXPECT_EQ(stale.table, clean.table);
}

} // namespace

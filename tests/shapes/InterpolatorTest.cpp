// The table renderer in every interpolation mode: worked curves, random lines, and hostile
// node images that must still render finite entries inside the table.

#include "ShapeTestSupport.h"
#include "shapes/Interpolator.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <utility>

namespace zr::test {
namespace {

using Interpolator = Shape::Interpolator;

constexpr float kMin = std::numeric_limits<float>::denorm_min();

// The table starts full of NaN, so every entry must be written by the render.
std::vector<float> renderedTable(std::vector<Node> const& nodes, int32_t mode, int32_t size) {
    Interpolator interpolator(shapeWith(nodes, mode), size);
    std::fill(interpolator.table.begin(), interpolator.table.end(), kNaN);
    EXPECT_TRUE(interpolator.render());
    EXPECT_EQ(interpolator.renderedSize, size);
    return {interpolator.table.begin(), interpolator.table.begin() + size};
}

// Each interior node's y is split between the cells around x * (N - 1).
TEST(Interpolator, NoneModePlacesImpulses) {
    // Name, nodes, the entries of 17 that are not 0.
    std::tuple<char const*, std::vector<Node>, std::vector<std::pair<int, float>>> const cases[] = {
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
    for (auto const& [name, nodes, nonZero] : cases) {
        SCOPED_TRACE(name);
        std::vector<float> expected(17, 0.0f);
        for (auto [entry, value] : nonZero)
            expected[entry] = value;
        EXPECT_EQ(renderedTable(nodes, zr::None, 17), expected);
    }
}

// A resize renders again and rewinds reading; tables below 16 entries read as silence, and
// so does every read past the rendered entries, whatever the table holds there.
TEST(Interpolator, ResizedTablesRenderAgainAndSmallOnesReadAsSilence) {
    Interpolator interpolator(shapeWith({{0.0f, -1.0f}, {1.0f, 1.0f}}), 16);
    for (int32_t size : {100, 15, 0, -5, 16}) {
        SCOPED_TRACE(size);
        interpolator.setTableSize(size);
        EXPECT_EQ(interpolator.table.size(), static_cast<std::size_t>(std::max(size, 0)) + 1);
        std::fill(interpolator.table.begin(), interpolator.table.end(), kNaN);
        EXPECT_TRUE(interpolator.render());
        EXPECT_EQ(interpolator.renderedSize, size >= 16 ? size : 0);
        auto const values = interpolator.rendered();
        EXPECT_EQ(values.size(), interpolator.renderedSize);
        EXPECT_EQ(values.value(0), size >= 16 ? -1.0f : 0.0f);
        EXPECT_EQ(values.value(std::max(size, 0)), 0.0f) << "the guard entry is not a value";
        EXPECT_EQ(interpolator.readNext(), size >= 16 ? -1.0f : 0.0f);
    }
}

// Curves worked by hand: two nodes draw a line in every mode; the local spline's sides are
// quadratics with the chord slope 1/4 at the middle node; the natural spline (phantom node
// (0, 0) after the last) is 8/3 x - 8/3 x^3, then 1 + 2/3 u - 4 u^2 - 8/3 u^3 with u = x - 0.5.
// Checked at grid positions accumulated in single precision, as stored tables were rendered.
TEST(Interpolator, SplinesMatchTheirWorkedForms) {
    auto const rising = [](double x) { return 2.0 * x - 1.0; };
    // Mode, nodes, the curve, the tolerance.
    std::tuple<int32_t, std::vector<Node>, std::function<double(double)>, double> const cases[] = {
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
         }, 2e-5},
    };
    int32_t const size = 8000;
    for (auto const& [mode, nodes, curve, tolerance] : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << mode << ", " << nodes.size() << " nodes");
        std::vector<float> const table = renderedTable(nodes, mode, size);
        EXPECT_EQ(table[0], nodes.front().y);
        float const step = 1.0f / static_cast<float>(size - 1);
        float position = 0.0f;
        for (int32_t k = 0; k < size - 1; ++k, position += step)
            ASSERT_NEAR(table[k], curve(position), tolerance) << "entry " << k;
        EXPECT_EQ(table[size - 1], nodes.back().y);
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

// Each segment runs from its first accumulated grid position in even steps, so the reference
// line is taken there too; the running sum may drift by about half an ulp per entry.
TEST(Interpolator, LinearModeFollowsTheLinesBetweenRandomNodes) {
    std::mt19937 rng(20240611);
    for (int run = 0; run < 100; ++run) {
        std::vector<Node> const nodes = nodesOf(randomValidNodes(rng, 1e-5f));
        int32_t const size = std::uniform_int_distribution<int32_t>(16, 8192)(rng);
        SCOPED_TRACE(testing::Message() << "run " << run << ", size " << size);
        std::vector<float> const table = renderedTable(nodes, zr::Linear, size);
        float const step = 1.0f / static_cast<float>(size - 1);
        float position = 0.0f, startPosition = 0.0f;
        std::size_t segment = 0;
        int32_t segmentStart = 0;
        for (int32_t k = 0; k < size - 1; ++k, position += step) {
            for (; segment + 2 < nodes.size() && position >= nodes[segment + 1].x; ++segment) {
                segmentStart = k;
                startPosition = position;
            }
            Node const& from = nodes[segment];
            Node const& to = nodes[segment + 1];
            double const x = double(startPosition) + double(k - segmentStart) * step;
            double const expected = from.y + (double(to.y) - from.y) * (x - from.x) / (double(to.x) - from.x);
            ASSERT_NEAR(table[k], expected, 1e-5 + (k - segmentStart) * 6e-8) << "entry " << k << " of segment " << segment;
        }
    }
}

// Unchecked images reach the renderers; above 8192 entries the accumulated grid misses entry
// N - 1 and tiny steps overflow 1 / step. Every mode writes finite entries, inside the table.
TEST(Interpolator, LargeTablesAndTinyGapsRenderFiniteInBoundsInEveryMode) {
    std::vector<Node> hundredNodes; // the natural spline's end terms must stay inside the record
    for (int i = 0; i < 100; ++i)
        hundredNodes.push_back({static_cast<float>(i) / 99.0f, i % 2 == 0 ? 1.0f : -1.0f});
    std::pair<char const*, std::vector<Node>> const cases[] = {
        {"valid", {{0.0f, 0.0f}, {0.3f, 0.9f}, {0.7f, -0.6f}, {1.0f, 0.2f}}},
        {"100 nodes", hundredNodes},
        // Segment loops bounded by the node x alone would run past the table.
        {"interior x of 5", {{0.0f, 0.0f}, {5.0f, 1.0f}, {1.0f, -1.0f}}},
        {"interior x of +inf", {{0.0f, 0.0f}, {kInf, 0.5f}, {1.0f, 0.0f}}},
        {"last x below 1", {{0.0f, 0.0f}, {0.5f, 1.0f}, {0.6f, 0.0f}}},
        {"every x NaN", {{kNaN, kNaN}, {kNaN, kNaN}, {kNaN, kNaN}}},
        {"huge x and infinite y", {{0.0f, kInf}, {1e30f, 1.0f}, {3e38f, 0.0f}, {1.0f, -kInf}}},
        {"subnormal gaps", {{0.0f, 1.0f}, {kMin, -1.0f}, {2.0f * kMin, 1.0f}, {0.5f, -0.5f}, {1.0f, 0.5f}}},
        {"gaps of 1e-39", {{0.0f, 1.0f}, {1e-39f, -1.0f}, {2e-39f, 1.0f}, {0.5f, -0.5f}, {1.0f, 0.5f}}},
        {"gaps of 1e-20", {{0.0f, 1.0f}, {1e-20f, -1.0f}, {2e-20f, 1.0f}, {0.5f, -0.5f}, {1.0f, 0.5f}}},
    };
    for (auto const& [name, nodes] : cases) {
        std::vector<unsigned char> const image = blobImage(nodes);
        for (int32_t size : {8195, 8321, 9000, 16385, 100003}) {
            for (int32_t mode : {zr::None, zr::Linear, zr::VarekSpline, zr::NaturalSpline}) {
                SCOPED_TRACE(std::string(name) + ", size " + std::to_string(size) + ", mode " + std::to_string(mode));
                Interpolator interpolator(size);
                ASSERT_TRUE(interpolator.shape.readBlob(image.data(), static_cast<int32_t>(image.size())));
                interpolator.shape.setInterpolation(mode);
                EXPECT_TRUE(interpolator.render());
                EXPECT_EQ(interpolator.table.size(), static_cast<std::size_t>(size) + 1);
                EXPECT_TRUE(std::all_of(interpolator.table.begin(), interpolator.table.begin() + size,
                                        [](float v) { return std::isfinite(v); }));
            }
        }
    }
}

} // namespace
} // namespace zr::test

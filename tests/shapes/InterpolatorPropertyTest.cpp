#include "ShapeTestSupport.h"
#include "shapes/Interpolator.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <random>

namespace {

using zr::Node;
using zr::Shape;
using zr::test::shapeWith;
using Interpolator = zr::Shape::Interpolator;

constexpr int32_t kAllModes[] = {zr::None, zr::Linear, zr::VarekSpline, zr::NaturalSpline};
constexpr float kCanary = 12345.0f;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

bool isCurveMode(int32_t mode) { return mode != zr::None; }

// A valid shape: x from 0 to 1 strictly increasing with gaps of at least `minGap`, y in -1..1.
std::vector<Node> randomShape(std::mt19937& rng) {
    std::uniform_int_distribution<int> countOf(2, 100);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::uniform_real_distribution<float> height(-1.0f, 1.0f);
    float const minGap = 1e-5f;
    int const count = countOf(rng);
    std::vector<float> xs;
    do {
        xs = {0.0f, 1.0f};
        for (int i = 0; i < count - 2; ++i)
            xs.push_back(unit(rng));
        std::sort(xs.begin(), xs.end());
    } while (std::adjacent_find(xs.begin(), xs.end(), [&](float a, float b) { return b - a < minGap; }) != xs.end());

    std::vector<Node> nodes;
    for (float x : xs)
        nodes.push_back({x, height(rng)});
    return nodes;
}

// A valid shape whose nodes sit exactly on grid positions of a table of `size` = 2^k + 1.
std::vector<Node> gridAlignedShape(std::mt19937& rng, int32_t size) {
    std::vector<int32_t> cells(static_cast<std::size_t>(size - 2));
    std::iota(cells.begin(), cells.end(), 1);
    std::shuffle(cells.begin(), cells.end(), rng);
    int32_t const interior = std::uniform_int_distribution<int32_t>(0, std::min(98, size - 2))(rng);
    cells.resize(static_cast<std::size_t>(interior));
    cells.push_back(0);
    cells.push_back(size - 1);
    std::sort(cells.begin(), cells.end());

    std::uniform_real_distribution<float> height(-1.0f, 1.0f);
    std::vector<Node> nodes;
    for (int32_t cell : cells)
        nodes.push_back({static_cast<float>(cell) / static_cast<float>(size - 1), height(rng)});
    return nodes;
}

// Each entry against the straight line through its segment's nodes. A segment is sampled
// from its first accumulated grid position in even steps (running value), so the reference
// is taken there too; the running sum may drift by about half an ulp per entry.
void expectPiecewiseLinear(std::vector<Node> const& nodes, std::vector<float> const& table, int32_t size) {
    float const step = 1.0f / static_cast<float>(size - 1);
    float position = 0.0f;
    std::size_t segment = 0;
    int32_t segmentStart = 0;
    float startPosition = 0.0f;
    for (int32_t k = 0; k < size - 1; ++k, position += step) {
        if (segment + 2 < nodes.size() && position >= nodes[segment + 1].x) {
            while (segment + 2 < nodes.size() && position >= nodes[segment + 1].x)
                ++segment;
            segmentStart = k;
            startPosition = position;
        }
        Node const& from = nodes[segment];
        Node const& to = nodes[segment + 1];
        double const x = double(startPosition) + double(k - segmentStart) * step;
        double const expected = from.y + (double(to.y) - from.y) * (x - from.x) / (double(to.x) - from.x);
        double const tolerance = 1e-5 + (k - segmentStart) * 6e-8;
        ASSERT_NEAR(table[k], expected, tolerance) << "entry " << k << " of segment " << segment;
    }
}

// Renders with a canary in the guard entry.
Interpolator renderWithCanary(std::vector<Node> const& nodes, int32_t mode, int32_t size) {
    Interpolator interpolator(shapeWith(nodes, mode), size);
    interpolator.table[static_cast<std::size_t>(size)] = kCanary;
    EXPECT_TRUE(interpolator.render());
    EXPECT_EQ(interpolator.renderedSize, size);
    EXPECT_EQ(interpolator.table.size(), static_cast<std::size_t>(size) + 1);
    return interpolator;
}

// Up to 8192 entries the accumulated grid never passes entry N - 1, so the guard entry stays
// untouched; the table starts and ends at the end nodes' heights in every curve mode.
TEST(InterpolatorProperties, RandomShapesRenderFiniteTablesWithExactEnds) {
    std::mt19937 rng(20240611);
    std::uniform_int_distribution<int32_t> sizeOf(16, 8192);
    for (int run = 0; run < 400; ++run) {
        std::vector<Node> const nodes = randomShape(rng);
        int32_t const mode = kAllModes[run % 4];
        int32_t const size = sizeOf(rng);
        SCOPED_TRACE("run " + std::to_string(run) + ", mode " + std::to_string(mode) + ", size " +
                     std::to_string(size) + ", nodes " + std::to_string(nodes.size()));
        Interpolator const interpolator = renderWithCanary(nodes, mode, size);
        std::vector<float> const& table = interpolator.table;

        EXPECT_EQ(table[size], kCanary);
        EXPECT_TRUE(std::all_of(table.begin(), table.begin() + size, [](float v) { return std::isfinite(v); }));
        if (isCurveMode(mode)) {
            EXPECT_EQ(table[0], nodes.front().y);
            EXPECT_EQ(table[size - 1], nodes.back().y);
        } else {
            // Impulses keep their heights: the table sums to the sum of the nodes' y.
            double const tableSum = std::accumulate(table.begin(), table.begin() + size, 0.0);
            double const nodeSum = std::accumulate(nodes.begin(), nodes.end(), 0.0, [](double s, Node const& n) { return s + n.y; });
            EXPECT_NEAR(tableSum, nodeSum, 1e-4);
        }
        if (mode == zr::Linear)
            expectPiecewiseLinear(nodes, table, size);
    }
}

// With nodes on grid positions each renderer hits every node exactly; the None mode leaves
// every other entry at 0.
TEST(InterpolatorProperties, NodesOnGridPositionsAreHitExactly) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> powerOf(4, 13);
    for (int run = 0; run < 300; ++run) {
        int32_t const size = (1 << powerOf(rng)) + 1; // grid positions k / 2^m are exact
        std::vector<Node> const nodes = gridAlignedShape(rng, size);
        int32_t const mode = kAllModes[run % 4];
        SCOPED_TRACE("run " + std::to_string(run) + ", mode " + std::to_string(mode) + ", size " +
                     std::to_string(size) + ", nodes " + std::to_string(nodes.size()));
        Interpolator const interpolator = renderWithCanary(nodes, mode, size);
        std::vector<float> expectedImpulses(static_cast<std::size_t>(size), 0.0f);
        for (Node const& node : nodes) {
            auto const entry = static_cast<std::size_t>(node.x * static_cast<float>(size - 1));
            EXPECT_EQ(interpolator.table[entry], node.y) << "node at entry " << entry;
            expectedImpulses[entry] = node.y;
        }
        if (mode == zr::None) {
            EXPECT_TRUE(std::equal(expectedImpulses.begin(), expectedImpulses.end(), interpolator.table.begin()));
        }
        EXPECT_TRUE(std::all_of(interpolator.table.begin(), interpolator.table.begin() + size,
                                [](float v) { return std::isfinite(v); }));
    }
}

TEST(InterpolatorProperties, HundredNodeNaturalSplinePassesEveryNode) {
    int32_t const size = 8193;
    std::vector<Node> nodes;
    for (int i = 0; i < 100; ++i) {
        float const cell = std::round(i * 8192.0f / 99.0f);
        nodes.push_back({cell / 8192.0f, (i % 3 == 0) ? 0.9f : -0.4f});
    }
    Interpolator const interpolator = renderWithCanary(nodes, zr::NaturalSpline, size);
    EXPECT_EQ(interpolator.table[size], kCanary);
    for (Node const& node : nodes)
        EXPECT_EQ(interpolator.table[static_cast<std::size_t>(node.x * 8192.0f)], node.y);
    EXPECT_TRUE(std::all_of(interpolator.table.begin(), interpolator.table.end(), [](float v) { return std::isfinite(v); }));
}

// Beyond 8194 entries the accumulated grid may overshoot or stop short of N - 1; rendering
// stays within the guard entry and still ends at the last node's height.
TEST(InterpolatorProperties, LargeTablesStayWithinTheGuardEntry) {
    std::mt19937 rng(99);
    for (int32_t size : {8195, 8321, 9000, 16385, 100003}) {
        for (int32_t mode : kAllModes) {
            std::vector<Node> const nodes = randomShape(rng);
            SCOPED_TRACE("size " + std::to_string(size) + ", mode " + std::to_string(mode));
            Interpolator const interpolator = renderWithCanary(nodes, mode, size);
            if (isCurveMode(mode)) {
                EXPECT_EQ(interpolator.table[size - 1], nodes.back().y);
            }
        }
    }
}

// The blob reader trusts its producer, so any node values can reach the renderers. Each must
// return, and write nothing outside the table (checked under the address sanitizer).
TEST(InterpolatorProperties, HostileBlobsRenderInBoundsInEveryMode) {
    struct Case {
        char const* name;
        std::vector<Node> nodes;
    };
    Case const cases[] = {
        {"interior x of 5", {{0.0f, 0.0f}, {5.0f, 1.0f}, {1.0f, -1.0f}}},
        {"interior x of 2", {{0.0f, 0.0f}, {2.0f, 1.0f}, {1.0f, 0.0f}}},
        {"interior x of +inf", {{0.0f, 0.0f}, {kInf, 0.5f}, {1.0f, 0.0f}}},
        {"interior x of -inf", {{0.0f, 0.0f}, {-kInf, 0.5f}, {1.0f, 0.0f}}},
        {"interior x of NaN", {{0.0f, 0.0f}, {kNaN, 0.5f}, {1.0f, 0.0f}}},
        {"interior x of -0.5", {{0.0f, 0.0f}, {-0.5f, 0.5f}, {1.0f, 0.0f}}},
        {"x decreasing", {{0.0f, 0.0f}, {0.7f, 0.5f}, {0.3f, -0.5f}, {1.0f, 0.0f}}},
        {"repeated x", {{0.0f, 0.0f}, {0.5f, 1.0f}, {0.5f, -1.0f}, {1.0f, 0.0f}}},
        {"last x below 1", {{0.0f, 0.0f}, {0.5f, 1.0f}, {0.6f, 0.0f}}},
        {"last x of +inf", {{0.0f, 0.0f}, {0.5f, 1.0f}, {kInf, 0.0f}}},
        {"first x not 0", {{0.4f, 1.0f}, {1.0f, 0.0f}}},
        {"every x NaN", {{kNaN, kNaN}, {kNaN, kNaN}, {kNaN, kNaN}}},
        {"infinite and NaN y", {{0.0f, kInf}, {0.5f, kNaN}, {1.0f, -kInf}}},
        {"huge x", {{0.0f, 0.0f}, {1e30f, 1.0f}, {3e38f, 0.0f}, {1.0f, 0.0f}}},
    };
    for (Case const& c : cases) {
        std::vector<unsigned char> const image = zr::test::blobImage(c.nodes);
        for (int32_t size : {16, 1024, 4096, 9000}) {
            for (int32_t mode : kAllModes) {
                SCOPED_TRACE(std::string(c.name) + ", size " + std::to_string(size) + ", mode " + std::to_string(mode));
                Interpolator interpolator(size);
                ASSERT_TRUE(interpolator.shape.readBlob(image.data(), static_cast<int32_t>(image.size())));
                interpolator.shape.setInterpolation(mode);
                EXPECT_TRUE(interpolator.render());
                EXPECT_EQ(interpolator.renderedSize, size);
                EXPECT_EQ(interpolator.table.size(), static_cast<std::size_t>(size) + 1);
                EXPECT_TRUE(std::all_of(interpolator.table.begin(), interpolator.table.begin() + size,
                                        [](float v) { return std::isfinite(v); }))
                    << "a non-finite entry would reach every signal read through the table";
            }
        }
    }
}

// Shapes that keep every node rule but whose x steps are too small for 1 / step in single
// precision (only an unchecked blob brings them): the straight-line and spline terms
// overflow, yet the table stays finite and still starts and ends at the end nodes' heights.
TEST(InterpolatorProperties, SubnormalNodeGapsStillRenderFiniteTables) {
    for (float gap : {std::numeric_limits<float>::denorm_min(), 1e-39f, 1e-20f}) {
        std::vector<Node> const nodes = {{0.0f, 1.0f}, {gap, -1.0f}, {2.0f * gap, 1.0f}, {0.5f, -0.5f}, {1.0f, 0.5f}};
        for (int32_t mode : kAllModes) {
            SCOPED_TRACE("gap " + std::to_string(gap) + ", mode " + std::to_string(mode));
            Interpolator const interpolator = renderWithCanary(nodes, mode, 4096);
            std::vector<float> const& table = interpolator.table;
            EXPECT_TRUE(std::all_of(table.begin(), table.begin() + 4096, [](float v) { return std::isfinite(v); }));
            if (isCurveMode(mode)) {
                EXPECT_EQ(table[0], 1.0f);
                EXPECT_EQ(table[4095], 0.5f);
            }
        }
    }
}

} // namespace

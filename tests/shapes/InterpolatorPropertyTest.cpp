#include "RandomShapes.h"
#include "ShapeTestSupport.h"
#include "shapes/Interpolator.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <random>
#include <string>

namespace {

using zr::Node;
using Interpolator = zr::Shape::Interpolator;

constexpr int32_t kAllModes[] = {zr::None, zr::Linear, zr::VarekSpline, zr::NaturalSpline};
constexpr float kCanary = 12345.0f;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kMin = std::numeric_limits<float>::denorm_min();

// A valid shape of 2..100 nodes: x from 0 to 1 rising by more than 1e-5, y in -1..1.
std::vector<Node> randomShape(std::mt19937& rng) {
    std::vector<Node> nodes;
    for (auto const& [x, y] : zr::test::randomValidNodes(rng, 1e-5f))
        nodes.push_back({x, y});
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

// Renders with a canary in the guard entry, which no render up to 8194 entries may reach.
Interpolator renderWithCanary(std::vector<Node> const& nodes, int32_t mode, int32_t size) {
    Interpolator interpolator(zr::test::shapeWith(nodes, mode), size);
    interpolator.table[static_cast<std::size_t>(size)] = kCanary;
    EXPECT_TRUE(interpolator.render());
    EXPECT_EQ(interpolator.renderedSize, size);
    EXPECT_EQ(interpolator.table[static_cast<std::size_t>(size)], kCanary);
    std::vector<float> const& table = interpolator.table;
    EXPECT_TRUE(std::all_of(table.begin(), table.end(), [](float v) { return std::isfinite(v); }));
    return interpolator;
}

// Curve modes start and end exactly at the end nodes' heights and Linear is piecewise linear;
// None keeps every impulse's height, so the table sums to the nodes' y.
TEST(InterpolatorProperties, RandomShapesRenderFiniteTablesWithExactEnds) {
    std::mt19937 rng(20240611);
    for (int run = 0; run < 400; ++run) {
        std::vector<Node> const nodes = randomShape(rng);
        int32_t const mode = kAllModes[run % 4];
        int32_t const size = std::uniform_int_distribution<int32_t>(16, 8192)(rng);
        SCOPED_TRACE(testing::Message() << "run " << run << ", mode " << mode << ", size " << size);
        std::vector<float> const table = renderWithCanary(nodes, mode, size).table;
        if (mode == zr::None) {
            double const tableSum = std::accumulate(table.begin(), table.begin() + size, 0.0);
            double const nodeSum = std::accumulate(nodes.begin(), nodes.end(), 0.0, [](double s, Node const& n) { return s + n.y; });
            EXPECT_NEAR(tableSum, nodeSum, 1e-4);
            continue;
        }
        EXPECT_EQ(table[0], nodes.front().y);
        EXPECT_EQ(table[size - 1], nodes.back().y);
        if (mode == zr::Linear)
            expectPiecewiseLinear(nodes, table, size);
    }
}

// The blob reader trusts its producer, so any node values reach the renderers. Each must
// return and write nothing outside the table (checked under the address sanitizer), also at
// sizes where the accumulated grid overshoots or stops short of entry N - 1.
TEST(InterpolatorProperties, AcceptedBlobsRenderInBoundsInEveryMode) {
    struct Case {
        char const* name;
        std::vector<Node> nodes;
    };
    Case const cases[] = {
        {"valid", {{0.0f, 0.0f}, {0.3f, 0.9f}, {0.7f, -0.6f}, {1.0f, 0.2f}}},
        {"interior x of 5", {{0.0f, 0.0f}, {5.0f, 1.0f}, {1.0f, -1.0f}}},
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
        // Valid order, but steps too small for 1 / step in single precision: the line and spline terms overflow.
        {"subnormal gaps", {{0.0f, 1.0f}, {kMin, -1.0f}, {2.0f * kMin, 1.0f}, {0.5f, -0.5f}, {1.0f, 0.5f}}},
        {"gaps of 1e-39", {{0.0f, 1.0f}, {1e-39f, -1.0f}, {2e-39f, 1.0f}, {0.5f, -0.5f}, {1.0f, 0.5f}}},
        {"gaps of 1e-20", {{0.0f, 1.0f}, {1e-20f, -1.0f}, {2e-20f, 1.0f}, {0.5f, -0.5f}, {1.0f, 0.5f}}},
    };
    for (Case const& c : cases) {
        std::vector<unsigned char> const image = zr::test::blobImage(c.nodes);
        for (int32_t size : {16, 1024, 8195, 8321, 9000, 16385, 100003}) {
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

} // namespace

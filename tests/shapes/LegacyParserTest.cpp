// The lenient parser of the older modules: what it accepts, refuses and how it maps.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "shapes/LegacyParser.h"

namespace {

using zr::shapes::Node;
using zr::shapes::parseNodes;

struct Parsed {
    int32_t count;
    std::vector<Node> nodes;
};

Parsed parseVolts(std::wstring const& text) {
    std::vector<Node> out(zr::shapes::kMaxLegacyNodes, Node{-99.0f, -99.0f});
    int32_t const count = parseNodes(text, -5.0f, 5.0f, -5.0f, 5.0f, out.data());
    out.resize(static_cast<std::size_t>(count));
    return {count, out};
}

// n nodes from -5 to 5 at equal steps, the last x written as `lastX`.
std::wstring evenNodes(int n, std::wstring const& lastX = L"5") {
    std::wstring text;
    for (int i = 0; i < n; ++i) {
        std::wstring const x = i == n - 1 ? lastX : std::to_wstring(-5.0 + 10.0 * i / (n - 1));
        text += L"(" + x + L",0)";
    }
    return text;
}

TEST(LegacyParser, AcceptsAndRefuses) {
    std::tuple<char const*, std::wstring, int32_t> const cases[] = { // name, text, node count
        {"two nodes", L"(-5,0)(5,0)", 2},
        {"a mode line after the nodes is ignored", L"(-5,-5)(5,5)\nITP=2", 2},
        {"any tail after the last node", L"(-5,0)(0,1)(5,0)garbage", 3},
        {"blanks inside fields", L"(-5, 1)(5 ,2)", 2},
        {"y beyond the range is clamped, not refused", L"(-5,7)(5,-9)", 2},
        {"a separator between nodes ends the parse before x reaches 5", L"(-5,0),(5,0)", 0},
        {"a blank before the first node", L" (-5,0)(5,0)", 0},
        {"first x not -5", L"(-4,0)(5,0)", 0},
        {"last x not 5", L"(-5,0)(4.9,0)", 0},
        {"x not increasing", L"(-5,0)(0,0)(0,0)(5,0)", 0},
        {"x above 5", L"(-5,0)(6,0)(5,0)", 0},
        {"a single node", L"(-5,0)", 0},
        {"empty x-field", L"(-5,0)(,0)(5,0)", 0},
        {"empty y-field ends the parse", L"(-5,0)(5,)", 0},
        {"NaN x fails the whole parse", L"(-5,0)(nan,0)(5,0)", 0},
        {"infinite x", L"(-5,0)(inf,0)(5,0)", 0},
        {"empty text", L"", 0},
        {"100 nodes", evenNodes(100), 100},
        {"101 nodes whose 100th is not 5", evenNodes(101), 0},
        {"text after the 100th node is ignored", evenNodes(100) + L"(6,0)", 100},
    };
    for (auto const& [name, text, count] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(parseVolts(text).count, count);
    }
}

TEST(LegacyParser, ClampsYAndMapsIntoTheCallersRectangle) {
    Parsed const clamped = parseVolts(L"(-5,7)(0,nan)(5,-9)");
    ASSERT_EQ(clamped.count, 3);
    EXPECT_EQ(clamped.nodes[0].y, 5.0f);
    EXPECT_TRUE(std::isfinite(clamped.nodes[1].y)) << "a NaN y comes out as a level";
    EXPECT_EQ(clamped.nodes[2].y, -5.0f);

    // x -5..5 onto 0..4095 and y -5..5 onto 0..1, as the first envelope reads its shape.
    Node out[zr::shapes::kMaxLegacyNodes] = {};
    ASSERT_EQ(parseNodes(L"(-5,-5)(0,2.5)(5,5)", 0.0f, 4095.0f, 0.0f, 1.0f, out), 3);
    EXPECT_NEAR(out[1].x, 2047.5f, 1e-3f);
    EXPECT_EQ(out[0].y, 0.0f);
    EXPECT_NEAR(out[1].y, 0.75f, 1e-6f);
    EXPECT_NEAR(out[2].y, 1.0f, 1e-6f);

    // A reversed rectangle turns the axis round.
    ASSERT_EQ(parseNodes(L"(-5,-5)(5,5)", 1.0f, 0.0f, 1.0f, -1.0f, out), 2);
    EXPECT_EQ(out[0].x, 1.0f);
    EXPECT_EQ(out[0].y, 1.0f);
    EXPECT_NEAR(out[1].y, -1.0f, 1e-6f);
}

} // namespace

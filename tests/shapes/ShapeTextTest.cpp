// The strict text form and the shape file, written and read, and the lenient parser of the
// older modules: what each accepts and refuses, and how the lenient one maps into its rectangle.

#include "ShapeTestSupport.h"
#include "shapes/LegacyParser.h"
#include "testing/TemporaryFolder.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <locale>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>

namespace {

namespace fs = std::filesystem;
using zr::Node;
using zr::Shape;
using zr::test::expectNodes;
using zr::shapes::parseNodes;
using zr::test::shapeWith;

// The nodes the lenient parser reads from `text` in volts; none when it refuses.
std::vector<Node> parseVolts(std::wstring const& text) {
    std::vector<Node> out(zr::shapes::kMaxLegacyNodes, Node{-99.0f, -99.0f});
    out.resize(static_cast<std::size_t>(parseNodes(text, -5.0f, 5.0f, -5.0f, 5.0f, out.data())));
    return out;
}

// `count` nodes 0.1 V apart from -5 V, the last one at 5 V, then `tail`.
std::wstring evenlySpacedText(int count, std::wstring const& tail) {
    std::wostringstream text;
    text.imbue(std::locale::classic());
    for (int i = 0; i < count - 1; ++i)
        text << L'(' << -5.0 + 0.1 * i << L",0)";
    return text.str() + L"(5,1)" + tail;
}

// Which texts are accepted and the nodes they give; the change reported and what a rejected
// text leaves are the text parser fuzz target's oracle.
TEST(ShapeText, AcceptsOnlyTheStrictForm) {
    struct Accepted {
        std::wstring text;
        std::vector<Node> nodes; // checked when given
        int32_t count = 0;
    };
    Accepted const accepted[] = {
        {L"(-5,0)(5,0)", {{0.0f, 0.0f}, {1.0f, 0.0f}}},
        {L"(-5,-5)(5,5)", {{0.0f, -1.0f}, {1.0f, 1.0f}}},
        {L"(-5,5)(5,-5)", {{0.0f, 1.0f}, {1.0f, -1.0f}}},
        // Blanks before a number are skipped, anything after it up to the separator ignored.
        {L"(-5, 1)( 0 ,-1)(5,1 )", {{0.0f, 0.2f}, {0.5f, -0.2f}, {1.0f, 0.2f}}},
        {L"(-5,0)(abc,0.5)(5,0)", {{0.0f, 0.0f}, {0.5f, 0.1f}, {1.0f, 0.0f}}},
        {L"(-5,2e0)(5,-25e-1)", {{0.0f, 0.4f}, {1.0f, -0.5f}}},
        {L"(-5,0)(-4.9999995,0)(-4.999999,0)(5,0)", {}, 4},
        {evenlySpacedText(100, L""), {}, 100},
        {evenlySpacedText(100, L"(7,7)junk"), {}, 100}, // the rest is ignored
    };
    for (Accepted const& c : accepted) {
        SCOPED_TRACE(c.text);
        Shape shape;
        shape.setString(c.text);
        EXPECT_EQ(shape.invalid, 0);
        if (c.nodes.empty())
            EXPECT_EQ(shape.nodeCount, c.count);
        else
            expectNodes(shape, c.nodes);
    }

    std::wstring const rejected[] = {
        // Characters outside the grammar, or missing.
        L"", L"(-5,0)(5,0", L"(-5,0)(5,00", L"(-5,0000000)", L"[-5,0)(5,0)", L" (-5,0)(5,0)", L"(-5,0) (5,0)",
        L"(-5,-5),(5,5)", L"(-5,0)(5,0)\nITP=10", L"(-5,0)(5,0)(", L"(-5,0)(5,0)(5,0)",
        // Empty fields.
        L"(,0)(0,0)(5,0)", L"(-5,)(0,0)(5,0)",
        // x not from -5 to 5 or not increasing; the 100th node not at 5 V.
        L"(-4,0)(5,0)", L"(-5,0)(4.9,0)", L"(-5,0)(5.000001,0)", L"(-5,0)(0,0)(0,0)(5,0)",
        L"(-5,0)(0,0)(-1,0)(5,0)", evenlySpacedText(101, L""),
        // y out of range.
        L"(-5,6)(5,0)", L"(-5,0)(0,-5.5)(5,0)",
        // NaN fails every range check; infinities are out of range.
        L"(-5,nan)(5,0)", L"(-5,0)(nan,0)(5,0)", L"(-5,0)(NAN(1),0)(5,0)", L"(-5,0)(5,nan)", L"(-5,0)(inf,0)(5,0)",
        L"(-5,0)(0,1e39)(5,0)", L"(-5,0)(5,-infinity)",
    };
    for (std::wstring const& text : rejected) {
        SCOPED_TRACE(text);
        Shape shape;
        shape.setString(text);
        EXPECT_EQ(shape.invalid, 1);
    }
}

// Eight significant digits in the shorter of fixed or scientific notation, "." always.
TEST(ShapeText, WritesNodesInVolts) {
    std::pair<std::vector<Node>, std::wstring> const cases[] = {
        {{{0.0f, 0.0f}, {1.0f, 0.0f}}, L"(-5,0)(5,0)"},
        {{{0.0f, 0.0f}, {0.25f, -0.5f}, {1.0f, 0.0f}}, L"(-5,0)(-2.5,-2.5)(5,0)"},
        {{{0.0f, 1.0f / 15.0f}, {1.0f, 0.0f}}, L"(-5,0.33333334)(5,0)"},
        // x * 10 rounds to single precision before -5 (in double it would print 4.9999994).
        {{{0.0f, 1e-9f}, {0.99999994f, 0.0f}, {1.0f, 0.0f}}, L"(-5,5e-09)(4.999999,0)(5,0)"},
    };
    for (auto const& [nodes, expected] : cases) {
        SCOPED_TRACE(expected);
        EXPECT_EQ(shapeWith(nodes).getString(), expected);
    }
}

// Nodes one float step apart in x + 1, as a drag leaves them, may print as equal volts: the
// text must still read back, crowded nodes it cannot tell apart left out.
TEST(ShapeText, TextsOfNodesOneStepApartReadBack) {
    auto const stepAbove = [](float x) { return std::nextafter(x + 1.0f, 2.0f) - 1.0f; };
    float const a = 0.997184813f; // a * 10 and stepAbove(a) * 10 round to the same float
    std::tuple<char const*, std::vector<Node>, int32_t> const cases[] = { // name, nodes, nodes kept at least
        {"equal volts", {{0.0f, 0.0f}, {a, 0.2f}, {stepAbove(a), -0.2f}, {1.0f, 0.0f}}, 4},
        {"three crowded", {{0.0f, 0.0f}, {a, 0.1f}, {stepAbove(a), 0.2f}, {stepAbove(stepAbove(a)), 0.3f}, {1.0f, 0.0f}}, 4},
        {"next to the right end", {{0.0f, 0.0f}, {std::nextafter(1.0f, 0.0f), 0.5f}, {1.0f, 0.0f}}, 2},
    };
    for (auto const& [name, nodes, keptAtLeast] : cases) {
        SCOPED_TRACE(name);
        Shape back;
        back.setString(shapeWith(nodes).getString());
        ASSERT_EQ(back.invalid, 0);
        EXPECT_GE(back.nodeCount, keptAtLeast);
        for (int32_t i = 0; i < back.nodeCount; ++i) {
            bool const near = std::any_of(nodes.begin(), nodes.end(), [&](Node const& n) {
                return std::fabs(n.x - back.nodes[i].x) <= 2e-7f && n.y == back.nodes[i].y;
            });
            EXPECT_TRUE(near) << "node " << i;
        }
    }
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
        {"100 nodes", evenlySpacedText(100, L""), 100},
        {"101 nodes whose 100th is not 5", evenlySpacedText(101, L""), 0},
        {"text after the 100th node is ignored", evenlySpacedText(100, L"(6,0)"), 100},
    };
    for (auto const& [name, text, count] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(static_cast<int32_t>(parseVolts(text).size()), count);
    }
}

TEST(LegacyParser, ClampsYAndMapsIntoTheCallersRectangle) {
    std::vector<Node> const clamped = parseVolts(L"(-5,7)(0,nan)(5,-9)");
    ASSERT_EQ(clamped.size(), 3u);
    EXPECT_EQ(clamped[0].y, 5.0f);
    EXPECT_TRUE(std::isfinite(clamped[1].y)) << "a NaN y comes out as a level";
    EXPECT_EQ(clamped[2].y, -5.0f);

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

class ShapeFile : public testing::Test {
protected:
    std::wstring write(std::string const& name, std::string const& content) {
        return temporary.write(name, content).wstring();
    }

    zr::test::TemporaryFolder temporary{"zr-shape-file"};
    fs::path const& folder = temporary.path();
};

// The content rule is the shape-file fuzz target's oracle; these rows add what its kept inputs lack.
TEST_F(ShapeFile, LoadsWhatItAcceptsAndKeepsTheRestUnchanged) {
    struct Case {
        char const* name;
        std::string content;
        bool result, accepted; // accepted: invalid cleared
        int32_t mode;      // interpolation afterwards (started at 10)
        int32_t nodeCount; // afterwards (started at 2)
    };
    Case const cases[] = {
        {"unchanged nodes, new mode", "(-5,0)(5,0)\nITP=20", true, true, 20, 2},
        {"a legacy mode", "(-5,-5)(5,5)\nITP=2", true, true, 10, 2},
        {"mode line later in the file", "(-5,-5)(5,5)\nnote\nITP=30\n", true, true, 30, 2},
        {"no digits after ITP=", "(-5,-5)(5,5)\nITP=x30", true, true, 10, 2},
        {"bad nodes with a good mode", "(-4,0)(5,0)\nITP=30", false, false, 10, 2},
        {"NUL inside the nodes", std::string("(-5,-5)\0(5,5)", 13), false, false, 10, 2},
        {"binary bytes", std::string("\x7f" "ELF\x02\x01\x01\0\0\0\xff\xfe", 12), false, false, 10, 2},
        {"NUL in the mode line", std::string("(-5,-5)(5,5)\nITP=\0" "30", 19), true, true, 10, 2},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        zr::Shape shape;
        EXPECT_EQ(shape.loadShp(write("case.shp", c.content)), c.result);
        EXPECT_EQ(shape.invalid == 0, c.accepted);
        EXPECT_EQ(shape.interpolation, c.mode);
        EXPECT_EQ(shape.nodeCount, c.nodeCount);
    }
}

TEST_F(ShapeFile, UnusablePathsFailWithoutThrowing) {
    std::wstring const tooLarge = write("large.shp", "(-5,0)(5,0)\nITP=10" + std::string(2 << 20, ' '));
    std::pair<char const*, std::wstring> const cases[] = {
        {"empty", L""},
        {"missing", (folder / "missing.shp").wstring()},
        {"a directory", folder.wstring()},
        {"beyond U+10FFFF", std::wstring(1, static_cast<wchar_t>(0x110000))},
        {"a lone surrogate", std::wstring(1, static_cast<wchar_t>(0xD800))},
        {"too large to be a shape file", tooLarge},
    };
    for (auto const& [name, path] : cases) {
        SCOPED_TRACE(name);
        zr::Shape shape(L"(-5,-5)(5,5)");
        EXPECT_FALSE(shape.loadShp(path));
        EXPECT_EQ(shape.invalid, 1);
        EXPECT_EQ(shape.getString(), L"(-5,-5)(5,5)");
    }
    for (std::wstring const& path : {std::wstring(), std::wstring(1, static_cast<wchar_t>(0x110000)),
                                     (folder / "no-such-folder" / "x.shp").wstring(), folder.wstring()}) {
        EXPECT_FALSE(zr::Shape().saveShp(path));
    }
    if (fs::exists("/dev/full")) {
        EXPECT_FALSE(zr::Shape().saveShp(L"/dev/full")) << "a failed write is not a saved file";
    }
}

} // namespace

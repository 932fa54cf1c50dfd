// The strict text form and the shape file, written and read, the float-step search its writer
// uses, and the lenient parser of the older modules: what each accepts and refuses, and how the
// lenient one maps into its rectangle.

#include "ShapeTestSupport.h"
#include "shapes/FloatSteps.h"
#include "shapes/LegacyParser.h"
#include "shapes/ShapeDiagnosis.h"
#include "testing/TemporaryFolder.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <locale>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>

namespace zr::test {
namespace {

namespace fs = std::filesystem;
using zr::shapes::parseNodes;

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

// One table of texts for the three readers of the text form. The strict reader accepts a text
// (and gives its nodes) or refuses it, and then its explanation names the rule and the place;
// the lenient parser of the older modules gives the node count (0: refused). The change
// reported and what a rejected text leaves are the text parser fuzz target's oracle.
TEST(ShapeText, EachReaderAcceptsOrRefusesAndARefusalNamesTheRule) {
    struct TextCase {
        std::wstring text;
        char const* refusal;            // nullptr: accepted by the strict reader; else part of its explanation
        int32_t legacyCount = -1;       // -1: not read with the lenient parser
        std::vector<Node> nodes = {};   // the strict reader's nodes, when given
        int32_t count = 0;              // else its node count
    };
    TextCase const cases[] = {
        {L"(-5,0)(5,0)", nullptr, 2, {{0.0f, 0.0f}, {1.0f, 0.0f}}},
        {L"(-5,-5)(5,5)", nullptr, -1, {{0.0f, -1.0f}, {1.0f, 1.0f}}},
        {L"(-5,5)(5,-5)", nullptr, -1, {{0.0f, 1.0f}, {1.0f, -1.0f}}},
        // Blanks before a number are skipped, anything after it up to the separator ignored.
        {L"(-5, 1)( 0 ,-1)(5,1 )", nullptr, -1, {{0.0f, 0.2f}, {0.5f, -0.2f}, {1.0f, 0.2f}}},
        {L"(-5, 1)(5 ,2)", nullptr, 2, {{0.0f, 0.2f}, {1.0f, 0.4f}}},
        {L"(-5,0)(abc,0.5)(5,0)", nullptr, -1, {{0.0f, 0.0f}, {0.5f, 0.1f}, {1.0f, 0.0f}}},
        {L"(-5,2e0)(5,-25e-1)", nullptr, -1, {{0.0f, 0.4f}, {1.0f, -0.5f}}},
        {L"(-5,0)(-4.9999995,0)(-4.999999,0)(5,0)", nullptr, -1, {}, 4},
        // Both readers ignore the rest after the 100th node.
        {evenlySpacedText(100, L""), nullptr, 100, {}, 100},
        {evenlySpacedText(100, L"(7,7)junk"), nullptr, -1, {}, 100},
        {evenlySpacedText(100, L"(6,0)"), nullptr, 100, {}, 100},
        // Characters outside the grammar, or missing; the lenient parser takes tails and blanks.
        {L"", "the text is empty", 0},
        {L"(-5,0)(5,0", "node 2, character 7: no ')' closes the node"},
        {L"(-5,0)(5,00", ""}, {L"(-5,0000000)", ""}, {L"(-5,0)(5,0)(", ""}, {L"(-5,0)(5,0)(5,0)", ""},
        {L"[-5,0)(5,0)", "node 1, character 1: expected '(' to start the node, found '['"},
        {L" (-5,0)(5,0)", "", 0}, {L"(-5,0) (5,0)", "node 2, character 7: a blank where a node should start"},
        {L"(-5,-5),(5,5)", ""}, {L"(-5,0),(5,0)", "", 0}, // a separator ends the lenient parse before x reaches 5
        {L"(-5,0)(5,0)\nITP=10", ""}, {L"(-5,-5)(5,5)\nITP=2", "", 2}, {L"(-5,0)(0,1)(5,0)garbage", "", 3},
        {L"(-5,0)(5,0)\r", "node 3, character 12: a carriage return (CR) where a node should start"},
        {L"(-5,0)(5)", "node 2, character 7: no ',' between x and y"},
        {L"(-5,0)", "only one node", 0},
        // Empty fields.
        {L"(,0)(0,0)(5,0)", ""}, {L"(-5,)(0,0)(5,0)", ""},
        {L"(,0)(5,0)", "node 1, character 2: x is missing"}, {L"(-5,)(5,0)", "node 1, character 5: y is missing"},
        {L"(-5,0)(,0)(5,0)", "", 0}, {L"(-5,0)(5,)", "", 0},
        // x not from -5 to 5 or not increasing; the 100th node not at 5 V.
        {L"(-4,0)(5,0)", "node 1, character 2: the first node must be at x = -5, not -4", 0},
        {L"(-5,0)(4.9,0)", "", 0}, {L"(-5,0)(5.000001,0)", ""},
        {L"(-5,0)(0,0)", "node 2 is the last node and lies at x = 0; the last node must be at x = 5"},
        {L"(-5,0)(0,0)(0,0)(5,0)", "node 3, character 13: x must increase", 0},
        {L"(-5,0)(0,0)(-1,0)(5,0)", "node 3, character 13: x must increase from node to node"},
        {L"(-5,0)(6,0)", "node 2, character 8: x = 6 is outside -5..5"}, {L"(-5,0)(6,0)(5,0)", "", 0},
        {evenlySpacedText(101, L""), "", 0},
        // y out of range: the lenient parser clamps it.
        {L"(-5,6)(5,0)", ""}, {L"(-5,7)(5,-9)", "", 2},
        {L"(-5,0)(0,-5.5)(5,0)", "node 2, character 10: y = -5.5 is outside -5..5"},
        // NaN fails every range check; infinities are out of range.
        {L"(-5,nan)(5,0)", "node 1, character 5: y = nan is outside -5..5"},
        {L"(-5,0)(nan,0)(5,0)", "", 0}, {L"(-5,0)(NAN(1),0)(5,0)", ""}, {L"(-5,0)(5,nan)", ""},
        {L"(-5,0)(inf,0)(5,0)", "", 0}, {L"(-5,0)(0,1e39)(5,0)", ""}, {L"(-5,0)(5,-infinity)", ""},
    };
    for (TextCase const& c : cases) {
        SCOPED_TRACE(std::string(c.text.begin(), c.text.end()).substr(0, 40));
        Shape shape;
        shape.setString(c.text);
        EXPECT_EQ(shape.invalid, c.refusal == nullptr ? 0 : 1);
        if (c.refusal != nullptr) {
            std::optional<std::string> const why = explainShapeText(c.text);
            ASSERT_TRUE(why.has_value());
            EXPECT_NE(why->find(c.refusal), std::string::npos) << *why;
        } else if (c.nodes.empty()) {
            EXPECT_EQ(shape.nodeCount, c.count);
        } else {
            expectNodes(shape, c.nodes);
        }
        if (c.legacyCount >= 0) {
            EXPECT_EQ(static_cast<int32_t>(parseVolts(c.text).size()), c.legacyCount);
        }
    }
    // The reader ignores text after the 100th node; the explanation names the node after it at
    // its opening parenthesis (characters count from 1).
    std::wstring const tooMany = evenlySpacedText(100, L"(7,7)");
    Shape hundred;
    hundred.setString(tooMany);
    EXPECT_TRUE(hundred.invalid == 0 && hundred.nodeCount == 100);
    std::optional<std::string> const why = explainShapeText(tooMany);
    ASSERT_TRUE(why.has_value());
    std::string const expected = "node 101, character " + std::to_string(tooMany.rfind(L'(') + 1) +
                                 ": more than 100 nodes; a shape has at most 100";
    EXPECT_NE(why->find(expected), std::string::npos) << *why;
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

// Every height prints as a wide stream in the classic locale at eight digits prints it, whatever
// its size, sign or distance to a rounding boundary.
TEST(ShapeText, WritesHeightsAsAClassicStreamDoes) {
    std::mt19937 rng(20261207);
    std::uniform_real_distribution<float> height(-1.0f, 1.0f);
    std::uniform_int_distribution<int> scale(-40, 0);
    for (int i = 0; i < 2000; ++i) {
        float const y = i == 0 ? -0.0f : std::ldexp(height(rng), scale(rng));
        std::wostringstream expected;
        expected.imbue(std::locale::classic());
        expected.precision(8);
        expected << L"(-5," << y * 5.0f << L")(5,0)";
        ASSERT_EQ(shapeWith({{0.0f, y}, {1.0f, 0.0f}}).getString(), expected.str()) << "height " << y;
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

float stepsFrom(float from, float toward, int steps) {
    for (int step = 0; step < steps; ++step)
        from = std::nextafter(from, toward);
    return from;
}

// The float-step search the node text writers share: which candidates it tests and in what
// order, and where it gives up.
TEST(FloatSteps, FindsTheNearestCandidateAfterTheStartWithinTheSteps) {
    float const one = 1.0f;
    // Name, toward, steps allowed, the candidate (in steps from 1) where the predicate first
    // holds, the expected steps to the answer or nothing.
    std::tuple<char const*, float, int, int, std::optional<int>> const cases[] = {
        {"the start itself is not a candidate", 2.0f, 64, 0, 1}, {"the first step", 2.0f, 64, 1, 1},
        {"the last step allowed", 2.0f, 64, 64, 64},             {"one step too far", 2.0f, 64, 65, std::nullopt},
        {"downward", 0.0f, 8, 5, 5},                             {"no steps allowed", 2.0f, 0, 1, std::nullopt},
    };
    for (auto const& [name, toward, maxSteps, firstHolding, expected] : cases) {
        SCOPED_TRACE(name);
        float const threshold = stepsFrom(one, toward, firstHolding);
        std::vector<float> tested;
        bool const upward = toward > one;
        auto const holds = [&](float candidate) {
            tested.push_back(candidate);
            return upward ? candidate >= threshold : candidate <= threshold;
        };
        std::optional<float> const found = nextFloatWhere(one, toward, maxSteps, holds);
        if (expected) {
            ASSERT_TRUE(found.has_value());
            EXPECT_EQ(*found, stepsFrom(one, toward, *expected));
        } else {
            EXPECT_FALSE(found.has_value());
        }
        for (std::size_t i = 0; i < tested.size(); ++i)
            EXPECT_EQ(tested[i], stepsFrom(one, toward, static_cast<int>(i) + 1)) << "candidate " << i;
    }
}

// A walk that reaches `toward` stays there: the later candidates all equal it.
TEST(FloatSteps, StopsMovingAtTheTarget) {
    float const target = std::nextafter(std::nextafter(1.0f, 2.0f), 2.0f);
    int calls = 0;
    auto const never = [&](float candidate) {
        EXPECT_LE(candidate, target);
        ++calls;
        return false;
    };
    EXPECT_FALSE(nextFloatWhere(1.0f, target, 10, never).has_value());
    EXPECT_EQ(calls, 10);
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

    TemporaryFolder temporary{"zr-shape-file"};
    fs::path const& folder = temporary.path();
};

// Shape files loaded from disk and explained: the node line is explained as a text, then the
// line ends and the ITP line. The content rule is the shape-file fuzz target's oracle; these
// rows add what its kept inputs lack.
TEST_F(ShapeFile, LoadsWhatItAcceptsKeepsTheRestUnchangedAndExplainsIt) {
    struct Case {
        char const* name;
        std::string content;
        char const* why;  // part of the explanation; "": no fault; nullptr: not checked
        int32_t mode;     // interpolation after loading (started at 10); -1: not loaded
        bool accepted = true, changes = true; // invalid cleared; nodes or mode changed (the answer)
    };
    Case const cases[] = {
        {"the default shape", "(-5,0)(5,0)\nITP=10", "", 10, true, false},
        {"a final line end", "(-5,0)(5,0)\nITP=30\n", "", 30}, {"blanks and a sign", "(-5,0)(5,0)\nITP= +20", "", 20},
        {"unchanged nodes, new mode", "(-5,0)(5,0)\nITP=20", "", 20},
        {"a legacy mode", "(-5,-5)(5,5)\nITP=2", nullptr, 10},
        {"mode line later in the file", "(-5,-5)(5,5)\nnote\nITP=30\n", nullptr, 30},
        {"no digits after ITP=", "(-5,-5)(5,5)\nITP=x30", nullptr, 10},
        {"bad nodes with a good mode", "(-4,0)(5,0)\nITP=30", "line 1, node 1, character 2: the first node must be at x = -5",
         10, false, false},
        {"NUL inside the nodes", std::string("(-5,-5)\0(5,5)", 13), nullptr, 10, false, false},
        {"binary bytes", std::string("\x7f" "ELF\x02\x01\x01\0\0\0\xff\xfe", 12), nullptr, 10, false, false},
        {"NUL in the mode line", std::string("(-5,-5)(5,5)\nITP=\0" "30", 19), nullptr, 10},
        {"CR-LF after the nodes", "(-5,0)(5,0)\r\nITP=10", "line 1 ends with CR-LF", -1},
        {"CR-LF after the mode", "(-5,0)(5,0)\nITP=10\r\n", "line 2: ends with CR-LF", -1},
        {"y out of range", "(-5,0)(0,9)(5,0)\nITP=10", "line 1, node 2, character 10: y = 9 is outside -5..5", -1},
        {"no mode line", "(-5,0)(5,0)", "line 2: no ITP= line after the nodes", -1},
        {"another key", "(-5,0)(5,0)\nmode=10", "line 2: no ITP= line", -1},
        {"not a mode", "(-5,0)(5,0)\nITP=15",
         "line 2: ITP=15 is not an interpolation mode; write one of 0 (none), 10 (linear), 20 or 30", -1},
        {"not a number", "(-5,0)(5,0)\n\nITP=ten", "line 3: ITP=ten is not a whole number", -1},
        {"no mode", "(-5,0)(5,0)\nITP=", "line 2: ITP= names no mode", -1},
        {"beyond ASCII", "(-5,0)(5,0)\nITP=10 \xc3\xa9", "line 2: byte 20 is outside ASCII", -1},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.mode >= 0) {
            Shape shape;
            EXPECT_EQ(shape.loadShp(write("case.shp", c.content)), c.changes);
            EXPECT_EQ(shape.invalid == 0, c.accepted);
            EXPECT_EQ(shape.interpolation, c.mode);
            EXPECT_EQ(shape.nodeCount, 2);
        }
        if (c.why == nullptr)
            continue;
        std::optional<std::string> const why = explainShapeFile(c.content);
        if (*c.why == '\0') {
            EXPECT_FALSE(why.has_value()) << *why;
            continue;
        }
        ASSERT_TRUE(why.has_value());
        EXPECT_NE(why->find(c.why), std::string::npos) << *why;
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
        Shape shape(L"(-5,-5)(5,5)");
        EXPECT_FALSE(shape.loadShp(path));
        EXPECT_EQ(shape.invalid, 1);
        EXPECT_EQ(shape.getString(), L"(-5,-5)(5,5)");
    }
    for (std::wstring const& path : {std::wstring(), std::wstring(1, static_cast<wchar_t>(0x110000)),
                                     (folder / "no-such-folder" / "x.shp").wstring(), folder.wstring()}) {
        EXPECT_FALSE(Shape().saveShp(path));
    }
    if (fs::exists("/dev/full")) {
        EXPECT_FALSE(Shape().saveShp(L"/dev/full")) << "a failed write is not a saved file";
    }
}

} // namespace
} // namespace zr::test

#include "ShapeTestSupport.h"

#include <cwchar>
#include <locale>
#include <locale.h>
#include <random>
#include <sstream>

namespace {

using zr::Node;
using zr::Shape;
using zr::test::expectNodes;
using zr::test::expectSameCurve;
using zr::test::shapeWith;

// `count` nodes 0.1 V apart from -5 V, except the last one at `lastX`, then `tail`.
std::wstring evenlySpacedText(int count, double lastX, std::wstring const& tail) {
    std::wostringstream text;
    text.imbue(std::locale::classic());
    for (int i = 0; i < count - 1; ++i)
        text << L'(' << -5.0 + 0.1 * i << L",0)";
    text << L'(' << lastX << L",1)" << tail;
    return text.str();
}

enum class Start { Default, ThreeNodes };

Shape startRecord(Start start) {
    return start == Start::Default ? Shape() : shapeWith({{0.0f, 0.2f}, {0.4f, -0.4f}, {1.0f, 0.6f}}, zr::VarekSpline);
}

struct TextCase {
    std::wstring text;
    Start start;
    bool accepted;
    bool changes;
    int32_t count;
    std::vector<Node> nodes; // checked when given
};

TextCase accepted(std::wstring text, bool changes, int32_t count, std::vector<Node> nodes = {}, Start start = Start::Default) {
    return {std::move(text), start, true, changes, count, std::move(nodes)};
}

TextCase rejected(std::wstring text) { return {std::move(text), Start::ThreeNodes, false, false, 0, {}}; }

// A rejected text returns false, sets `invalid` and leaves the record exactly as it was; an
// accepted one reports whether the nodes changed and never touches the mode.
TEST(ShapeText, AcceptsOnlyTheStrictForm) {
    TextCase const cases[] = {
        accepted(L"(-5,0)(5,0)", false, 2, {{0.0f, 0.0f}, {1.0f, 0.0f}}),
        accepted(L"(-5,0)(5,0)", true, 2, {{0.0f, 0.0f}, {1.0f, 0.0f}}, Start::ThreeNodes),
        accepted(L"(-5,-5)(5,5)", true, 2, {{0.0f, -1.0f}, {1.0f, 1.0f}}),
        accepted(L"(-5,5)(5,-5)", true, 2, {{0.0f, 1.0f}, {1.0f, -1.0f}}),
        // Blanks before a number are skipped, anything after it up to the separator ignored.
        accepted(L"(-5, 1)( 0 ,-1)(5,1 )", true, 3, {{0.0f, 0.2f}, {0.5f, -0.2f}, {1.0f, 0.2f}}),
        accepted(L"(-5,0)(abc,0.5)(5,0)", true, 3, {{0.0f, 0.0f}, {0.5f, 0.1f}, {1.0f, 0.0f}}),
        accepted(L"(-5,2e0)(5,-25e-1)", true, 2, {{0.0f, 0.4f}, {1.0f, -0.5f}}),
        accepted(L"(-5,0)(-4.9999995,0)(-4.999999,0)(5,0)", true, 4),
        accepted(evenlySpacedText(100, 5.0, L""), true, 100),
        accepted(evenlySpacedText(100, 5.0, L"(7,7)junk"), true, 100), // the rest is ignored
        rejected(L""),
        rejected(L"(-5,0)(5,0"),
        rejected(L"(-5,0)(5,00"),
        rejected(L"(-5,0000000)"),
        rejected(L"[-5,0)(5,0)"),
        rejected(L" (-5,0)(5,0)"),
        rejected(L"(-5,0) (5,0)"),
        rejected(L"(-5,-5),(5,5)"),
        rejected(L"(-5,0)(5,0)\nITP=10"),
        rejected(L"(-5,0)(5,0)("),
        rejected(L"(-5,0)(5,0)(5,0)"),
        rejected(L"(-4,0)(5,0)"),
        rejected(L"(-5,0)(4.9,0)"),
        rejected(L"(-5,0)(5.000001,0)"),
        rejected(L"(-5,0)(0,0)(0,0)(5,0)"),
        rejected(L"(-5,0)(0,0)(-1,0)(5,0)"),
        rejected(L"(-5,6)(5,0)"),
        rejected(L"(-5,-5.5)(5,0)"),
        rejected(L"(-5,0)(0,-5.5)(5,0)"),
        rejected(L"(-5,0)(5,5.5)"),
        rejected(L"(,0)(0,0)(5,0)"),
        rejected(L"(-5,)(0,0)(5,0)"),
        rejected(L"(-5,0)(,0)(5,0)"),
        rejected(L"(-5,0)(0,)(5,0)"),
        rejected(evenlySpacedText(101, 5.0, L"")), // the 100th node is not at 5 V
        // NaN fails every range check; infinities are out of range.
        rejected(L"(nan,0)(5,0)"),
        rejected(L"(-5,nan)(5,0)"),
        rejected(L"(-5,0)(nan,0)(5,0)"),
        rejected(L"(-5,0)(NAN(1),0)(5,0)"),
        rejected(L"(-5,0)(0,nan)(5,0)"),
        rejected(L"(-5,0)(5,nan)"),
        rejected(L"(-5,inf)(5,0)"),
        rejected(L"(-5,0)(inf,0)(5,0)"),
        rejected(L"(-5,0)(-inf,0)(5,0)"),
        rejected(L"(-5,0)(0,1e39)(5,0)"),
        rejected(L"(-5,0)(5,-infinity)"),
    };
    for (TextCase const& c : cases) {
        SCOPED_TRACE(c.text);
        Shape shape = startRecord(c.start);
        Shape const before = shape;
        EXPECT_EQ(shape.setString(c.text), c.changes);
        EXPECT_EQ(shape.invalid, c.accepted ? 0 : 1);
        if (!c.accepted) {
            expectSameCurve(shape, before);
            continue;
        }
        EXPECT_EQ(shape.changed, c.changes ? 1 : 0);
        EXPECT_EQ(shape.interpolation, before.interpolation);
        EXPECT_EQ(shape.nodeCount, c.count);
        if (!c.nodes.empty())
            expectNodes(shape, c.nodes);
    }
}

// Eight significant digits in the shorter of fixed or scientific notation, "." always.
TEST(ShapeText, WritesNodesInVolts) {
    struct Case {
        std::vector<Node> nodes;
        std::wstring expected;
    };
    Case const cases[] = {
        {{{0.0f, 0.0f}, {1.0f, 0.0f}}, L"(-5,0)(5,0)"},
        {{{0.0f, -1.0f}, {1.0f, 1.0f}}, L"(-5,-5)(5,5)"},
        {{{0.0f, 0.0f}, {0.25f, -0.5f}, {1.0f, 0.0f}}, L"(-5,0)(-2.5,-2.5)(5,0)"},
        {{{0.0f, 1.0f / 15.0f}, {1.0f, 0.0f}}, L"(-5,0.33333334)(5,0)"},
        // x * 10 rounds to single precision before -5 (in double it would print 4.9999994).
        {{{0.0f, 1e-9f}, {0.99999994f, 0.0f}, {1.0f, 0.0f}}, L"(-5,5e-09)(4.999999,0)(5,0)"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(shapeWith(c.nodes).getString(), c.expected);
    }
}

// Saving and loading a shape must not change it. The plain conversion back to volts reads
// some typed values back one step off (0.9 V is written 0.90000057); those are written so
// that they read back exactly, and the text is then stable.
TEST(ShapeText, WrittenTextsReadBackTheSameNodes) {
    std::vector<std::wstring> texts = {L"(-5,0)(0.9,0.4)(5,0)", L"(-5,0)(2.199,1.099)(5,0)",
                                       L"(-5,0)(-0.8064,-0.4032)(5,0)", L"(-5,0)(0.31,0.15)(5,0)"};
    std::mt19937 random(31);
    std::uniform_int_distribution<int> millivolts(-4999, 4999);
    for (int i = 0; i < 2000; ++i) {
        int const x = millivolts(random);
        texts.push_back(L"(-5,0)(" + std::to_wstring(x / 1000.0) + L"," + std::to_wstring(millivolts(random) / 1000.0) +
                        L")(5," + std::to_wstring(x % 5) + L")");
    }
    for (std::wstring const& text : texts) {
        SCOPED_TRACE(std::string(text.begin(), text.end()));
        Shape typed;
        typed.setString(text);
        ASSERT_EQ(typed.invalid, 0);
        std::wstring const written = typed.getString();
        Shape reread;
        reread.setString(written);
        ASSERT_EQ(reread.invalid, 0);
        EXPECT_EQ(std::memcmp(reread.nodes, typed.nodes, 3 * sizeof(Node)), 0)
            << std::string(written.begin(), written.end()) << " reads back other nodes";
        EXPECT_EQ(reread.getString(), written);
    }
}

// Sets a decimal-comma locale for this thread (C library) and for the C++ global locale,
// restoring both on exit.
class DecimalCommaLocale {
public:
    DecimalCommaLocale() : comma_(newlocale(LC_ALL_MASK, "de_DE.UTF-8", locale_t{})) {
        if (comma_ == locale_t{})
            return;
        previous_ = uselocale(comma_);
        previousGlobal_ = std::locale::global(std::locale("de_DE.UTF-8"));
    }
    ~DecimalCommaLocale() {
        if (comma_ == locale_t{})
            return;
        std::locale::global(previousGlobal_);
        uselocale(previous_);
        freelocale(comma_);
    }
    bool available() const { return comma_ != locale_t{}; }

private:
    locale_t comma_;
    locale_t previous_{};
    std::locale previousGlobal_;
};

// A host that has set a decimal-comma locale must not change how shapes read or write.
TEST(ShapeText, NumbersUseADecimalPointWhateverTheLocale) {
    DecimalCommaLocale const locale;
    if (!locale.available())
        GTEST_SKIP() << "no de_DE.UTF-8 locale installed";
    ASSERT_EQ(std::wcstof(L"2,5", nullptr), 2.5f) << "the comma locale is not in effect";

    Shape shape;
    EXPECT_TRUE(shape.setString(L"(-5,0)(2.5,1)(5,0)"));
    expectNodes(shape, {{0.0f, 0.0f}, {0.75f, 0.2f}, {1.0f, 0.0f}});
    EXPECT_EQ(shape.getString(), L"(-5,0)(2.5,1)(5,0)");
}

} // namespace

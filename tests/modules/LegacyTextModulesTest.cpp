// The older text-to-text modules; each sends its text output only when it differs.

#include "testing/RecordedValues.h"
#include "tests/modules/ShapeModuleSupport.h"

namespace zr::test {
namespace {

class TextModule {
public:
    TextModule(std::wstring const& id, int32_t outPin) : module(running(id)), out(outPin) { module->process(1); }

    // Runs one block; the text last sent on the output ("" if none).
    std::wstring run() {
        module->process(1);
        auto const last = module->host().lastPinSet(out);
        return last ? textOf(*last) : L"";
    }
    std::size_t sends() const { return module->host().pinSets(out).size(); }

    std::unique_ptr<host::AudioModule> module;
    int32_t out;
};

// ZR_ShapeAmp (Centre, Gain; output 3), ZR_ShapeShift (Offset; output 2) and ZR_SNMod (Node,
// X, Y; output 4) on the text at pin 0. A refused text then sends nothing.
TEST(LegacyLevelAndNodeModules, ScaleMoveOrSetLevelsAndNodesWithinTheirLimits) {
    wchar_t const* const three = L"(-5,0)(0,0)(5,0)";
    struct Case {
        char const* name;
        wchar_t const* id;
        int32_t out;
        wchar_t const* text;
        std::vector<std::pair<int32_t, PinValue>> values;
        wchar_t const* expected;
    } const cases[] = {
        {"gain 2 around 1 V, six digits", L"ZR_ShapeAmp", 3, L"(-5,-5)(0,1)(2.5,1.23456789)(5,4)", {{1, 1.0f}, {2, 2.0f}},
         L"(-5,-5)(0,1)(2.5,1.46914)(5,5)"},
        {"the centre clipped to 5 V", L"ZR_ShapeAmp", 3, L"(-5,-5)(0,1)(5,4)", {{1, 9.0f}, {2, 0.0f}}, L"(-5,5)(0,5)(5,5)"},
        {"2 V up", L"ZR_ShapeShift", 2, L"(-5,-5)(1,0)(5,4)\nITP=1", {{1, 2.0f}}, L"(-5,-3)(1,2)(5,5)"},
        {"20 V down", L"ZR_ShapeShift", 2, L"(-5,-5)(1,0)(5,4)", {{1, -20.0f}}, L"(-5,-5)(1,-5)(5,-5)"},
        {"interior node", L"ZR_SNMod", 4, three, {{1, 1}, {2, 2.0f}, {3, 6.0f}}, L"(-5,0)(2,5)(5,0)"},
        {"x kept 0.01 V inside the right neighbour", L"ZR_SNMod", 4, three, {{1, 1}, {2, 20.0f}}, L"(-5,0)(4.99,0)(5,0)"},
        {"x kept 0.01 V inside the left neighbour", L"ZR_SNMod", 4, three, {{1, 1}, {2, -20.0f}, {3, -1.0f}},
         L"(-5,0)(-4.99,-1)(5,0)"},
        {"an end keeps its x", L"ZR_SNMod", 4, three, {{1, 0}, {2, 3.0f}, {3, 1.0f}}, L"(-5,1)(0,0)(5,0)"},
        {"index beyond the shape", L"ZR_SNMod", 4, three, {{1, 99}, {2, 1.0f}, {3, 1.0f}}, three},
        {"negative index", L"ZR_SNMod", 4, three, {{1, -1}, {2, 1.0f}, {3, 1.0f}}, three},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        TextModule mod(c.id, c.out);
        mod.module->setText(0, 0, c.text);
        for (auto const& [pin, value] : c.values)
            setPinValue(*mod.module, pin, value);
        EXPECT_EQ(mod.run(), c.expected);
        std::size_t const sent = mod.sends();
        mod.module->setText(0, 0, L"(-5,0)(4,0)");
        mod.run();
        EXPECT_EQ(mod.sends(), sent) << "a refused text sends nothing";
    }
}

TEST(LegacySSMod, SetsUpToFourNodesInOrder) {
    TextModule mod(L"ZR_SSMod", 13);
    mod.module->setText(0, 0, L"(-5,0)(-1,0)(1,0)(5,0)");
    // Group 1: node 1 x to 4 V, limited by node 2 at 1 V. Group 2: node 3 y to 9 V, clipped.
    // Group 3: node 0 x (an end): nothing. Group 4: node 2 y to -2 V.
    int32_t const groups[4][2] = {{1, 0}, {3, 1}, {0, 0}, {2, 7}};
    float const values[4] = {4.0f, 9.0f, 3.0f, -2.0f};
    for (int32_t g = 0; g < 4; ++g) {
        mod.module->setInt(1 + 3 * g, 0, groups[g][0]);
        mod.module->setInt(2 + 3 * g, 0, groups[g][1]);
        mod.module->setFloat(3 + 3 * g, 0, values[g]);
    }
    EXPECT_EQ(mod.run(), L"(-5,0)(0.99,0)(1,-2)(5,5)");

    int32_t const outside[4] = {-1, 99, 4, -7};
    for (int32_t g = 0; g < 4; ++g)
        mod.module->setInt(1 + 3 * g, 0, outside[g]);
    EXPECT_EQ(mod.run(), L"(-5,0)(-1,0)(1,0)(5,0)") << "indices outside the shape change nothing";
}

// ZR_ShapeMorpher (A, B, Amount; output 3): the shorter shape gains nodes at its widest gaps,
// the first of equal ones. It sends only with two shapes, and only a changed text.
TEST(LegacyMorpher, ExtendsTheShorterShapeAndSendsOnlyChangedTexts) {
    TextModule morpher(L"ZR_ShapeMorpher", 3);
    auto const morph = [&](wchar_t const* a, wchar_t const* b, float amount) {
        morpher.module->setText(0, 0, a);
        morpher.module->setText(1, 0, b);
        morpher.module->setFloat(2, 0, amount);
        return morpher.run();
    };
    std::size_t const atStart = morpher.sends();
    morph(L"(-5,0)(5,0)", L"(-5,2)(5", 0.5f);
    EXPECT_EQ(morpher.sends(), atStart) << "B does not parse";
    // A gets (0,0) between its two nodes, then (-2.5,-2.5): the first of two equal gaps.
    wchar_t const* const a = L"(-5,-5)(5,5)";
    wchar_t const* const b = L"(-5,1)(-4,1)(4,1)(5,1)";
    EXPECT_EQ(morph(a, b, 0.0f), L"(-5,-5)(-2.5,-2.5)(0,0)(5,5)");
    EXPECT_EQ(morph(a, b, 7.0f), b) << "the amount is clipped to 1";
    EXPECT_EQ(morph(a, b, 0.5f), L"(-5,-2)(-3.25,-0.75)(2,0.5)(5,3)");
    std::size_t const sent = morpher.sends();
    morph(a, b, 0.5f);
    EXPECT_EQ(morpher.sends(), sent) << "an equal text is not sent again";
    // The larger gap wins over the first one.
    EXPECT_EQ(morph(L"(-5,0)(-4,0)(5,0)", L"(-5,0)(-4,0)(0,0)(5,0)", 0.0f), L"(-5,0)(-4,0)(0.5,0)(5,0)");
}

} // namespace
} // namespace zr::test

// The older generation's text-to-text modules through the bundle: ZR_ShapeAmp, ZR_ShapeShift,
// ZR_SNMod, ZR_SSMod and ZR_ShapeMorpher. Each sends its text output only when it differs.

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
        return last ? last->asText() : L"";
    }
    std::size_t sends() const { return module->host().pinSets(out).size(); }

    std::unique_ptr<host::AudioModule> module;
    int32_t out;
};

// ZR_ShapeAmp (centre, gain) and ZR_ShapeShift (offset): float pins from 1, output after them.
TEST(LegacyLevelModules, ScaleOrMoveEveryLevelAndClip) {
    struct Case {
        wchar_t const* id;
        wchar_t const* text;
        std::vector<float> values;
        wchar_t const* expected;
    };
    Case const cases[] = {
        {L"ZR_ShapeAmp", L"(-5,-5)(0,1)(2.5,1.23456789)(5,4)", {1, 2}, L"(-5,-5)(0,1)(2.5,1.46914)(5,5)"},
        {L"ZR_ShapeAmp", L"(-5,-5)(0,1)(5,4)", {9, 0}, L"(-5,5)(0,5)(5,5)"}, // the centre clipped to 5 V
        {L"ZR_ShapeShift", L"(-5,-5)(1,0)(5,4)\nITP=1", {2}, L"(-5,-3)(1,2)(5,5)"},
        {L"ZR_ShapeShift", L"(-5,-5)(1,0)(5,4)", {-20}, L"(-5,-5)(1,-5)(5,-5)"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(testing::Message() << c.id << " " << c.expected);
        auto const count = static_cast<int32_t>(c.values.size());
        TextModule mod(c.id, 1 + count);
        mod.module->setText(0, 0, c.text);
        for (int32_t i = 0; i < count; ++i)
            mod.module->setFloat(1 + i, 0, c.values[static_cast<std::size_t>(i)]);
        EXPECT_EQ(mod.run(), c.expected);
        std::size_t const sent = mod.sends();
        mod.module->setText(0, 0, L"(-5,0)(4,0)");
        mod.run();
        EXPECT_EQ(mod.sends(), sent) << "a refused text sends nothing";
    }
}

TEST(LegacySNMod, MovesOneNodeWithinItsNeighbours) {
    struct Case {
        char const* name;
        int32_t node;
        float dx, dy;
        wchar_t const* expected;
    };
    Case const cases[] = {
        {"interior node", 1, 2.0f, 6.0f, L"(-5,0)(2,5)(5,0)"},
        {"x kept 0.01 V inside the right neighbour", 1, 20.0f, 0.0f, L"(-5,0)(4.99,0)(5,0)"},
        {"x kept 0.01 V inside the left neighbour", 1, -20.0f, -1.0f, L"(-5,0)(-4.99,-1)(5,0)"},
        {"an end keeps its x", 0, 3.0f, 1.0f, L"(-5,1)(0,0)(5,0)"},
        {"index beyond the shape", 99, 1.0f, 1.0f, L"(-5,0)(0,0)(5,0)"},
        {"negative index", -1, 1.0f, 1.0f, L"(-5,0)(0,0)(5,0)"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        TextModule mod(L"ZR_SNMod", 4);
        mod.module->setText(0, 0, L"(-5,0)(0,0)(5,0)");
        mod.module->setInt(1, 0, c.node);
        mod.module->setFloat(2, 0, c.dx);
        mod.module->setFloat(3, 0, c.dy);
        EXPECT_EQ(mod.run(), c.expected);
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

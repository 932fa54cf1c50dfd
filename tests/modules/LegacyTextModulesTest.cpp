// The older generation's text-to-text modules through the bundle: ZR_ShapeAmp, ZR_ShapeShift,
// ZR_SNMod, ZR_SSMod and ZR_ShapeMorpher. Each sends its text output only when it differs.

#include <string>

#include "tests/modules/BundleFixture.h"

namespace {

class TextModule {
public:
    TextModule(std::wstring const& id, int32_t outPin) : module(zr::test::makeModule(id)), out(outPin) {
        module->open();
        module->graphStart();
        module->sendDefaults();
        module->process(1);
    }

    // Runs one block; the text last sent on the output ("" if none).
    std::wstring run() {
        module->process(1);
        auto const last = module->host().lastPinSet(out);
        return last ? last->asText() : L"";
    }
    std::size_t sends() const { return module->host().pinSets(out).size(); }

    std::unique_ptr<zr::host::AudioModule> module;
    int32_t out;
};

TEST(LegacyShapeAmp, ScalesAroundTheCentreAndClips) {
    TextModule amp(L"ZR_ShapeAmp", 3);
    amp.module->setText(0, 0, L"(-5,-5)(0,1)(2.5,1.23456789)(5,4)");
    amp.module->setFloat(1, 0, 1.0f);
    amp.module->setFloat(2, 0, 2.0f);
    EXPECT_EQ(amp.run(), L"(-5,-5)(0,1)(2.5,1.46914)(5,5)") << "six significant digits";

    std::size_t const before = amp.sends();
    amp.module->setFloat(2, 0, 2.0f);
    amp.run();
    EXPECT_EQ(amp.sends(), before) << "an equal text is not sent again";

    amp.module->setFloat(1, 0, 9.0f); // the centre is clipped to 5 V
    amp.module->setFloat(2, 0, 0.0f);
    EXPECT_EQ(amp.run(), L"(-5,5)(0,5)(2.5,5)(5,5)");

    std::size_t const sent = amp.sends();
    amp.module->setText(0, 0, L"(-5,0)(4,0)");
    amp.run();
    EXPECT_EQ(amp.sends(), sent) << "a refused text sends nothing";
}

TEST(LegacyShapeShift, MovesEveryLevelAndClips) {
    TextModule shift(L"ZR_ShapeShift", 2);
    shift.module->setText(0, 0, L"(-5,-5)(1,0)(5,4)\nITP=1");
    shift.module->setFloat(1, 0, 2.0f);
    EXPECT_EQ(shift.run(), L"(-5,-3)(1,2)(5,5)");
    shift.module->setFloat(1, 0, -20.0f);
    EXPECT_EQ(shift.run(), L"(-5,-5)(1,-5)(5,-5)");
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

    mod.module->setInt(1, 0, -1);
    mod.module->setInt(4, 0, 99);
    mod.module->setInt(7, 0, 4);
    mod.module->setInt(10, 0, -7);
    EXPECT_EQ(mod.run(), L"(-5,0)(-1,0)(1,0)(5,0)") << "indices outside the shape change nothing";
}

class LegacyMorpher : public testing::Test {
protected:
    static constexpr int32_t kA = 0, kB = 1, kAmount = 2, kOut = 3;
    TextModule morpher{L"ZR_ShapeMorpher", kOut};
};

TEST_F(LegacyMorpher, ExtendsTheShorterShapeAtItsWidestGaps) {
    // A gets (0,0) between its two nodes, then (-2.5,-2.5): the first of two equal gaps.
    morpher.module->setText(kA, 0, L"(-5,-5)(5,5)");
    morpher.module->setText(kB, 0, L"(-5,1)(-4,1)(4,1)(5,1)");
    morpher.module->setFloat(kAmount, 0, 0.0f);
    EXPECT_EQ(morpher.run(), L"(-5,-5)(-2.5,-2.5)(0,0)(5,5)");
    morpher.module->setFloat(kAmount, 0, 1.0f);
    EXPECT_EQ(morpher.run(), L"(-5,1)(-4,1)(4,1)(5,1)");
    morpher.module->setFloat(kAmount, 0, 0.5f);
    EXPECT_EQ(morpher.run(), L"(-5,-2)(-3.25,-0.75)(2,0.5)(5,3)");

    // The larger gap wins over the first one.
    morpher.module->setText(kA, 0, L"(-5,0)(-4,0)(5,0)");
    morpher.module->setText(kB, 0, L"(-5,0)(-4,0)(0,0)(5,0)");
    morpher.module->setFloat(kAmount, 0, 0.0f);
    EXPECT_EQ(morpher.run(), L"(-5,0)(-4,0)(0.5,0)(5,0)");
}

TEST_F(LegacyMorpher, SendsOnlyWithTwoShapesAndOnChange) {
    std::size_t const atStart = morpher.sends();
    morpher.module->setText(kA, 0, L"(-5,0)(5,0)");
    morpher.module->setText(kB, 0, L"(-5,2)(5");
    morpher.module->setFloat(kAmount, 0, 0.5f);
    morpher.run();
    EXPECT_EQ(morpher.sends(), atStart) << "B does not parse";

    morpher.module->setText(kB, 0, L"(-5,2)(5,2)");
    EXPECT_EQ(morpher.run(), L"(-5,1)(5,1)");
    std::size_t const sent = morpher.sends();
    morpher.module->setFloat(kAmount, 0, 0.5f);
    morpher.run();
    EXPECT_EQ(morpher.sends(), sent);
    morpher.module->setFloat(kAmount, 0, 7.0f);
    EXPECT_EQ(morpher.run(), L"(-5,2)(5,2)") << "the amount is clipped to 1";
}

} // namespace

// ZR_ShapeMorpher2 through the bundle, with 0, 1, 2, 3, 5 and 20 shape inputs.

#include <limits>

#include "tests/modules/ShapeModuleSupport.h"

namespace {

using zr::test::Image;
using zr::test::imageOf;
using zr::test::NodePairs;
using zr::test::sentOnce;

constexpr int32_t kOut = 0, kPosition = 1, kFirstShape = 2;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr wchar_t kMorpher[] = L"ZR_ShapeMorpher2";

NodePairs const kRamp = {{0.0f, -1.0f}, {1.0f, 1.0f}};
NodePairs const kMirror = {{0.0f, 1.0f}, {1.0f, -1.0f}};
NodePairs const kFlat = {{0.0f, 0.0f}, {1.0f, 0.0f}};

std::unique_ptr<zr::host::AudioModule> openMorpher(int32_t inputs) {
    auto module = zr::test::makeModuleWithCopies(kMorpher, inputs);
    zr::test::openAndStart(*module);
    return module;
}

// One batch: the values to send and what the module must send in answer (nothing: nullopt).
struct Step {
    char const* name;
    std::optional<float> position;
    std::vector<std::pair<int32_t, Image>> shapes; // input number from 0, image
    std::optional<NodePairs> expected;
};

void runSteps(zr::host::AudioModule& module, std::vector<Step> const& steps) {
    for (Step const& step : steps) {
        SCOPED_TRACE(step.name);
        if (step.position)
            module.setFloat(kPosition, 0, *step.position);
        for (auto const& [input, image] : step.shapes)
            module.setBytes(kFirstShape + input, 0, image);
        std::optional<Image> const sent = sentOnce(module, kOut);
        ASSERT_EQ(sent.has_value(), step.expected.has_value());
        if (sent) {
            EXPECT_EQ(*sent, imageOf(*step.expected));
        }
    }
}

TEST(ShapeMorpher, TwoInputsBlendFromTheFirstToTheSecond) {
    auto module = openMorpher(2);
    Image const rejected = {1, 2, 3};
    // Equal node counts: the second shape has weight p, the first 1 - p.
    float const quarter = 0.25f * 1.0f + 0.75f * -1.0f;
    runSteps(*module, {
        {"first batch: half way between ramp and mirror is flat", 0.5f, {{0, imageOf(kRamp)}, {1, imageOf(kMirror)}}, kFlat},
        {"0 is the first shape", 0.0f, {}, kRamp},
        {"1 has the second's nodes", 1.0f, {}, kMirror},
        {"same position again", 1.0f, {}, std::nullopt},
        {"above 1 acts as 1", 7.0f, {}, std::nullopt},
        {"below 0 acts as 0", -3.0f, {}, kRamp},
        {"unchanged second shape", std::nullopt, {{1, imageOf(kMirror)}}, std::nullopt},
        {"a rejected first shape silences the batch", 0.5f, {{0, rejected}}, std::nullopt},
        {"the previous first shape stays in use", 0.25f, {}, NodePairs{{0.0f, quarter}, {1.0f, -quarter}}},
        {"NaN acts as 1", kNaN, {}, kMirror},
        {"a new second shape is sent at once", std::nullopt, {{1, imageOf(kFlat)}}, kFlat},
    });
}

// The first batch of a patch whose first input is unconnected: nothing is sent, but the
// second input's shape is kept for the next position.
TEST(ShapeMorpher, SecondInputIsReadEvenWhenTheFirstIsRejected) {
    auto module = openMorpher(2);
    module->sendDefaults();
    runSteps(*module, {
        {"empty first input, ramp on the second", 0.0f, {{1, imageOf(kRamp)}}, std::nullopt},
        {"position 1 blends with the ramp", 1.0f, {}, kRamp},
        {"half way: flat default and ramp", 0.5f, {}, NodePairs{{0.0f, -0.5f}, {1.0f, 0.5f}}},
    });
}

// Node counts 3 and 5: at 1 the five nodes of the second shape, exactly (x on binary fractions).
TEST(ShapeMorpher, DifferentNodeCountsAtOneGiveTheSecondShapesNodes) {
    auto module = openMorpher(2);
    NodePairs const three = {{0.0f, 0.0f}, {0.5f, 1.0f}, {1.0f, 0.0f}};
    NodePairs const five = {{0.0f, 1.0f}, {0.125f, -1.0f}, {0.25f, 0.5f}, {0.75f, -0.25f}, {1.0f, 1.0f}};
    runSteps(*module, {
        {"at 1", 1.0f, {{0, imageOf(three)}, {1, imageOf(five)}}, five},
        {"at 0", 0.0f, {}, three},
    });
}

TEST(ShapeMorpher, ThreeInputsBlendThePairThePositionSelects) {
    auto module = openMorpher(3);
    NodePairs const a = {{0.0f, -1.0f}, {1.0f, -1.0f}};
    NodePairs const b = {{0.0f, 0.5f}, {1.0f, -0.5f}};
    NodePairs const c = {{0.0f, 0.0f}, {1.0f, 1.0f}};
    NodePairs const newC = {{0.0f, 1.0f}, {1.0f, 1.0f}};
    // Stretch 0..0.5 blends a and b, 0.5..1 blends b and c; the later shape of a pair has
    // weight f = 2p - pair.
    auto blend = [](NodePairs const& first, NodePairs const& second, float f) {
        return NodePairs{{0.0f, f * second[0].second + (1.0f - f) * first[0].second},
                         {1.0f, f * second[1].second + (1.0f - f) * first[1].second}};
    };
    float const at08 = 2.0f * 0.8f - 1.0f;
    runSteps(*module, {
        {"0.25 is a and b half and half", 0.25f, {{0, imageOf(a)}, {1, imageOf(b)}, {2, imageOf(c)}}, blend(a, b, 0.5f)},
        {"0.75 is b and c half and half", 0.75f, {}, blend(b, c, 0.5f)},
        {"1 is c", 1.0f, {}, c},
        {"back to the first stretch", 0.2f, {}, blend(a, b, 0.4f)},
        {"a new c while the position is in the first stretch", std::nullopt, {{2, imageOf(newC)}}, std::nullopt},
        {"reaching the second stretch reads it", 0.8f, {}, blend(b, newC, at08)},
        {"NaN acts as 1, the last pair", kNaN, {}, newC},
        {"0 is a", 0.0f, {}, a},
        {"a new shape outside the pair sends nothing", std::nullopt, {{2, imageOf(a)}}, std::nullopt},
    });
}

TEST(ShapeMorpher, FiveInputsSplitThePositionIntoFourStretches) {
    auto module = openMorpher(5);
    std::vector<NodePairs> shapes;
    for (int i = 0; i < 5; ++i)
        shapes.push_back({{0.0f, 0.25f * static_cast<float>(i) - 0.5f}, {0.5f, 0.0f}, {1.0f, 0.5f - 0.25f * static_cast<float>(i)}});
    for (int i = 0; i < 5; ++i)
        module->setBytes(kFirstShape + i, 0, imageOf(shapes[i]));
    module->setFloat(kPosition, 0, 1.0f);
    EXPECT_EQ(sentOnce(*module, kOut), imageOf(shapes[4]));

    // 0.6 lies in the third stretch: inputs 3 and 4 at weight 4 x 0.6 - 2.
    module->setFloat(kPosition, 0, 0.6f);
    float const f = 4.0f * 0.6f - 2.0f;
    NodePairs expected;
    for (int n = 0; n < 3; ++n)
        expected.emplace_back(shapes[2][n].first, f * shapes[3][n].second + (1.0f - f) * shapes[2][n].second);
    expected[1].first = (0.5f * f + 0.5f * (1.0f - f) + 1.0f) - 1.0f;
    EXPECT_EQ(sentOnce(*module, kOut), imageOf(expected));
}

// The host lists five inputs but only two ever receive a value: the others keep the default
// flat shape, and every position still sends a shape.
TEST(ShapeMorpher, InputsThatNeverReceiveAValueActAsTheFlatDefault) {
    auto module = openMorpher(5);
    module->setBytes(kFirstShape, 0, imageOf(kRamp));
    module->setBytes(kFirstShape + 1, 0, imageOf(kMirror));
    for (float position : {0.0f, 0.125f, 0.6f, 0.9f}) {
        SCOPED_TRACE(position);
        module->setFloat(kPosition, 0, position);
        std::optional<Image> const sent = sentOnce(*module, kOut);
        ASSERT_TRUE(sent.has_value());
        EXPECT_TRUE(zr::test::keepsNodeInvariants(zr::test::nodesOf(*sent)));
    }
    module->setFloat(kPosition, 0, 1.0f);
    EXPECT_EQ(sentOnce(*module, kOut), imageOf(kFlat)) << "the last pair never received a shape";
}

// One input is a wire: any bytes go through unchanged, and only when they differ.
TEST(ShapeMorpher, OneInputPassesAnyBytesThroughOnChange) {
    auto module = openMorpher(1);
    Image const garbage = {7, 7, 7};
    runSteps(*module, {
        {"a shape", 0.3f, {{0, imageOf(kRamp)}}, kRamp},
        {"the position alone", 0.9f, {}, std::nullopt},
        {"the same bytes", std::nullopt, {{0, imageOf(kRamp)}}, std::nullopt},
    });
    module->setBytes(kFirstShape, 0, garbage);
    EXPECT_EQ(sentOnce(*module, kOut), garbage);
    module->setBytes(kFirstShape, 0, {});
    EXPECT_EQ(sentOnce(*module, kOut), Image{});
}

TEST(ShapeMorpher, WithoutShapeInputsItNeverSends) {
    zr::host::AudioModuleOptions noIterator;
    noIterator.hostile.nullIterator = true;
    std::unique_ptr<zr::host::AudioModule> const modules[] = {zr::test::makeModuleWithCopies(kMorpher, 0),
                                                              zr::test::makeModuleWithCopies(kMorpher, 2, noIterator)};
    for (auto const& module : modules) {
        zr::test::openAndStart(*module);
        module->setFloat(kPosition, 0, 0.5f);
        module->setBytes(kFirstShape, 0, imageOf(kRamp));
        EXPECT_FALSE(sentOnce(*module, kOut).has_value());
    }
}

// Twenty inputs: the pins live where they were registered, also after a second open().
TEST(ShapeMorpher, ManyInputsKeepTheirPinsAcrossASecondOpen) {
    auto module = openMorpher(20);
    ASSERT_EQ(module->open(), gmpi::MP_OK);
    NodePairs const last = {{0.0f, 0.75f}, {0.5f, -0.75f}, {1.0f, 0.75f}};
    module->setBytes(kFirstShape + 19, 0, imageOf(last));
    module->setBytes(kFirstShape + 18, 0, imageOf(kRamp));
    module->setFloat(kPosition, 0, 1.0f);
    EXPECT_EQ(sentOnce(*module, kOut), imageOf(last));
    module->setBytes(kFirstShape + 20, 0, imageOf(kRamp)); // no such input
    EXPECT_FALSE(sentOnce(*module, kOut).has_value());
}

} // namespace

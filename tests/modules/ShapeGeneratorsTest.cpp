// ZR_RegularShapeGen, ZR_DefaultShape and ZR_ShapeStr2BLOB through the bundle.

#include <limits>

#include "tests/modules/ShapeModuleSupport.h"

namespace {

using zr::test::Image;
using zr::test::imageOf;
using zr::test::NodePairs;
using zr::test::sentOnce;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

NodePairs const kFlat = {{0.0f, 0.0f}, {1.0f, 0.0f}};
NodePairs const kRamp = {{0.0f, -1.0f}, {1.0f, 1.0f}};

// Generator pins: ShapeOut, then Height 1..K.
constexpr int32_t kGeneratorOut = 0, kFirstHeight = 1;

std::unique_ptr<zr::host::AudioModule> openGenerator(int32_t inputs) {
    auto module = zr::test::makeModuleWithCopies(L"ZR_RegularShapeGen", inputs);
    zr::test::openAndStart(*module);
    module->sendDefaults();
    EXPECT_FALSE(sentOnce(*module, kGeneratorOut).has_value()) << "all heights at 0 V send nothing";
    return module;
}

TEST(RegularShapeGen, HeightsDriveEvenlySpacedNodes) {
    struct Case {
        int32_t inputs;
        std::vector<float> volts;
        NodePairs expected;
    };
    Case const cases[] = {
        {3, {5.0f, -5.0f, 5.0f}, {{0.0f, 1.0f}, {0.5f, -1.0f}, {1.0f, 1.0f}}},
        {2, {2.5f, -2.5f}, {{0.0f, 0.5f}, {1.0f, -0.5f}}},
        {1, {2.5f}, {{0.0f, 0.5f}, {1.0f, 0.0f}}},
        {3, {7.0f, kNaN, -6.0f}, {{0.0f, 1.0f}, {0.5f, 1.0f}, {1.0f, -1.0f}}},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(std::to_string(c.inputs) + " inputs");
        auto module = openGenerator(c.inputs);
        for (std::size_t k = 0; k < c.volts.size(); ++k)
            module->setFloat(kFirstHeight + static_cast<int32_t>(k), 0, c.volts[k]);
        EXPECT_EQ(sentOnce(*module, kGeneratorOut), imageOf(c.expected));
        module->setFloat(kFirstHeight, 0, c.volts[0]);
        EXPECT_FALSE(sentOnce(*module, kGeneratorOut).has_value()) << "an unchanged height sends nothing";
    }
}

// 120 inputs: 98 interior nodes fit, then the shape is full. Inputs match nodes by index, so
// input 100 drives the end node and inputs 101..120 drive nothing.
TEST(RegularShapeGen, MoreInputsThanNodesDriveOnlyTheNodesThatExist) {
    auto module = openGenerator(120);
    module->setFloat(kFirstHeight + 99, 0, 5.0f);
    std::optional<Image> const sent = sentOnce(*module, kGeneratorOut);
    ASSERT_TRUE(sent.has_value());
    NodePairs const nodes = zr::test::nodesOf(*sent);
    ASSERT_EQ(nodes.size(), 100u);
    float const step = 1.0f / 119.0f;
    float x = 0.0f;
    for (std::size_t k = 1; k <= 98; ++k) {
        x += step;
        EXPECT_EQ(nodes[k].first, x) << "node " << k;
        EXPECT_EQ(nodes[k].second, 0.0f) << "node " << k;
    }
    EXPECT_EQ(nodes[99], std::make_pair(1.0f, 1.0f));

    for (int32_t k = 100; k < 120; ++k)
        module->setFloat(kFirstHeight + k, 0, -5.0f);
    EXPECT_FALSE(sentOnce(*module, kGeneratorOut).has_value());
}

TEST(RegularShapeGen, WithoutHeightInputsItNeverSends) {
    auto module = zr::test::makeModuleWithCopies(L"ZR_RegularShapeGen", 0);
    zr::test::openAndStart(*module);
    module->setFloat(kFirstHeight, 0, 3.0f);
    EXPECT_FALSE(sentOnce(*module, kGeneratorOut).has_value());
}

// Pins: Shape (blob), DefaultText (text), ShapeOut.
TEST(DefaultShape, PassesValidImagesAndSubstitutesTheRest) {
    constexpr int32_t kShape = 0, kText = 1, kOut = 2;
    auto module = zr::test::makeModule(L"ZR_DefaultShape");
    zr::test::openAndStart(*module);
    NodePairs const unchecked = {{0.0f, 0.0f}, {0.7f, 3.0f}, {0.2f, 0.0f}, {1.0f, 0.0f}};
    struct Step {
        char const* name;
        std::optional<Image> shape;
        std::optional<std::wstring> text;
        std::optional<NodePairs> expected;
    };
    Step const steps[] = {
        {"an empty image with a ramp text", Image{}, L"(-5,-5)(5,5)", kRamp},
        {"a valid image goes through", imageOf({{0.0f, 0.5f}, {1.0f, -0.5f}}), {}, NodePairs{{0.0f, 0.5f}, {1.0f, -0.5f}}},
        {"the same image again is sent again", imageOf({{0.0f, 0.5f}, {1.0f, -0.5f}}), {}, NodePairs{{0.0f, 0.5f}, {1.0f, -0.5f}}},
        {"an image's nodes are not checked", imageOf(unchecked), {}, unchecked},
        {"a new text alone waits for the next image", {}, L"(-5,5)(5,5)", std::nullopt},
        {"a rejected image takes the text", Image{9, 9}, {}, NodePairs{{0.0f, 1.0f}, {1.0f, 1.0f}}},
        {"a rejected text too gives the flat default", Image{}, L"(-5,5)", kFlat},
    };
    for (Step const& step : steps) {
        SCOPED_TRACE(step.name);
        if (step.shape)
            module->setBytes(kShape, 0, *step.shape);
        if (step.text)
            module->setText(kText, 0, *step.text);
        std::optional<Image> const sent = sentOnce(*module, kOut);
        ASSERT_EQ(sent.has_value(), step.expected.has_value());
        if (sent) {
            EXPECT_EQ(*sent, imageOf(*step.expected));
        }
    }
}

// Pins: Text, ShapeOut.
TEST(ShapeStr2BLOB, SendsTheImageOfEveryValidText) {
    constexpr int32_t kText = 0, kOut = 1;
    auto module = zr::test::makeModule(L"ZR_ShapeStr2BLOB");
    zr::test::openAndStart(*module);
    Image const flatImage = {0x50, 0x41, 0x48, 0x53, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                             0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x00};
    struct Step {
        wchar_t const* text;
        std::optional<Image> expected;
    };
    Step const steps[] = {
        {L"(-5,0)(5,0)", flatImage},
        {L"(-5,0)(5,0)", flatImage},
        {L"(-5,-5)(0,2.5)(5,5)", imageOf({{0.0f, -1.0f}, {0.5f, 0.5f}, {1.0f, 1.0f}})},
        {L"(-5,-5),(5,5)", std::nullopt},
        {L"(-5,nan)(5,0)", std::nullopt},
        {L"", std::nullopt},
        {L"(-5,-5)(5,5)", imageOf(kRamp)},
    };
    for (Step const& step : steps) {
        SCOPED_TRACE(std::string(step.text, step.text + std::wcslen(step.text)));
        module->setText(kText, 0, step.text);
        EXPECT_EQ(sentOnce(*module, kOut), step.expected);
    }
}

} // namespace

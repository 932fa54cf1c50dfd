// ZR_RegularShapeGen, ZR_DefaultShape and ZR_ShapeStr2BLOB through the bundle.

#include "tests/modules/ShapeModuleSupport.h"

namespace zr::test {
namespace {

NodePairs const kFlat = {{0.0f, 0.0f}, {1.0f, 0.0f}};
NodePairs const kRamp = {{0.0f, -1.0f}, {1.0f, 1.0f}};

// Pins: ShapeOut, then Height 1..K. Heights drive evenly spaced nodes; all at 0 V send nothing.
TEST(RegularShapeGen, HeightsDriveEvenlySpacedNodes) {
    constexpr int32_t kOut = 0, kFirstHeight = 1;
    struct Case {
        int32_t inputs;
        std::vector<Step> steps;
    } const cases[] = {
        {3, {{"5, -5, 5 V", {{1, 5.0f}, {2, -5.0f}, {3, 5.0f}}, NodePairs{{0.0f, 1.0f}, {0.5f, -1.0f}, {1.0f, 1.0f}}},
             {"an unchanged height", {{1, 5.0f}}, std::nullopt},
             {"beyond the range and NaN", {{1, 7.0f}, {2, kNaN}, {3, -6.0f}},
              NodePairs{{0.0f, 1.0f}, {0.5f, 1.0f}, {1.0f, -1.0f}}}}},
        {1, {{"one input drives the first node", {{1, 2.5f}}, NodePairs{{0.0f, 0.5f}, {1.0f, 0.0f}}}}},
        {0, {{"no inputs never send", {{1, 3.0f}}, std::nullopt}}},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(std::to_string(c.inputs) + " inputs");
        auto module = started(L"ZR_RegularShapeGen", c.inputs);
        module->sendDefaults();
        EXPECT_FALSE(sentOnce(*module, kOut).has_value()) << "all heights at 0 V";
        runSteps(*module, kOut, c.steps);
    }

    // 120 inputs: 98 interior nodes fit, then the shape is full. Inputs match nodes by index,
    // so input 100 drives the end node and inputs 101..120 drive nothing.
    auto module = started(L"ZR_RegularShapeGen", 120);
    module->setFloat(kFirstHeight + 99, 0, 5.0f);
    std::optional<Image> const sent = sentOnce(*module, kOut);
    ASSERT_TRUE(sent.has_value());
    NodePairs const nodes = nodesOf(*sent);
    ASSERT_EQ(nodes.size(), 100u);
    float x = 0.0f;
    for (std::size_t k = 1; k <= 98; ++k)
        EXPECT_EQ(nodes[k], std::make_pair(x += 1.0f / 119.0f, 0.0f)) << "node " << k;
    EXPECT_EQ(nodes[99], std::make_pair(1.0f, 1.0f));
    for (int32_t k = 100; k < 120; ++k)
        module->setFloat(kFirstHeight + k, 0, -5.0f);
    EXPECT_FALSE(sentOnce(*module, kOut).has_value());
}

// DefaultShape pins: Shape, DefaultText, ShapeOut. Str2BLOB pins: Text, ShapeOut.
TEST(ShapeTextModules, SendValidShapesAndSubstituteOrSkipTheRest) {
    NodePairs const unchecked = {{0.0f, 0.0f}, {0.7f, 3.0f}, {0.2f, 0.0f}, {1.0f, 0.0f}};
    NodePairs const down = {{0.0f, 0.5f}, {1.0f, -0.5f}};
    runSteps(*started(L"ZR_DefaultShape"), 2, {
        {"an empty image with a ramp text", {{0, Image{}}, {1, std::wstring(L"(-5,-5)(5,5)")}}, kRamp},
        {"a valid image goes through", {{0, imageOf(down)}}, down},
        {"the same image again is sent again", {{0, imageOf(down)}}, down},
        {"an image's nodes are not checked", {{0, imageOf(unchecked)}}, unchecked},
        {"a new text alone waits for the next image", {{1, std::wstring(L"(-5,5)(5,5)")}}, std::nullopt},
        {"a rejected image takes the text", {{0, Image{9, 9}}}, NodePairs{{0.0f, 1.0f}, {1.0f, 1.0f}}},
        {"a rejected text too gives the flat default", {{0, Image{}}, {1, std::wstring(L"(-5,5)")}}, kFlat},
    });
    auto str2blob = started(L"ZR_ShapeStr2BLOB");
    // The exact bytes of the flat shape: magic "PAHS" little-endian, count 2, (0,0), (1,0).
    str2blob->setText(0, 0, L"(-5,0)(5,0)");
    EXPECT_EQ(sentOnce(*str2blob, 1), (Image{0x50, 0x41, 0x48, 0x53, 2, 0, 0, 0, 0, 0, 0, 0,
                                              0, 0, 0, 0, 0, 0, 0x80, 0x3F, 0, 0, 0, 0}));
    runSteps(*str2blob, 1, {
        {"the same text again", {{0, std::wstring(L"(-5,0)(5,0)")}}, kFlat},
        {"three nodes", {{0, std::wstring(L"(-5,-5)(0,2.5)(5,5)")}}, NodePairs{{0.0f, -1.0f}, {0.5f, 0.5f}, {1.0f, 1.0f}}},
        {"a text the parser refuses", {{0, std::wstring(L"(-5,nan)(5,0)")}}, std::nullopt},
        {"a ramp", {{0, std::wstring(L"(-5,-5)(5,5)")}}, kRamp},
    });
}

} // namespace
} // namespace zr::test

// The audio-side shape edit modules, ZR_RegularShapeGen, ZR_DefaultShape and ZR_ShapeStr2BLOB: the
// exact shapes they send and when they stay silent.

#include <cwchar>

#include "tests/modules/ShapeModuleSupport.h"

namespace zr::test {
namespace {

// Pins: the shape first; the node modules then NodeIndex, X, Y, ShapeOut; Shift: Amount,
// Vertical; Fit: Bottom, Top; Snap: Edge, Level; Amp: Center, Gain; these four send on pin 3.
constexpr int32_t kShape = 0, kNodeIndex = 1, kX = 2, kY = 3, kNodeOut = 4, kOut = 3;
constexpr int32_t kAmount = 1, kVertical = 2, kBottom = 1, kTop = 2, kEdge = 1, kLevel = 2, kCenter = 1, kGain = 2;
NodePairs const kThree = {{0.0f, -1.0f}, {0.5f, 0.0f}, {1.0f, 1.0f}}; // "(-5,-5)(0,0)(5,5)"

std::pair<int32_t, PinValue> shape(NodePairs const& nodes) { return {kShape, imageOf(nodes)}; }

std::vector<std::pair<int32_t, PinValue>> all(NodePairs const& shape, float centerVolts, float gain) {
    return {{kShape, imageOf(shape)}, {kCenter, centerVolts}, {kGain, gain}};
}

NodePairs with(NodePairs nodes, std::size_t index, float x, float y) {
    nodes[index] = {x, y};
    return nodes;
}

TEST(ShapeEditModules, SendTheEditedShapeOrStaySilent) {
    std::pair<int32_t, PinValue> const three{kShape, imageOf(kThree)};
    NodePairs const peak = {{0.0f, 0.0f}, {0.5f, 0.8f}, {1.0f, -0.2f}};
    NodePairs const four = {{0.0f, 0.0f}, {0.4f, 0.0f}, {0.6f, 0.0f}, {1.0f, 0.0f}};
    NodePairs const flat = {{0.0f, 0.0f}, {0.5f, 0.0f}, {1.0f, 0.0f}};
    NodePairs const flatAt1V = {{0.0f, 0.2f}, {0.5f, 0.2f}, {1.0f, 0.2f}};
    NodePairs const snapped = {{0.0f, -0.75f}, {0.5f, 0.5f}, {1.0f, 0.25f}};
    float const first = above(1.0f);
    NodePairs const in = {{0.0f, -0.5f}, {0.25f, 0.25f}, {0.5f, 0.75f}, {1.0f, 0.0f}};
    NodePairs const top = {{0.0f, 1.0f}, {0.25f, 1.0f}, {0.5f, 1.0f}, {1.0f, 1.0f}};
    NodePairs const down = {{0.0f, 0.5f}, {1.0f, -0.5f}};
    struct Script {
        wchar_t const* id;
        int32_t out;
        std::vector<Step> steps;
    } const scripts[] = {
        {L"ZR_ShapeNodeModul2", kNodeOut, {
            {"x all the way stops a step below the next node", {three, {kNodeIndex, 1}, {kX, 1.0f}, {kY, 0.0f}},
             with(kThree, 1, below(2.0f) - 1.0f, 0.0f)},
            {"half way toward the previous node", {{kX, -0.5f}}, with(kThree, 1, 0.25f, 0.0f)},
            {"an x event for a selected node always sends", {{kX, -0.5f}}, with(kThree, 1, 0.25f, 0.0f)},
            {"y half way toward +1", {{kY, 0.5f}}, with(kThree, 1, 0.25f, 0.5f)},
            {"the same y amount again", {{kY, 0.5f}}, std::nullopt},
            // A new selection restores the node moved before.
            {"first node: only y moves", {{kNodeIndex, 0}, {kY, 0.5f}}, with(kThree, 0, 0.0f, 0.0f)},
            {"last node: x stays, y is already at the top", {{kNodeIndex, 2}, {kX, -1.0f}}, kThree},
            {"an index beyond the nodes: the input goes out once", {{kNodeIndex, 5}}, kThree},
            {"still none", {{kNodeIndex, 7}}, std::nullopt},
            {"amounts without a node send nothing", {{kX, 0.3f}, {kY, -0.2f}}, std::nullopt},
            {"last node of three moves down", {{kNodeIndex, 2}, {kX, 0.0f}, {kY, -1.0f}}, with(kThree, 2, 1.0f, -1.0f)},
            {"two nodes: index 2 is gone", {{kShape, imageOf({{0.0f, -1.0f}, {1.0f, 1.0f}})}},
             NodePairs{{0.0f, -1.0f}, {1.0f, 1.0f}}},
            {"back to three: index 2 is selected again", {three}, with(kThree, 2, 1.0f, -1.0f)},
            {"NaN amounts: x stays, y to the top", {three, {kNodeIndex, 1}, {kX, kNaN}, {kY, kNaN}}, with(kThree, 1, 0.5f, 1.0f)},
        }},
        {L"ZR_ShapeNodeModif2", kNodeOut, {
            {"node 1 to (0 V, 2.5 V)", {three, {kNodeIndex, 1}, {kX, 0.0f}, {kY, 2.5f}}, with(kThree, 1, 0.5f, 0.5f)},
            {"beyond the next node stops a step inside", {{kX, 10.0f}}, with(kThree, 1, below(2.0f) - 1.0f, 0.5f)},
            {"beyond the previous node stops a step inside", {{kX, -8.0f}}, with(kThree, 1, above(1.0f) - 1.0f, 0.5f)},
            {"node 0 where it already is sends nothing", {{kNodeIndex, 0}, {kY, -5.0f}}, std::nullopt},
            {"node 0 moves in y only", {{kX, 3.0f}, {kY, 5.0f}}, with(kThree, 0, 0.0f, 1.0f)},
            {"y beyond 5 V is clamped", {{kNodeIndex, 2}, {kY, 9.0f}}, std::nullopt},
            {"index -1: only a new shape goes out", {{kNodeIndex, -1}, {kX, 1.0f}, {kY, 1.0f}}, std::nullopt},
            {"index -1 passes a new shape through", {{kShape, imageOf(with(kThree, 1, 0.25f, 0.0f))}},
             with(kThree, 1, 0.25f, 0.0f)},
            {"an index beyond the nodes likewise", {three, {kNodeIndex, 3}}, kThree},
            {"NaN values: x stays, y to the top", {three, {kNodeIndex, 1}, {kX, kNaN}, {kY, kNaN}}, with(kThree, 1, 0.5f, 1.0f)},
        }},
        {L"ZR_ShapeShift2", kOut, { // sends on every batch
            {"two nodes have nothing to shift", {shape(kRamp), {kAmount, 3.0f}, {kVertical, 0}}, kRamp},
            {"three nodes, 2 V right", {shape(peak), {kAmount, 2.0f}},
             NodePairs{{0.0f, 0.0f}, {(2.0f * 0.1f + 1.0f + 0.5f) - 1.0f, 0.8f}, {1.0f, -0.2f}}},
            {"7 V right stops a step below the end", {{kAmount, 7.0f}},
             NodePairs{{0.0f, 0.0f}, {below(2.0f) - 1.0f, 0.8f}, {1.0f, -0.2f}}},
            {"an unchanged mode still sends", {{kAmount, 0.0f}, {kVertical, 0}}, peak},
            {"-10 V piles both interior nodes against the start", {shape(four), {kAmount, -10.0f}},
             NodePairs{{0.0f, 0.0f}, {first - 1.0f, 0.0f}, {above(first) - 1.0f, 0.0f}, {1.0f, 0.0f}}},
            {"2.5 V up moves the ends too and stops at 5 V", {shape(peak), {kAmount, 2.5f}, {kVertical, 1}},
             NodePairs{{0.0f, 0.5f}, {0.5f, 1.0f}, {1.0f, -0.2f + 0.5f}}},
            {"NaN vertically goes to the top", {{kAmount, kNaN}}, NodePairs{{0.0f, 1.0f}, {0.5f, 1.0f}, {1.0f, 1.0f}}},
            {"NaN horizontally moves nothing", {{kVertical, 0}}, peak},
            {"a rejected image keeps the previous shape", {{kShape, Image{1, 2, 3}}}, peak},
        }},
        {L"ZR_ShapeFit", kOut, {
            {"ramp into -2.5..2.5 V", {shape(kRamp), {kBottom, -2.5f}, {kTop, 2.5f}}, NodePairs{{0.0f, -0.5f}, {1.0f, 0.5f}}},
            {"levels crossed turn it upside down", {{kBottom, 5.0f}, {kTop, -5.0f}}, NodePairs{{0.0f, 1.0f}, {1.0f, -1.0f}}},
            {"the identity after a new input is sent", {shape(kThree), {kBottom, -5.0f}, {kTop, 5.0f}}, kThree},
            {"a level that leaves the input as it is", {{kTop, 5.0f}}, std::nullopt},
            {"levels beyond 5 V act as 5 V", {{kBottom, -9.0f}, {kTop, 20.0f}}, std::nullopt},
            {"equal levels flatten", {{kBottom, 1.0f}, {kTop, 1.0f}}, flatAt1V},
            {"equal levels send on every batch", {{kBottom, 1.0f}}, flatAt1V},
            {"a flat shape goes to the middle, on every batch", {shape(flat), {kBottom, -5.0f}, {kTop, 5.0f}}, flat},
            {"a subnormal spread counts as flat", {shape({{0.0f, 0.0f}, {0.5f, 1e-39f}, {1.0f, 0.0f}})}, flat},
        }},
        {L"ZR_ShapeSnap", kOut, {
            {"highest from 2.5 V to 0 V, stopping at -5 V", {shape(snapped), {kLevel, 0.0f}, {kEdge, 0}},
             NodePairs{{0.0f, -1.0f}, {0.5f, 0.0f}, {1.0f, -0.25f}}},
            {"lowest to 0 V", {{kEdge, 1}}, NodePairs{{0.0f, 0.0f}, {0.5f, 1.0f}, {1.0f, 1.0f}}},
            {"lowest to its own level", {{kLevel, -3.75f}}, std::nullopt},
            {"highest to its own level", {{kLevel, 2.5f}, {kEdge, 0}}, std::nullopt},
            {"highest beyond the range, nodes clamped", {{kLevel, 10.0f}},
             NodePairs{{0.0f, -0.75f + 1.5f}, {0.5f, 1.0f}, {1.0f, 1.0f}}},
            {"a new input is sent even if nothing moves", {shape({{0.0f, 0.0f}, {1.0f, 0.5f}}), {kLevel, 2.5f}},
             NodePairs{{0.0f, 0.0f}, {1.0f, 0.5f}}},
        }},
        {L"ZR_ShapeAmp2", kOut, { // sends once per batch that changes something
            {"gain 1: unchanged", all(in, 2.0f, 1.0f), in},
            {"gain 2 around 0", all(in, 0.0f, 2.0f), NodePairs{{0.0f, -1.0f}, {0.25f, 0.5f}, {0.5f, 1.0f}, {1.0f, 0.0f}}},
            {"gain 0: flat at the center", all(in, 2.5f, 0.0f), NodePairs{{0.0f, 0.5f}, {0.25f, 0.5f}, {0.5f, 0.5f}, {1.0f, 0.5f}}},
            {"gain -1: mirrored", all(in, 1.25f, -1.0f), NodePairs{{0.0f, 1.0f}, {0.25f, 0.25f}, {0.5f, -0.25f}, {1.0f, 0.5f}}},
            {"center beyond +5 V acts as +5 V", all(in, 20.0f, 0.0f), top},
            {"center beyond -5 V acts as -5 V", all(in, -7.5f, 0.5f),
             NodePairs{{0.0f, -0.75f}, {0.25f, -0.375f}, {0.5f, -0.125f}, {1.0f, -0.5f}}},
            {"NaN gain clips to the top", all(in, 0.0f, kNaN), top},
            {"a new shape, gain 2", all(down, 0.0f, 2.0f), NodePairs{{0.0f, 1.0f}, {1.0f, -1.0f}}},
            {"nothing", {}, std::nullopt},
            {"the same center and shape", {{kCenter, 0.0f}, {kShape, imageOf(down)}}, std::nullopt},
            {"the same gain", {{kGain, 2.0f}}, NodePairs{{0.0f, 1.0f}, {1.0f, -1.0f}}},
            {"a new center", {{kCenter, 2.5f}}, NodePairs{{0.0f, 0.5f}, {1.0f, -1.0f}}},
            {"a rejected image with a gain", {{kShape, Image{1, 2, 3}}, {kGain, 1.0f}}, down},
        }},
    };
    for (Script const& script : scripts) {
        SCOPED_TRACE(std::string(script.id, script.id + std::wcslen(script.id)));
        runSteps(*started(script.id), script.out, script.steps);
    }
}

// The amplifier's first update comes at graph start, then the first batch sends the default.
TEST(ShapeEditModules, TheAmplifierSendsTheDefaultShapeInTheFirstBatch) {
    auto amp = running(L"ZR_ShapeAmp2");
    amp->process(kBatchSize);
    auto const first = amp->host().pinSets(kOut);
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[1].bytes, shapeImage({{0.0f, 0.0f}, {1.0f, 0.0f}}));
}

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

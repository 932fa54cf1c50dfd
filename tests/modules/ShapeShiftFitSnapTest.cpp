// ZR_ShapeShift2, ZR_ShapeFit and ZR_ShapeSnap through the bundle: the shapes they send and
// the batches in which they stay silent.

#include <cwchar>
#include <limits>

#include "tests/modules/ShapeModuleSupport.h"

namespace zr::test {
namespace {

constexpr int32_t kShape = 0, kOut = 3;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
NodePairs const kRamp = {{0.0f, -1.0f}, {1.0f, 1.0f}};

std::pair<int32_t, PinValue> shape(NodePairs const& nodes) { return {kShape, imageOf(nodes)}; }

TEST(ShapeShiftFitSnap, SendTheEditedShapeOrStaySilent) {
    // Shift pins: Shape, Amount, Vertical; Fit: Shape, Bottom, Top; Snap: Shape, Edge, Level.
    constexpr int32_t kAmount = 1, kVertical = 2, kBottom = 1, kTop = 2, kEdge = 1, kLevel = 2;
    NodePairs const three = {{0.0f, 0.0f}, {0.5f, 0.8f}, {1.0f, -0.2f}};
    NodePairs const four = {{0.0f, 0.0f}, {0.4f, 0.0f}, {0.6f, 0.0f}, {1.0f, 0.0f}};
    NodePairs const rampOfThree = {{0.0f, -1.0f}, {0.5f, 0.0f}, {1.0f, 1.0f}};
    NodePairs const flat = {{0.0f, 0.0f}, {0.5f, 0.0f}, {1.0f, 0.0f}};
    NodePairs const flatAt1V = {{0.0f, 0.2f}, {0.5f, 0.2f}, {1.0f, 0.2f}};
    NodePairs const snapped = {{0.0f, -0.75f}, {0.5f, 0.5f}, {1.0f, 0.25f}};
    float const first = above(1.0f);
    struct Script {
        wchar_t const* id;
        std::vector<Step> steps;
    } const scripts[] = {
        {L"ZR_ShapeShift2", { // sends on every batch
            {"two nodes have nothing to shift", {shape(kRamp), {kAmount, 3.0f}, {kVertical, 0}}, kRamp},
            {"three nodes, 2 V right", {shape(three), {kAmount, 2.0f}},
             NodePairs{{0.0f, 0.0f}, {(2.0f * 0.1f + 1.0f + 0.5f) - 1.0f, 0.8f}, {1.0f, -0.2f}}},
            {"7 V right stops a step below the end", {{kAmount, 7.0f}},
             NodePairs{{0.0f, 0.0f}, {below(2.0f) - 1.0f, 0.8f}, {1.0f, -0.2f}}},
            {"an unchanged mode still sends", {{kAmount, 0.0f}, {kVertical, 0}}, three},
            {"-10 V piles both interior nodes against the start", {shape(four), {kAmount, -10.0f}},
             NodePairs{{0.0f, 0.0f}, {first - 1.0f, 0.0f}, {above(first) - 1.0f, 0.0f}, {1.0f, 0.0f}}},
            {"2.5 V up moves the ends too and stops at 5 V", {shape(three), {kAmount, 2.5f}, {kVertical, 1}},
             NodePairs{{0.0f, 0.5f}, {0.5f, 1.0f}, {1.0f, -0.2f + 0.5f}}},
            {"NaN vertically goes to the top", {{kAmount, kNaN}}, NodePairs{{0.0f, 1.0f}, {0.5f, 1.0f}, {1.0f, 1.0f}}},
            {"NaN horizontally moves nothing", {{kVertical, 0}}, three},
            {"a rejected image keeps the previous shape", {{kShape, Image{1, 2, 3}}}, three},
        }},
        {L"ZR_ShapeFit", {
            {"ramp into -2.5..2.5 V", {shape(kRamp), {kBottom, -2.5f}, {kTop, 2.5f}}, NodePairs{{0.0f, -0.5f}, {1.0f, 0.5f}}},
            {"levels crossed turn it upside down", {{kBottom, 5.0f}, {kTop, -5.0f}}, NodePairs{{0.0f, 1.0f}, {1.0f, -1.0f}}},
            {"the identity after a new input is sent", {shape(rampOfThree), {kBottom, -5.0f}, {kTop, 5.0f}}, rampOfThree},
            {"a level that leaves the input as it is", {{kTop, 5.0f}}, std::nullopt},
            {"levels beyond 5 V act as 5 V", {{kBottom, -9.0f}, {kTop, 20.0f}}, std::nullopt},
            {"equal levels flatten", {{kBottom, 1.0f}, {kTop, 1.0f}}, flatAt1V},
            {"equal levels send on every batch", {{kBottom, 1.0f}}, flatAt1V},
            {"a flat shape goes to the middle, on every batch", {shape(flat), {kBottom, -5.0f}, {kTop, 5.0f}}, flat},
            {"a subnormal spread counts as flat", {shape({{0.0f, 0.0f}, {0.5f, 1e-39f}, {1.0f, 0.0f}})}, flat},
        }},
        {L"ZR_ShapeSnap", {
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
    };
    for (Script const& script : scripts) {
        SCOPED_TRACE(std::string(script.id, script.id + std::wcslen(script.id)));
        runSteps(*started(script.id), kOut, script.steps);
    }
}

} // namespace
} // namespace zr::test

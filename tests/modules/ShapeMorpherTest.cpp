// ZR_ShapeMorpher2 with 0..20 shape inputs: what it sends in each batch, and when it stays silent.

#include "testing/hostile/HostilePolicies.h"
#include "tests/modules/ShapeModuleSupport.h"

namespace zr::test {
namespace {

constexpr int32_t kOut = 0, kPosition = 1, kFirstShape = 2;
constexpr wchar_t kMorpher[] = L"ZR_ShapeMorpher2";

NodePairs const kRamp = {{0.0f, -1.0f}, {1.0f, 1.0f}};
NodePairs const kMirror = {{0.0f, 1.0f}, {1.0f, -1.0f}};
NodePairs const kFlat = {{0.0f, 0.0f}, {1.0f, 0.0f}};

std::pair<int32_t, PinValue> shapeAt(int32_t input, NodePairs const& nodes) { return {kFirstShape + input, imageOf(nodes)}; }
std::pair<int32_t, PinValue> at(float position) { return {kPosition, position}; }

// Equal node counts: the later shape of the selected pair has weight f, the earlier 1 - f.
NodePairs blend(NodePairs const& first, NodePairs const& second, float f) {
    NodePairs mixed = first;
    for (std::size_t n = 0; n < mixed.size(); ++n)
        mixed[n].second = f * second[n].second + (1.0f - f) * first[n].second;
    return mixed;
}

TEST(ShapeMorpher, BlendsThePairThePositionSelects) {
    NodePairs const three = {{0.0f, 0.0f}, {0.5f, 1.0f}, {1.0f, 0.0f}};
    NodePairs const five = {{0.0f, 1.0f}, {0.125f, -1.0f}, {0.25f, 0.5f}, {0.75f, -0.25f}, {1.0f, 1.0f}};
    NodePairs const a = {{0.0f, -1.0f}, {1.0f, -1.0f}}, b = {{0.0f, 0.5f}, {1.0f, -0.5f}};
    NodePairs const c = {{0.0f, 0.0f}, {1.0f, 1.0f}}, newC = {{0.0f, 1.0f}, {1.0f, 1.0f}};
    struct Script {
        char const* name;
        int32_t inputs;
        bool defaults;
        std::vector<Step> steps;
    } const scripts[] = {
        {"two inputs", 2, false, {
            {"half way between ramp and mirror is flat", {shapeAt(0, kRamp), shapeAt(1, kMirror), at(0.5f)}, kFlat},
            {"0 is the first shape", {at(0.0f)}, kRamp},
            {"1 has the second's nodes", {at(1.0f)}, kMirror},
            {"above 1 acts as 1", {at(7.0f)}, std::nullopt},
            {"below 0 acts as 0", {at(-3.0f)}, kRamp},
            {"an unchanged second shape", {shapeAt(1, kMirror)}, std::nullopt},
            {"a rejected first shape silences the batch", {{kFirstShape, Image{1, 2, 3}}, at(0.5f)}, std::nullopt},
            {"the previous first shape stays in use", {at(0.25f)}, blend(kRamp, kMirror, 0.25f)},
            {"NaN acts as 1", {at(kNaN)}, kMirror},
            {"a new second shape is sent at once", {shapeAt(1, kFlat)}, kFlat},
            {"three nodes toward five: at 1 the five", {shapeAt(0, three), shapeAt(1, five), at(1.0f)}, five},
            {"and at 0 the three", {at(0.0f)}, three},
            // 0.3 + 1 - 1 is not 0.3: at 0 the first shape must go out as it came.
            {"at 0 the first shape's own bytes", {shapeAt(0, {{0.0f, 0.0f}, {0.3f, 0.1f}, {1.0f, 0.0f}})},
             NodePairs{{0.0f, 0.0f}, {0.3f, 0.1f}, {1.0f, 0.0f}}},
        }},
        {"two inputs, the first unconnected", 2, true, {
            {"the second input is read even so", {shapeAt(1, kRamp), at(0.0f)}, std::nullopt},
            {"position 1 gives it", {at(1.0f)}, kRamp},
            {"half way: flat default and ramp", {at(0.5f)}, NodePairs{{0.0f, -0.5f}, {1.0f, 0.5f}}},
        }},
        {"three inputs", 3, false, {
            {"0.25 is a and b half and half", {shapeAt(0, a), shapeAt(1, b), shapeAt(2, c), at(0.25f)}, blend(a, b, 0.5f)},
            {"0.75 is b and c half and half", {at(0.75f)}, blend(b, c, 0.5f)},
            {"back to the first stretch", {at(0.2f)}, blend(a, b, 0.4f)},
            {"a new c outside the pair sends nothing", {shapeAt(2, newC)}, std::nullopt},
            {"reaching the second stretch reads it", {at(0.8f)}, blend(b, newC, 2.0f * 0.8f - 1.0f)},
            {"NaN acts as 1, the last pair", {at(kNaN)}, newC},
        }},
        {"twenty inputs, most never given a value", 20, false, {
            {"the last input", {shapeAt(19, three), shapeAt(18, kRamp), at(1.0f)}, three},
            {"inputs never given a value are flat", {at(0.5f)}, kFlat},
            {"no such input", {shapeAt(20, kRamp)}, std::nullopt},
        }},
    };
    for (Script const& script : scripts) {
        SCOPED_TRACE(script.name);
        auto module = started(kMorpher, script.inputs);
        if (script.defaults)
            module->sendDefaults();
        if (script.inputs == 20) {
            ASSERT_EQ(module->open(), gmpi::MP_OK) << "the pins stay where they were registered";
        }
        runSteps(*module, kOut, script.steps);
    }
}

// One input is a wire (any bytes, only when they differ); no inputs or no pin list: silent.
TEST(ShapeMorpher, OneInputIsAWireAndNoInputsSendNothing) {
    auto wire = started(kMorpher, 1);
    runSteps(*wire, kOut, {{"a shape", {shapeAt(0, kRamp), at(0.3f)}, kRamp},
                           {"the position alone", {at(0.9f)}, std::nullopt},
                           {"the same bytes", {shapeAt(0, kRamp)}, std::nullopt}});
    for (Image const& bytes : {Image{7, 7, 7}, Image{}}) {
        wire->setBytes(kFirstShape, 0, bytes);
        EXPECT_EQ(sentOnce(*wire, kOut), bytes);
    }
    host::AudioModuleOptions noIterator;
    noIterator.hostPolicy = std::make_shared<hostile::HostileAudioPolicy>(hostile::HostileSwitches{.nullIterator = true});
    std::unique_ptr<host::AudioModule> const silent[] = {started(kMorpher, 0), started(kMorpher, 2, noIterator)};
    for (auto const& module : silent) {
        module->setFloat(kPosition, 0, 0.5f);
        module->setBytes(kFirstShape, 0, imageOf(kRamp));
        EXPECT_FALSE(sentOnce(*module, kOut).has_value());
    }
}

} // namespace
} // namespace zr::test

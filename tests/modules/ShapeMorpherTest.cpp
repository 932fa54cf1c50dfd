// ZR_ShapeMorpher2 with 0..20 shape inputs: what it sends in each batch, and when it stays silent;
// the shape-processing modules over seeded random inputs send shapes that keep the node invariants.

#include <cwchar>
#include <random>

#include "testing/hostile/HostilePolicies.h"
#include "tests/modules/ShapeModuleSupport.h"

namespace zr::test {
namespace {

constexpr int32_t kOut = 0, kPosition = 1, kFirstShape = 2;
constexpr wchar_t kMorpher[] = L"ZR_ShapeMorpher2";

NodePairs const kMirror = {{0.0f, 1.0f}, {1.0f, -1.0f}};

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

constexpr int kTrials = 200;

struct ControlPin {
    int32_t pin;
    bool isFloat;
    float low, high; // range of ordinary values (ints: whole numbers in it)
};

// Ordinary values mostly; now and then NaN, an infinity or an integer far out of range.
void sendControl(host::AudioModule& module, ControlPin const& control, std::mt19937& rng) {
    int const kind = std::uniform_int_distribution<int>(0, 19)(rng);
    if (control.isFloat) {
        float const special[] = {kNaN, kInf, -kInf};
        module.setFloat(control.pin, 0, kind < 3 ? special[kind] : std::uniform_real_distribution<float>(control.low, control.high)(rng));
        return;
    }
    int32_t const special[] = {INT32_MIN, INT32_MAX, -1};
    auto const low = static_cast<int32_t>(control.low), high = static_cast<int32_t>(control.high);
    module.setInt(control.pin, 0, kind < 3 ? special[kind] : std::uniform_int_distribution<int32_t>(low, high)(rng));
}

TEST(ShapeModuleProperties, ValidAndRefusedImagesGiveShapesThatKeepTheInvariants) {
    struct Tested {
        wchar_t const* id;
        std::optional<int32_t> copies; // of the repeatable pin
        std::vector<int32_t> shapePins;
        std::vector<ControlPin> controls;
        int32_t out;
    } const modules[] = {
        {L"ZR_ShapeMorpher2", 3, {2, 3, 4}, {{1, true, -0.5f, 1.5f}}, 0},
        {L"ZR_ShapeNodeModul2", {}, {0}, {{1, false, -3, 102}, {2, true, -1.5f, 1.5f}, {3, true, -1.5f, 1.5f}}, 4},
        {L"ZR_ShapeNodeModif2", {}, {0}, {{1, false, -3, 102}, {2, true, -7.0f, 7.0f}, {3, true, -7.0f, 7.0f}}, 4},
        {L"ZR_ShapeShift2", {}, {0}, {{1, true, -12.0f, 12.0f}, {2, false, 0, 1}}, 3},
        {L"ZR_ShapeFit", {}, {0}, {{1, true, -7.0f, 7.0f}, {2, true, -7.0f, 7.0f}}, 3},
        {L"ZR_ShapeSnap", {}, {0}, {{1, false, 0, 1}, {2, true, -7.0f, 7.0f}}, 3},
    };
    std::mt19937 rng(5150);
    for (Tested const& tested : modules) {
        SCOPED_TRACE(std::string(tested.id, tested.id + std::wcslen(tested.id)) + " x" +
                     std::to_string(tested.copies.value_or(1)));
        auto module = started(tested.id, tested.copies);
        module->sendDefaults();
        module->process(kBatchSize);
        int sentCount = 0;
        for (int trial = 0; trial < kTrials; ++trial) {
            SCOPED_TRACE("trial " + std::to_string(trial));
            for (int32_t pin : tested.shapePins)
                module->setBytes(pin, 0, imageOf(randomValidNodes(rng, trial % 2 == 0 ? 0.0f : 1e-4f)));
            for (ControlPin const& control : tested.controls)
                if (rng() % 2 == 0)
                    sendControl(*module, control, rng);
            for (Image const& sent : sentInNextBlock(*module, tested.out)) {
                ASSERT_TRUE(isWellFormedImage(sent)) << sent.size() << " bytes";
                ASSERT_TRUE(keepsNodeInvariants(nodesOf(sent)));
                ++sentCount;
            }
        }
        EXPECT_GT(sentCount, kTrials / 4);
    }
}

// The fit scales by the inverse of the spread: without care the highest node misses the top
// level by a rounding step.
TEST(ShapeModuleProperties, FitMapsTheLowestAndHighestNodesExactly) {
    std::mt19937 rng(1234);
    auto module = started(L"ZR_ShapeFit");
    std::uniform_real_distribution<float> volts(-5.0f, 5.0f);
    for (int trial = 0; trial < kTrials; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        NodePairs const input = randomValidNodes(rng);
        float const bottom = volts(rng), top = volts(rng);
        module->setBytes(0, 0, imageOf(input));
        module->setFloat(1, 0, bottom);
        module->setFloat(2, 0, top);
        std::optional<Image> const sent = sentOnce(*module, 3);
        ASSERT_TRUE(sent.has_value());
        NodePairs const fitted = nodesOf(*sent);
        ASSERT_EQ(fitted.size(), input.size());
        auto const byY = [](auto const& a, auto const& b) { return a.second < b.second; };
        auto const [lowest, highest] = std::minmax_element(input.begin(), input.end(), byY);
        EXPECT_EQ(fitted[static_cast<std::size_t>(lowest - input.begin())].second, bottom * 0.2f);
        EXPECT_EQ(fitted[static_cast<std::size_t>(highest - input.begin())].second, top * 0.2f);
    }
}

} // namespace
} // namespace zr::test

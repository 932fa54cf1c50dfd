// Shape-processing modules over seeded random inputs send shapes that keep the node invariants.

#include <cwchar>
#include <random>

#include "tests/modules/ShapeModuleSupport.h"

namespace zr::test {
namespace {

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

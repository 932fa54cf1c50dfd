// Properties of the shape-processing modules over random inputs (seeded, so failures repeat),
// through the bundle: valid shapes and any control values give shapes that keep the node
// invariants; images with hostile nodes or broken bytes give well-formed images (or nothing).

#include <cmath>
#include <limits>
#include <random>

#include "tests/modules/ShapeModuleSupport.h"

namespace {

using zr::test::Image;
using zr::test::imageOf;
using zr::test::isWellFormedImage;
using zr::test::keepsNodeInvariants;
using zr::test::NodePairs;
using zr::test::nodesOf;
using zr::test::randomValidNodes;
using zr::test::sentInNextBlock;

constexpr int kTrials = 150;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

struct ControlPin {
    int32_t pin;
    bool isFloat;
    float low, high; // range of ordinary values (ints: whole numbers in it)
};

struct ModuleUnderTest {
    wchar_t const* id;
    int32_t copies; // of the repeatable pin; 0 when the module has none
    std::vector<int32_t> shapePins;
    std::vector<ControlPin> controls;
    int32_t out;
};

std::vector<ModuleUnderTest> const& blobConsumers() {
    static std::vector<ModuleUnderTest> const modules = {
        {L"ZR_ShapeMorpher2", 2, {2, 3}, {{1, true, -0.5f, 1.5f}}, 0},
        {L"ZR_ShapeMorpher2", 3, {2, 3, 4}, {{1, true, -0.5f, 1.5f}}, 0},
        {L"ZR_ShapeNodeModul2", 0, {0}, {{1, false, -3, 102}, {2, true, -1.5f, 1.5f}, {3, true, -1.5f, 1.5f}}, 4},
        {L"ZR_ShapeNodeModif2", 0, {0}, {{1, false, -3, 102}, {2, true, -7.0f, 7.0f}, {3, true, -7.0f, 7.0f}}, 4},
        {L"ZR_ShapeShift2", 0, {0}, {{1, true, -12.0f, 12.0f}, {2, false, 0, 1}}, 3},
        {L"ZR_ShapeFit", 0, {0}, {{1, true, -7.0f, 7.0f}, {2, true, -7.0f, 7.0f}}, 3},
        {L"ZR_ShapeSnap", 0, {0}, {{1, false, 0, 1}, {2, true, -7.0f, 7.0f}}, 3},
        {L"ZR_DefaultShape", 0, {0}, {}, 2},
    };
    return modules;
}

std::unique_ptr<zr::host::AudioModule> startedModule(ModuleUnderTest const& tested) {
    auto module = tested.copies > 0 ? zr::test::makeModuleWithCopies(tested.id, tested.copies)
                                    : zr::test::makeModule(tested.id);
    zr::test::openAndStart(*module);
    module->sendDefaults();
    module->process(zr::test::kBatchSize);
    return module;
}

// Ordinary values mostly; now and then NaN, an infinity or an integer far out of range.
void sendControl(zr::host::AudioModule& module, ControlPin const& control, std::mt19937& rng) {
    int const kind = std::uniform_int_distribution<int>(0, 19)(rng);
    if (control.isFloat) {
        float const special[] = {kNaN, kInf, -kInf};
        float const value = kind < 3 ? special[kind] : std::uniform_real_distribution<float>(control.low, control.high)(rng);
        module.setFloat(control.pin, 0, value);
    } else {
        int32_t const special[] = {INT32_MIN, INT32_MAX, -1};
        int32_t const value = kind < 3 ? special[kind]
                                       : std::uniform_int_distribution<int32_t>(static_cast<int32_t>(control.low),
                                                                                 static_cast<int32_t>(control.high))(rng);
        module.setInt(control.pin, 0, value);
    }
}

std::string nameOf(ModuleUnderTest const& tested) {
    std::wstring const id = tested.id;
    return std::string(id.begin(), id.end()) + (tested.copies > 0 ? " x" + std::to_string(tested.copies) : "");
}

TEST(ShapeModuleProperties, ValidShapesAndAnyControlsGiveValidShapes) {
    std::mt19937 rng(5150);
    for (ModuleUnderTest const& tested : blobConsumers()) {
        SCOPED_TRACE(nameOf(tested));
        auto module = startedModule(tested);
        int sentCount = 0;
        for (int trial = 0; trial < kTrials; ++trial) {
            SCOPED_TRACE("trial " + std::to_string(trial));
            for (int32_t pin : tested.shapePins)
                if (trial == 0 || rng() % 3 == 0)
                    module->setBytes(pin, 0, imageOf(randomValidNodes(rng, trial % 2 == 0 ? 0.0f : 1e-4f)));
            for (ControlPin const& control : tested.controls)
                if (rng() % 2 == 0)
                    sendControl(*module, control, rng);
            for (Image const& sent : sentInNextBlock(*module, tested.out)) {
                ASSERT_TRUE(isWellFormedImage(sent) && keepsNodeInvariants(nodesOf(sent)));
                ++sentCount;
            }
        }
        EXPECT_GT(sentCount, kTrials / 4);
    }
}

// Accepted images are not checked for node values; broken bytes are rejected. Neither may
// crash a module, make it loop or index out of bounds (the sanitized build watches), and
// whatever it sends is a well-formed image. One input of the morpher is a plain wire and is
// left out: it passes any bytes on unchanged.
TEST(ShapeModuleProperties, HostileImagesGiveWellFormedImages) {
    float const specials[] = {kNaN, kInf, -kInf, 7.0f, -3.0f, 0.5f, 0.0f, 1.0f, 1e-39f, -0.0f};
    std::mt19937 rng(666);
    auto hostileImage = [&]() -> Image {
        int const kind = std::uniform_int_distribution<int>(0, 3)(rng);
        if (kind == 0) { // bytes of any length, or a count that does not match the size
            Image bytes(std::uniform_int_distribution<std::size_t>(0, 820)(rng));
            for (uint8_t& byte : bytes)
                byte = static_cast<uint8_t>(rng());
            if (bytes.size() >= 24 && rng() % 2 == 0) { // magic and a count one too high
                bytes = imageOf(NodePairs((bytes.size() - 8) / 8 + 1, {0.5f, 0.5f}));
                bytes.resize(bytes.size() - 8);
            }
            return bytes;
        }
        NodePairs nodes(std::uniform_int_distribution<std::size_t>(2, 100)(rng));
        std::uniform_int_distribution<std::size_t> pick(0, std::size(specials) - 1);
        std::uniform_real_distribution<float> anywhere(-2.0f, 2.0f);
        for (auto& [x, y] : nodes) {
            x = kind == 1 ? specials[pick(rng)] : anywhere(rng);
            y = kind == 3 ? anywhere(rng) : specials[pick(rng)];
        }
        return imageOf(nodes);
    };
    for (ModuleUnderTest const& tested : blobConsumers()) {
        SCOPED_TRACE(nameOf(tested));
        auto module = startedModule(tested);
        int sentCount = 0;
        for (int trial = 0; trial < kTrials; ++trial) {
            SCOPED_TRACE("trial " + std::to_string(trial));
            for (int32_t pin : tested.shapePins)
                module->setBytes(pin, 0, rng() % 4 == 0 ? imageOf(randomValidNodes(rng)) : hostileImage());
            for (ControlPin const& control : tested.controls)
                sendControl(*module, control, rng);
            for (Image const& sent : sentInNextBlock(*module, tested.out)) {
                ASSERT_TRUE(isWellFormedImage(sent)) << sent.size() << " bytes";
                ++sentCount;
            }
        }
        EXPECT_GT(sentCount, 0);
    }
}

// Morph at 0 sends the first shape as it came; at 1 a shape with the second's nodes (x went
// through x + 1 - 1 and may differ by half a step of the offset domain).
TEST(ShapeModuleProperties, MorphAtZeroIsTheFirstShapeAndAtOneHasTheSecondsNodes) {
    std::mt19937 rng(8086);
    auto module = zr::test::makeModuleWithCopies(L"ZR_ShapeMorpher2", 2);
    zr::test::openAndStart(*module);
    for (int trial = 0; trial < kTrials; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        NodePairs const first = randomValidNodes(rng, 1e-5f);
        NodePairs const second = randomValidNodes(rng, 1e-5f);
        module->setBytes(2, 0, imageOf(first));
        module->setBytes(3, 0, imageOf(second));
        module->setFloat(1, 0, 0.0f);
        std::vector<Image> sent = sentInNextBlock(*module, 0);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent.back(), imageOf(first));
        module->setFloat(1, 0, 1.0f);
        sent = sentInNextBlock(*module, 0);
        ASSERT_EQ(sent.size(), 1u);
        NodePairs const atOne = nodesOf(sent.back());
        ASSERT_EQ(atOne.size(), second.size());
        for (std::size_t i = 0; i < second.size(); ++i) {
            EXPECT_NEAR(atOne[i].first, second[i].first, 6e-8f) << "node " << i;
            EXPECT_EQ(atOne[i].second, second[i].second) << "node " << i;
        }
    }
}

// Two shifters in a row, the second undoing the first: nodes may pile up, never reorder.
TEST(ShapeModuleProperties, ShiftThereAndBackNeverReordersNodes) {
    std::mt19937 rng(2718);
    auto there = zr::test::makeModule(L"ZR_ShapeShift2");
    auto back = zr::test::makeModule(L"ZR_ShapeShift2");
    zr::test::openAndStart(*there);
    zr::test::openAndStart(*back);
    std::uniform_real_distribution<float> volts(-11.0f, 11.0f);
    for (int trial = 0; trial < kTrials; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        NodePairs const input = randomValidNodes(rng, trial % 2 == 0 ? 0.0f : 1e-3f);
        float const amount = volts(rng);
        there->setBytes(0, 0, imageOf(input));
        there->setFloat(1, 0, amount);
        std::vector<Image> const shifted = sentInNextBlock(*there, 3);
        ASSERT_EQ(shifted.size(), 1u);
        ASSERT_TRUE(keepsNodeInvariants(nodesOf(shifted[0])));
        back->setBytes(0, 0, shifted[0]);
        back->setFloat(1, 0, -amount);
        std::vector<Image> const returned = sentInNextBlock(*back, 3);
        ASSERT_EQ(returned.size(), 1u);
        NodePairs const result = nodesOf(returned[0]);
        ASSERT_TRUE(keepsNodeInvariants(result));
        ASSERT_EQ(result.size(), input.size());
        for (std::size_t i = 0; i < input.size(); ++i)
            EXPECT_EQ(result[i].second, input[i].second) << "y of node " << i;
    }
}

TEST(ShapeModuleProperties, FitMapsTheLowestAndHighestNodesExactly) {
    std::mt19937 rng(1234);
    auto module = zr::test::makeModule(L"ZR_ShapeFit");
    zr::test::openAndStart(*module);
    std::uniform_real_distribution<float> volts(-5.0f, 5.0f);
    for (int trial = 0; trial < kTrials; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        NodePairs const input = randomValidNodes(rng);
        float const bottom = volts(rng), top = volts(rng);
        module->setBytes(0, 0, imageOf(input));
        module->setFloat(1, 0, bottom);
        module->setFloat(2, 0, top);
        std::vector<Image> const sent = sentInNextBlock(*module, 3);
        ASSERT_EQ(sent.size(), 1u);
        NodePairs const fitted = nodesOf(sent[0]);
        ASSERT_EQ(fitted.size(), input.size());
        auto const [lowest, highest] = std::minmax_element(input.begin(), input.end(), [](auto const& a, auto const& b) {
            return a.second < b.second;
        });
        EXPECT_EQ(fitted[static_cast<std::size_t>(lowest - input.begin())].second, bottom * 0.2f);
        EXPECT_EQ(fitted[static_cast<std::size_t>(highest - input.begin())].second, top * 0.2f);
    }
}

// A host that refuses its audio interface gives no pin list and takes no values: every module
// opens with no counted inputs, takes its events and sends nothing, without a crash.
TEST(ShapeModuleProperties, WithoutAnAudioHostModulesTakeEventsAndSendNothing) {
    wchar_t const* const ids[] = {L"ZR_ShapeMorpher2", L"ZR_ShapeNodeModul2", L"ZR_ShapeNodeModif2",
                                  L"ZR_ShapeShift2",   L"ZR_ShapeFit",        L"ZR_ShapeSnap",
                                  L"ZR_RegularShapeGen", L"ZR_DefaultShape",  L"ZR_ShapeStr2BLOB"};
    for (wchar_t const* id : ids) {
        std::wstring const name = id;
        SCOPED_TRACE(std::string(name.begin(), name.end()));
        zr::host::AudioModuleOptions options;
        options.hostile.refuseHost = true;
        auto module = zr::test::makeModule(id, options);
        ASSERT_EQ(module->open(), gmpi::MP_OK);
        module->graphStart();
        module->sendDefaults();
        for (int32_t pin = 0; pin < 4; ++pin)
            module->setBytes(pin, 0, imageOf({{0.0f, -1.0f}, {0.5f, 1.0f}, {1.0f, 0.0f}}));
        module->process(zr::test::kBatchSize);
        EXPECT_TRUE(module->host().records().empty());
        EXPECT_EQ(module->host().iteratorQueries(), 0);
    }
}

} // namespace

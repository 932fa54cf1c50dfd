// ZR_Waveshaper2 through the bundle, as a host drives it.

#include <cmath>
#include <functional>
#include <limits>
#include <random>

#include "tests/modules/BundleFixture.h"

namespace {

using zr::test::shapeImage;
using Nodes = std::vector<std::pair<float, float>>;

constexpr int32_t kShape = 0, kInterpolation = 1, kRangeLow = 2, kRangeHigh = 3, kInput = 4, kOut = 5;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
Nodes const kLine = {{0.0f, -1.0f}, {1.0f, 1.0f}};

class Waveshaper : public testing::Test {
protected:
    void SetUp() override { module = started(); }

    static std::unique_ptr<zr::host::AudioModule> started(zr::host::AudioModuleOptions options = {}) {
        auto module = zr::test::makeModule(L"ZR_Waveshaper2", options);
        module->connectAudio(kInput);
        module->connectAudio(kOut);
        module->open();
        module->graphStart();
        module->sendDefaults();
        return module;
    }
    // Runs one block with `input` as the signal; returns the output samples.
    std::vector<float> shapeSignal(std::vector<float> const& input) {
        std::copy(input.begin(), input.end(), module->buffer(kInput));
        module->process(static_cast<int32_t>(input.size()));
        return {module->buffer(kOut), module->buffer(kOut) + input.size()};
    }
    float shapeOne(float sample) { return shapeSignal({sample})[0]; }

    std::unique_ptr<zr::host::AudioModule> module;
};

TEST_F(Waveshaper, ShapeAndRangeMapTheInput) {
    Nodes const triangle = {{0.0f, 0.0f}, {0.5f, 1.0f}, {1.0f, 0.0f}};
    struct Case {
        char const* name;
        Nodes nodes;
        float low, high, input, output, tolerance;
    } const cases[] = {
        {"identity", kLine, -5.0f, 5.0f, 0.3f, 0.3f, 2e-6f},
        {"identity, the high level reads the last entry alone", kLine, -5.0f, 5.0f, 0.5f, 0.5f, 0.0f},
        {"identity, above the range: the right end", kLine, -5.0f, 5.0f, 0.7f, 0.5f, 2e-6f},
        {"identity, below the range: the left end", kLine, -5.0f, 5.0f, -0.9f, -0.5f, 2e-6f},
        {"triangle peak, between two entries", triangle, -5.0f, 5.0f, 0.0f, 0.5f, 2e-4f},
        {"triangle slope", triangle, -5.0f, 5.0f, 0.25f, 0.25f, 2e-4f},
        {"reversed range: high levels select the left end", kLine, 5.0f, -5.0f, 0.5f, -0.5f, 1e-6f},
        {"reversed range, low level", kLine, 5.0f, -5.0f, -0.5f, 0.5f, 1e-6f},
        {"equal levels: the first entry", kLine, 5.0f, 5.0f, -0.3f, -0.5f, 0.0f},
    };
    module->startStream(kInput, 0);
    EXPECT_NEAR(shapeOne(0.3f), 0.3f, 2e-6f) << "the default curve is the identity";
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        module->setBytes(kShape, 0, shapeImage(c.nodes));
        module->setFloat(kRangeLow, 0, c.low);
        module->setFloat(kRangeHigh, 0, c.high);
        EXPECT_NEAR(shapeOne(c.input), c.output, c.tolerance);
    }
}

TEST_F(Waveshaper, RejectedValuesKeepTheCurve) {
    module->startStream(kInput, 0);
    module->setBytes(kShape, 0, shapeImage({{0.0f, 0.5f}, {1.0f, 0.5f}}));
    ASSERT_NEAR(shapeOne(0.1f), 0.25f, 1e-6f);
    auto miscounted = shapeImage(kLine);
    miscounted[4] = 3; // the count disagrees with the size
    module->setText(kShape, 0, L"(-5,-5)(5,5)"); // text, not an image
    EXPECT_NEAR(shapeOne(0.1f), 0.25f, 1e-6f);
    module->setBytes(kShape, 0, miscounted);
    EXPECT_NEAR(shapeOne(0.1f), 0.25f, 1e-6f);
    module->setInt(kInterpolation, 0, 15); // no such mode: ignored, still linear
    module->setBytes(kShape, 0, shapeImage({{0.0f, 0.0f}, {0.5f, 1.0f}, {1.0f, 0.0f}}));
    EXPECT_NEAR(shapeOne(0.25f), 0.25f, 2e-4f);

}

TEST_F(Waveshaper, NeverLeavesItsTableForHostileNumbersOrWildNodes) {
    struct Case {
        float low, high, input;
    } const cases[] = {{-5.0f, 5.0f, kNaN}, {-5.0f, 5.0f, kInf}, {-5.0f, 5.0f, -kInf}, {kNaN, 5.0f, 0.1f},
                       {-5.0f, kNaN, 0.1f}, {0.0f, 1e-38f, 0.0f},  {-kInf, kInf, 0.0f}};
    module->startStream(kInput, 0);
    for (auto const& c : cases) {
        SCOPED_TRACE(testing::Message() << c.low << ".." << c.high << ", input " << c.input);
        module->setFloat(kRangeLow, 0, c.low);
        module->setFloat(kRangeHigh, 0, c.high);
        float const out = shapeOne(c.input);
        EXPECT_TRUE(std::isfinite(out) && std::fabs(out) <= 0.5f) << out;
    }
    // The blob reader trusts node values; rendering must still stay inside the table.
    module->setFloat(kRangeLow, 0, -5.0f);
    module->setFloat(kRangeHigh, 0, 5.0f);
    for (float wild : {2.0f, -0.5f, kNaN, kInf}) {
        for (int32_t mode : {0, 10, 20, 30}) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << ", node x " << wild);
            module->setInt(kInterpolation, 0, mode);
            module->setBytes(kShape, 0, shapeImage({{0.0f, 0.0f}, {wild, 1.0f}, {0.2f, kNaN}, {1.0f, 0.0f}}));
            for (float out : shapeSignal({-0.5f, 0.0f, 0.5f, kNaN}))
                EXPECT_FALSE(std::fabs(out) > 1.0f) << "a read outside the table"; // NaN nodes may give NaN
        }
    }
    module->setInt(kInterpolation, 0, 10);
    module->setBytes(kShape, 0, shapeImage(kLine));
    EXPECT_NEAR(shapeOne(0.2f), 0.2f, 1e-6f) << "a sound shape afterwards";
}

// A static input sleeps after the countdown and is not called; a new curve or range wakes it
// for one more countdown, and the static output shows the change.
TEST_F(Waveshaper, StaticInputSleepsAndAShapeOrRangeChangeWakesItOnce) {
    struct Case {
        char const* name;
        std::function<void()> change;
        float output;
    } const cases[] = {
        {"new shape", [&] { module->setBytes(kShape, 0, shapeImage({{0.0f, 0.4f}, {1.0f, 0.4f}})); }, 0.2f},
        {"new range: 0.25 is now its top", [&] { module->setFloat(kRangeHigh, 0, 2.5f); }, 0.5f},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        module = started();
        module->host().setCountdown(64);
        module->stopStream(kInput, 0);
        std::fill_n(module->buffer(kInput), 64, 0.25f);
        module->process(64);
        EXPECT_EQ(module->host().streamingOf(kOut), false);
        module->process(64);
        ASSERT_EQ(module->host().sleepCount(), 1);
        EXPECT_NEAR(module->buffer(kOut)[63], 0.25f, 1e-6f);
        int64_t const callsAsleep = module->processCalls();
        module->process(64);
        EXPECT_EQ(module->processCalls(), callsAsleep) << "a sleeping module is not called";
        c.change();
        std::fill_n(module->buffer(kInput), 64, 0.25f);
        module->process(64);
        EXPECT_NEAR(module->buffer(kOut)[63], c.output, 1e-6f);
        EXPECT_EQ(module->host().streamingOf(kOut), false);
        module->process(64);
        EXPECT_EQ(module->host().sleepCount(), 2);
    }
    // Asleep partway through a block: the rest of the block holds the last value.
    module = started();
    module->host().setCountdown(10);
    module->setBytes(kShape, 0, shapeImage({{0.0f, 0.6f}, {1.0f, 0.6f}}));
    module->stopStream(kInput, 0);
    module->process(64);
    ASSERT_EQ(module->host().sleepCount(), 1);
    for (int i = 0; i < 64; ++i)
        ASSERT_NEAR(module->buffer(kOut)[i], 0.3f, 1e-6f) << "sample " << i;
}

TEST_F(Waveshaper, RangeAloneSetsStreamingOnlyBeforeTheInputReports) {
    for (bool reported : {false, true}) {
        SCOPED_TRACE(reported ? "input reported streaming" : "input never reported");
        module = started();
        if (reported)
            module->startStream(kInput, 0);
        module->process(16);
        module->host().clearRecords();
        module->setFloat(kRangeLow, 0, -4.0f);
        module->process(16);
        EXPECT_EQ(module->host().streamingChanges(kOut).size(), reported ? 0u : 1u);
    }
    zr::host::AudioModuleOptions options;
    options.hostile.refuseHost = true;
    module = started(options);
    module->startStream(kInput, 0);
    EXPECT_NEAR(shapeOne(0.25f), 0.25f, 1e-6f) << "it runs without a host";
    EXPECT_TRUE(module->host().records().empty());
}

TEST_F(Waveshaper, OutputIsBoundedOverRandomBlocksAndEvents) {
    std::mt19937 random(20261206);
    std::uniform_real_distribution<float> level(-1.5f, 1.5f), height(-1.0f, 1.0f), volts(-6.0f, 6.0f);
    module->startStream(kInput, 0);
    for (int round = 0; round < 200; ++round) {
        auto const blockSize = 1 + static_cast<int32_t>(random() % 300);
        auto const at = static_cast<int32_t>(random() % blockSize);
        module->setInt(kInterpolation, at, (random() % 2) ? 0 : 10);
        module->setBytes(kShape, at, shapeImage({{0.0f, height(random)}, {0.4f, height(random)}, {1.0f, height(random)}}));
        module->setFloat(random() % 2 ? kRangeLow : kRangeHigh, static_cast<int32_t>(random() % blockSize), volts(random));
        std::vector<float> input(blockSize);
        for (auto& sample : input)
            sample = level(random);
        for (float out : shapeSignal(input))
            ASSERT_LE(std::fabs(out), 0.5f) << "round " << round;
    }
}

} // namespace

// ZR_Waveshaper2 through the bundle, as a host drives it.

#include <cmath>
#include <limits>
#include <random>

#include "tests/modules/BundleFixture.h"

namespace {

using zr::test::shapeImage;

constexpr int32_t kShape = 0, kInterpolation = 1, kRangeLow = 2, kRangeHigh = 3, kInput = 4, kOut = 5;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

class Waveshaper : public testing::Test {
protected:
    void SetUp() override {
        module = zr::test::makeModule(L"ZR_Waveshaper2");
        module->connectAudio(kInput);
        module->connectAudio(kOut);
        ASSERT_EQ(module->open(), gmpi::MP_OK);
        module->graphStart();
        module->sendDefaults();
    }

    // Runs one block with `input` as the signal; returns the output samples.
    std::vector<float> shapeSignal(std::vector<float> const& input) {
        std::copy(input.begin(), input.end(), module->buffer(kInput));
        module->process(static_cast<int32_t>(input.size()));
        float const* out = module->buffer(kOut);
        return {out, out + input.size()};
    }
    float shapeOne(float sample) { return shapeSignal({sample})[0]; }

    std::unique_ptr<zr::host::AudioModule> module;
};

TEST_F(Waveshaper, DefaultCurveIsIdentityWithinTheRange) {
    module->startStream(kInput, 0);
    struct Case {
        float input, output;
    };
    Case const cases[] = {
        {-0.5f, -0.5f}, {-0.25f, -0.25f}, {0.0f, 0.0f}, {0.3f, 0.3f},
        {0.5f, 0.5f},   // exactly the high level reads the last entry alone
        {0.7f, 0.5f},   // above the range: the right end
        {-0.9f, -0.5f}, // below the range: the left end
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_NEAR(shapeOne(c.input), c.output, 2e-6f);
    }
    EXPECT_EQ(shapeOne(0.5f), 0.5f);
}

TEST_F(Waveshaper, ShapeAndRangeChangeTheCurve) {
    module->startStream(kInput, 0);
    module->setBytes(kShape, 0, shapeImage({{0.0f, 0.0f}, {0.5f, 1.0f}, {1.0f, 0.0f}}));
    EXPECT_NEAR(shapeOne(0.0f), 0.5f, 2e-4f) << "triangle peak, between two table entries";
    EXPECT_NEAR(shapeOne(0.25f), 0.25f, 2e-4f);
    EXPECT_NEAR(shapeOne(-0.5f), 0.0f, 1e-6f);

    // Reversed range: high input levels select the left end.
    module->setFloat(kRangeLow, 0, 5.0f);
    module->setFloat(kRangeHigh, 0, -5.0f);
    module->setBytes(kShape, 0, shapeImage({{0.0f, -1.0f}, {1.0f, 1.0f}}));
    EXPECT_NEAR(shapeOne(0.5f), -0.5f, 1e-6f);
    EXPECT_NEAR(shapeOne(-0.5f), 0.5f, 1e-6f);

    // Equal levels: every sample reads the first entry.
    module->setFloat(kRangeHigh, 0, 5.0f);
    EXPECT_EQ(shapeOne(0.3f), -0.5f);
    EXPECT_EQ(shapeOne(-0.3f), -0.5f);
}

TEST_F(Waveshaper, RejectedValuesKeepTheCurve) {
    module->startStream(kInput, 0);
    module->setBytes(kShape, 0, shapeImage({{0.0f, 0.5f}, {1.0f, 0.5f}}));
    ASSERT_NEAR(shapeOne(0.1f), 0.25f, 1e-6f);

    module->setText(kShape, 0, L"(-5,-5)(5,5)"); // text, not an image
    EXPECT_NEAR(shapeOne(0.1f), 0.25f, 1e-6f);
    auto image = shapeImage({{0.0f, -1.0f}, {1.0f, 1.0f}});
    image[4] = 3; // count field disagrees with the size
    module->setBytes(kShape, 0, image);
    EXPECT_NEAR(shapeOne(0.1f), 0.25f, 1e-6f);

    module->setInt(kInterpolation, 0, 15); // no such mode: ignored
    module->setBytes(kShape, 0, shapeImage({{0.0f, 0.0f}, {0.5f, 1.0f}, {1.0f, 0.0f}}));
    EXPECT_NEAR(shapeOne(0.25f), 0.25f, 2e-4f) << "still linear";
}

TEST_F(Waveshaper, ModesOfATwoNodeShapeRenderTheSameLine) {
    module->startStream(kInput, 0);
    std::vector<float> ramp(256);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = -0.6f + 1.2f * static_cast<float>(i) / 255.0f;
    std::vector<float> const linear = shapeSignal(ramp);
    for (int32_t mode : {20, 30}) {
        SCOPED_TRACE(mode);
        module->setInt(kInterpolation, 0, mode);
        EXPECT_EQ(shapeSignal(ramp), linear);
    }
}

TEST_F(Waveshaper, NeverLeavesItsTableForHostileNumbers) {
    struct Case {
        char const* name;
        float low, high, input;
    };
    Case const cases[] = {
        {"NaN input", -5.0f, 5.0f, kNaN},
        {"infinite input", -5.0f, 5.0f, kInf},
        {"negative infinite input", -5.0f, 5.0f, -kInf},
        {"NaN low level", kNaN, 5.0f, 0.1f},
        {"NaN high level", -5.0f, kNaN, 0.1f},
        {"subnormal range", 0.0f, 1e-38f, 0.0f},
        {"infinite range", -kInf, kInf, 0.0f},
    };
    module->startStream(kInput, 0);
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        module->setFloat(kRangeLow, 0, c.low);
        module->setFloat(kRangeHigh, 0, c.high);
        float const out = shapeOne(c.input);
        EXPECT_TRUE(std::isfinite(out));
        EXPECT_LE(std::fabs(out), 0.5f);
    }
}

TEST_F(Waveshaper, AcceptedImagesWithWildNodesStayInBounds) {
    // The blob reader trusts node values; rendering must still stay inside the table.
    std::vector<std::vector<std::pair<float, float>>> const wild = {
        {{0.0f, 0.0f}, {2.0f, 1.0f}, {1.0f, 0.0f}},
        {{0.0f, 0.0f}, {-0.5f, 1.0f}, {1.0f, 0.0f}},
        {{0.0f, 0.0f}, {kNaN, 1.0f}, {1.0f, 0.0f}},
        {{0.0f, 0.0f}, {kInf, 1.0f}, {1.0f, 0.0f}},
        {{0.0f, 0.0f}, {5.0f, 1.0f}, {0.2f, kNaN}, {1.0f, 0.0f}},
        {{0.5f, 0.0f}, {0.25f, 1.0f}, {0.9f, -1.0f}},
    };
    module->startStream(kInput, 0);
    for (int32_t mode : {0, 10, 20, 30}) {
        for (auto const& nodes : wild) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << ", " << nodes.size() << " nodes");
            module->setInt(kInterpolation, 0, mode);
            module->setBytes(kShape, 0, shapeImage(nodes));
            shapeSignal({-0.5f, 0.0f, 0.5f, kNaN});
        }
    }
    // The module still takes a sound shape afterwards.
    module->setInt(kInterpolation, 0, 10);
    module->setBytes(kShape, 0, shapeImage({{0.0f, -1.0f}, {1.0f, 1.0f}}));
    EXPECT_NEAR(shapeOne(0.2f), 0.2f, 1e-6f);
}

TEST_F(Waveshaper, StaticInputSleepsAndShapeChangesWakeItOnce) {
    module->host().setCountdown(64);
    module->stopStream(kInput, 0);
    module->buffer(kInput)[0] = 0.25f;
    module->process(64);
    EXPECT_EQ(module->host().streamingOf(kOut), false);
    module->process(64);
    EXPECT_EQ(module->host().sleepCount(), 1);
    int64_t const callsAsleep = module->processCalls();
    module->process(64);
    EXPECT_EQ(module->processCalls(), callsAsleep) << "a sleeping module is not called";

    // A new curve wakes it for one more countdown, and the static output shows it.
    module->setBytes(kShape, 0, shapeImage({{0.0f, 0.4f}, {1.0f, 0.4f}}));
    std::fill_n(module->buffer(kInput), 64, 0.25f);
    module->process(64);
    EXPECT_NEAR(module->buffer(kOut)[63], 0.2f, 1e-6f);
    module->process(64);
    EXPECT_EQ(module->host().sleepCount(), 2);
}

TEST_F(Waveshaper, SleepingPartwayThroughABlockHoldsTheLastValue) {
    module->host().setCountdown(10);
    module->setBytes(kShape, 0, shapeImage({{0.0f, 0.6f}, {1.0f, 0.6f}}));
    module->stopStream(kInput, 0);
    module->process(64);
    ASSERT_EQ(module->host().sleepCount(), 1);
    float const* out = module->buffer(kOut);
    for (int i = 0; i < 64; ++i)
        ASSERT_NEAR(out[i], 0.3f, 1e-6f) << "sample " << i;
}

// A static input with the module asleep: a new range must still reach the static output.
TEST_F(Waveshaper, RangeChangeReachesASleepingStaticOutput) {
    module->host().setCountdown(64);
    module->stopStream(kInput, 0);
    std::fill_n(module->buffer(kInput), 64, 0.25f);
    module->process(64);
    module->process(64);
    ASSERT_EQ(module->host().sleepCount(), 1);
    ASSERT_NEAR(module->buffer(kOut)[63], 0.25f, 1e-6f);

    module->setFloat(kRangeHigh, 0, 2.5f); // 0.25 is now the top of the range
    std::fill_n(module->buffer(kInput), 64, 0.25f);
    module->process(64);
    EXPECT_NEAR(module->buffer(kOut)[63], 0.5f, 1e-6f);
    EXPECT_EQ(module->host().streamingOf(kOut), false);
    module->process(64);
    EXPECT_EQ(module->host().sleepCount(), 2) << "one more countdown, then asleep again";
}

TEST_F(Waveshaper, RangeAloneSetsStreamingOnlyBeforeTheInputReports) {
    module->process(16);
    module->host().clearRecords();
    module->setFloat(kRangeLow, 0, -4.0f);
    module->process(16);
    EXPECT_EQ(module->host().streamingChanges(kOut).size(), 1u) << "the input still reads as updated";

    module->startStream(kInput, 0);
    module->process(16);
    module->host().clearRecords();
    module->setFloat(kRangeLow, 0, -3.0f);
    module->process(16);
    EXPECT_TRUE(module->host().streamingChanges(kOut).empty());
}

TEST_F(Waveshaper, OutputIsBoundedOverRandomBlocksAndEvents) {
    std::mt19937 random(20261206);
    std::uniform_real_distribution<float> level(-1.5f, 1.5f), height(-1.0f, 1.0f), volts(-6.0f, 6.0f);
    module->startStream(kInput, 0);
    for (int round = 0; round < 200; ++round) {
        int32_t const blockSize = 1 + static_cast<int32_t>(random() % 300);
        std::vector<std::pair<float, float>> nodes = {{0.0f, height(random)}};
        int const interior = static_cast<int>(random() % 6);
        for (int i = 1; i <= interior; ++i)
            nodes.emplace_back(static_cast<float>(i) / static_cast<float>(interior + 1), height(random));
        nodes.emplace_back(1.0f, height(random));
        int32_t const at = static_cast<int32_t>(random() % blockSize);
        module->setInt(kInterpolation, at, (random() % 2) ? 0 : 10);
        module->setBytes(kShape, at, shapeImage(nodes));
        module->setFloat(random() % 2 ? kRangeLow : kRangeHigh, static_cast<int32_t>(random() % blockSize), volts(random));
        std::vector<float> input(blockSize);
        for (auto& sample : input)
            sample = level(random);
        for (float out : shapeSignal(input))
            ASSERT_LE(std::fabs(out), 0.5f) << "round " << round;
    }
}

TEST_F(Waveshaper, RunsWithoutAHost) {
    zr::host::AudioModuleOptions options;
    options.hostile.refuseHost = true;
    auto lonely = zr::test::makeModule(L"ZR_Waveshaper2", options);
    lonely->connectAudio(kInput);
    lonely->connectAudio(kOut);
    lonely->open();
    lonely->graphStart();
    lonely->sendDefaults();
    lonely->startStream(kInput, 0);
    lonely->buffer(kInput)[0] = 0.25f;
    lonely->process(8);
    EXPECT_NEAR(lonely->buffer(kOut)[0], 0.25f, 1e-6f);
    EXPECT_TRUE(lonely->host().records().empty());
}

} // namespace

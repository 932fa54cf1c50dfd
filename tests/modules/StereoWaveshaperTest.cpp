// ZR_Waveshaper2ST through the bundle: one curve, two channels with their own streaming.

#include <bit>
#include <cmath>
#include <limits>
#include <random>

#include "tests/modules/BundleFixture.h"

namespace {

using zr::test::shapeImage;

constexpr int32_t kShape = 0, kInterpolation = 1, kRangeLow = 2, kRangeHigh = 3, kInputLeft = 4, kInputRight = 5,
                  kOutLeft = 6, kOutRight = 7;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

std::unique_ptr<zr::host::AudioModule> startedModule(std::wstring const& id, std::vector<int32_t> const& audioPins) {
    auto module = zr::test::makeModule(id);
    for (int32_t pin : audioPins)
        module->connectAudio(pin);
    module->open();
    module->graphStart();
    module->sendDefaults();
    return module;
}

class StereoWaveshaper : public testing::Test {
protected:
    void SetUp() override {
        stereo = startedModule(L"ZR_Waveshaper2ST", {kInputLeft, kInputRight, kOutLeft, kOutRight});
    }
    std::unique_ptr<zr::host::AudioModule> stereo;
};

TEST_F(StereoWaveshaper, EachOutputFollowsItsOwnInputAndTheModuleStaysAwake) {
    stereo->startStream(kInputLeft, 0);
    stereo->stopStream(kInputRight, 0);
    stereo->process(64);
    EXPECT_EQ(stereo->host().streamingOf(kOutLeft), true);
    EXPECT_EQ(stereo->host().streamingOf(kOutRight), false);
    for (int block = 0; block < 20; ++block) {
        // The static channel is still computed while the other one keeps the module running.
        stereo->buffer(kInputRight)[0] = 0.01f * static_cast<float>(block);
        stereo->process(64);
        ASSERT_NEAR(stereo->buffer(kOutRight)[0], 0.01f * static_cast<float>(block), 1e-6f);
    }
    EXPECT_EQ(stereo->host().sleepCount(), 0);

    stereo->stopStream(kInputLeft, 0);
    stereo->process(64);
    stereo->process(64);
    EXPECT_EQ(stereo->host().sleepCount(), 1) << "nothing streams: it sleeps after the countdown";
}

TEST_F(StereoWaveshaper, ShapeChangesWakeStaticOutputsButLeaveStreamingOnesAlone) {
    stereo->stopStream(kInputLeft, 0);
    stereo->stopStream(kInputRight, 0);
    stereo->buffer(kInputLeft)[0] = 0.2f;
    stereo->buffer(kInputRight)[0] = -0.3f;
    stereo->process(64);
    stereo->process(64);
    ASSERT_EQ(stereo->host().sleepCount(), 1);

    stereo->host().clearRecords();
    stereo->setBytes(kShape, 0, shapeImage({{0.0f, 0.4f}, {1.0f, 0.4f}}));
    std::fill_n(stereo->buffer(kInputLeft), 64, 0.2f);
    std::fill_n(stereo->buffer(kInputRight), 64, -0.3f);
    stereo->process(64);
    EXPECT_EQ(stereo->buffer(kOutLeft)[63], 0.2f);
    EXPECT_EQ(stereo->buffer(kOutRight)[63], 0.2f);
    auto const changes = stereo->host().streamingChanges(kOutLeft);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_FALSE(changes[0].isStreaming());
    EXPECT_EQ(stereo->host().streamingChanges(kOutRight).size(), 1u);
    stereo->process(64);
    EXPECT_EQ(stereo->host().sleepCount(), 1) << "one countdown, then asleep again";

    // With the left channel streaming, a new curve touches no streaming state.
    stereo->startStream(kInputLeft, 0);
    stereo->process(64);
    stereo->host().clearRecords();
    stereo->setBytes(kShape, 0, shapeImage({{0.0f, -0.6f}, {1.0f, -0.6f}}));
    stereo->process(64);
    EXPECT_TRUE(stereo->host().records().empty());
    EXPECT_EQ(stereo->buffer(kOutRight)[10], -0.3f) << "the static channel takes the curve anyway";
}

TEST_F(StereoWaveshaper, BothChannelsShapeExactlyAsTheMonoWaveshaper) {
    auto mono = startedModule(L"ZR_Waveshaper2", {4, 5});
    auto const curve = shapeImage({{0.0f, -1.0f}, {0.3f, 0.8f}, {0.6f, -0.2f}, {1.0f, 1.0f}});
    for (auto* module : {stereo.get(), mono.get()}) {
        module->setBytes(kShape, 0, curve);
        module->setInt(kInterpolation, 0, 30);
        module->setFloat(kRangeLow, 0, -3.0f);
        module->setFloat(kRangeHigh, 0, 4.0f);
    }
    std::mt19937 random(11);
    std::uniform_real_distribution<float> level(-0.7f, 0.7f);
    std::vector<float> signal(500);
    for (float& sample : signal)
        sample = level(random);
    signal[7] = kNaN;
    std::copy(signal.begin(), signal.end(), stereo->buffer(kInputLeft));
    std::copy(signal.begin(), signal.end(), stereo->buffer(kInputRight));
    std::copy(signal.begin(), signal.end(), mono->buffer(4));
    stereo->startStream(kInputLeft, 0);
    stereo->startStream(kInputRight, 0);
    mono->startStream(4, 0);
    stereo->process(500);
    mono->process(500);
    for (int32_t i = 0; i < 500; ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(std::bit_cast<uint32_t>(stereo->buffer(kOutLeft)[i]), std::bit_cast<uint32_t>(mono->buffer(5)[i]));
        ASSERT_EQ(std::bit_cast<uint32_t>(stereo->buffer(kOutRight)[i]), std::bit_cast<uint32_t>(mono->buffer(5)[i]));
        ASSERT_TRUE(std::isfinite(stereo->buffer(kOutLeft)[i]));
    }
}

TEST_F(StereoWaveshaper, HostileRangesKeepBothChannelsInTheTable) {
    stereo->startStream(kInputLeft, 0);
    stereo->startStream(kInputRight, 0);
    struct Case {
        float low, high;
    };
    for (Case c : {Case{kNaN, 5.0f}, Case{-5.0f, kNaN}, Case{0.0f, 1e-38f}, Case{-1e38f, 1e38f}}) {
        SCOPED_TRACE(testing::Message() << c.low << ".." << c.high);
        stereo->setFloat(kRangeLow, 0, c.low);
        stereo->setFloat(kRangeHigh, 0, c.high);
        stereo->buffer(kInputLeft)[0] = 0.0f;
        stereo->buffer(kInputRight)[0] = kNaN;
        stereo->process(1);
        EXPECT_LE(std::fabs(stereo->buffer(kOutLeft)[0]), 0.5f);
        EXPECT_LE(std::fabs(stereo->buffer(kOutRight)[0]), 0.5f);
    }
}

} // namespace

// ZR_Waveshaper2ST through the bundle: one curve, two channels with their own streaming.

#include <bit>
#include <cmath>
#include <limits>
#include <random>

#include "tests/modules/BundleFixture.h"

namespace {

using zr::test::shapeImage;

constexpr int32_t kShape = 0, kInterpolation = 1, kRangeLow = 2, kRangeHigh = 3, kLeft = 4, kRight = 5, kOutLeft = 6,
                  kOutRight = 7;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

std::unique_ptr<zr::host::AudioModule> started(std::wstring const& id, std::vector<int32_t> const& audioPins) {
    auto module = zr::test::makeModule(id);
    for (int32_t pin : audioPins)
        module->connectAudio(pin);
    module->open();
    module->graphStart();
    module->sendDefaults();
    return module;
}

TEST(StereoWaveshaper, EachOutputFollowsItsOwnInputAndShapeChangesWakeOnlyStaticOnes) {
    auto stereo = started(L"ZR_Waveshaper2ST", {kLeft, kRight, kOutLeft, kOutRight});
    auto& host = stereo->host();
    stereo->startStream(kLeft, 0);
    stereo->stopStream(kRight, 0);
    for (int block = 0; block < 20; ++block) { // the static channel is computed while the other streams
        stereo->buffer(kRight)[0] = 0.01f * static_cast<float>(block);
        stereo->process(64);
        ASSERT_NEAR(stereo->buffer(kOutRight)[0], 0.01f * static_cast<float>(block), 1e-6f);
    }
    EXPECT_EQ(host.streamingOf(kOutLeft), true);
    EXPECT_EQ(host.streamingOf(kOutRight), false);
    EXPECT_EQ(host.sleepCount(), 0);

    // With the left channel streaming, a new curve touches no streaming state.
    host.clearRecords();
    stereo->setBytes(kShape, 0, shapeImage({{0.0f, -0.6f}, {1.0f, -0.6f}}));
    stereo->process(64);
    EXPECT_TRUE(host.records().empty());
    EXPECT_EQ(stereo->buffer(kOutRight)[10], -0.3f) << "the static channel takes the curve anyway";

    stereo->stopStream(kLeft, 0);
    stereo->process(64);
    stereo->process(64);
    EXPECT_EQ(host.sleepCount(), 1) << "nothing streams: it sleeps after the countdown";
    // A new curve wakes both static outputs for one countdown.
    host.clearRecords();
    stereo->setBytes(kShape, 0, shapeImage({{0.0f, 0.4f}, {1.0f, 0.4f}}));
    stereo->process(64);
    EXPECT_EQ(stereo->buffer(kOutLeft)[63], 0.2f);
    EXPECT_EQ(stereo->buffer(kOutRight)[63], 0.2f);
    for (int32_t pin : {kOutLeft, kOutRight}) {
        ASSERT_EQ(host.streamingChanges(pin).size(), 1u);
        EXPECT_FALSE(host.streamingChanges(pin)[0].isStreaming());
    }
    stereo->process(64);
    EXPECT_EQ(host.sleepCount(), 1) << "one countdown, then asleep again";
}

TEST(StereoWaveshaper, BothChannelsShapeBitForBitAsTheMonoWaveshaperEvenForHostileRanges) {
    auto stereo = started(L"ZR_Waveshaper2ST", {kLeft, kRight, kOutLeft, kOutRight});
    auto mono = started(L"ZR_Waveshaper2", {4, 5});
    std::mt19937 random(11);
    std::uniform_real_distribution<float> level(-0.7f, 0.7f);
    std::vector<float> signal(500);
    for (float& sample : signal)
        sample = level(random);
    signal[7] = kNaN;
    struct Case {
        float low, high;
    };
    for (Case c : {Case{-3.0f, 4.0f}, Case{kNaN, 5.0f}, Case{-5.0f, kNaN}, Case{0.0f, 1e-38f}, Case{-1e38f, 1e38f}}) {
        SCOPED_TRACE(testing::Message() << c.low << ".." << c.high);
        for (auto* module : {stereo.get(), mono.get()}) {
            module->setBytes(kShape, 0, shapeImage({{0.0f, -1.0f}, {0.3f, 0.8f}, {0.6f, -0.2f}, {1.0f, 1.0f}}));
            module->setInt(kInterpolation, 0, 30);
            module->setFloat(kRangeLow, 0, c.low);
            module->setFloat(kRangeHigh, 0, c.high);
            module->startStream(4, 0);
            std::copy(signal.begin(), signal.end(), module->buffer(4));
        }
        stereo->startStream(kRight, 0);
        std::copy(signal.begin(), signal.end(), stereo->buffer(kRight));
        stereo->process(500);
        mono->process(500);
        for (int32_t i = 0; i < 500; ++i) {
            float const expected = mono->buffer(5)[i];
            ASSERT_TRUE(std::isfinite(expected) && std::fabs(expected) <= 0.5f) << i;
            ASSERT_EQ(std::bit_cast<uint32_t>(stereo->buffer(kOutLeft)[i]), std::bit_cast<uint32_t>(expected)) << i;
            ASSERT_EQ(std::bit_cast<uint32_t>(stereo->buffer(kOutRight)[i]), std::bit_cast<uint32_t>(expected)) << i;
        }
    }
}

} // namespace

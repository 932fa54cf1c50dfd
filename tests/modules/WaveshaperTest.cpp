// ZR_Waveshaper2 and ZR_Waveshaper2ST through the bundle.

#include <bit>
#include <functional>

#include "tests/modules/ShapeModuleSupport.h"

namespace zr::test {
namespace {

constexpr int32_t kShape = 0, kInterpolation = 1, kRangeLow = 2, kRangeHigh = 3, kInput = 4, kOut = 5;
constexpr int32_t kLeft = 4, kRight = 5, kOutLeft = 6, kOutRight = 7; // of the stereo waveshaper
NodePairs const kLine = {{0.0f, -1.0f}, {1.0f, 1.0f}};

class Waveshaper : public testing::Test {
protected:
    void SetUp() override { module = running(L"ZR_Waveshaper2"); }

    // Runs one block with `input` as the signal; returns the output samples.
    std::vector<float> shapeSignal(std::vector<float> const& input) {
        std::copy(input.begin(), input.end(), module->buffer(kInput));
        module->process(static_cast<int32_t>(input.size()));
        return {module->buffer(kOut), module->buffer(kOut) + input.size()};
    }
    float shapeOne(float sample) { return shapeSignal({sample})[0]; }

    std::unique_ptr<host::AudioModule> module;
};

TEST_F(Waveshaper, ShapeAndRangeMapTheInput) {
    NodePairs const triangle = {{0.0f, 0.0f}, {0.5f, 1.0f}, {1.0f, 0.0f}};
    struct Case {
        char const* name;
        NodePairs nodes;
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

// A static input sleeps; a new curve or range wakes it for one countdown and shows at once.
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
        module = running(L"ZR_Waveshaper2");
        module->host().setCountdown(64);
        module->stopStream(kInput, 0);
        std::fill_n(module->buffer(kInput), 64, 0.25f);
        module->process(64);
        module->process(64);
        ASSERT_EQ(module->host().sleepCount(), 1);
        c.change();
        std::fill_n(module->buffer(kInput), 64, 0.25f);
        module->process(64);
        EXPECT_NEAR(module->buffer(kOut)[63], c.output, 1e-6f);
        module->process(64);
        EXPECT_EQ(module->host().sleepCount(), 2);
    }
}

TEST_F(Waveshaper, RangeAloneSetsStreamingOnlyBeforeTheInputReports) {
    for (bool reported : {false, true}) {
        SCOPED_TRACE(reported ? "input reported streaming" : "input never reported");
        module = running(L"ZR_Waveshaper2");
        if (reported)
            module->startStream(kInput, 0);
        module->process(16);
        module->host().clearRecords();
        module->setFloat(kRangeLow, 0, -4.0f);
        module->process(16);
        EXPECT_EQ(module->host().streamingChanges(kOut).size(), reported ? 0u : 1u);
    }
}

TEST(StereoWaveshaper, EachOutputFollowsItsOwnInputAndShapeChangesWakeOnlyStaticOnes) {
    auto stereo = running(L"ZR_Waveshaper2ST");
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
    auto stereo = running(L"ZR_Waveshaper2ST");
    auto mono = running(L"ZR_Waveshaper2");
    std::vector<float> signal(500);
    for (std::size_t i = 0; i < signal.size(); ++i)
        signal[i] = 0.7f * std::sin(static_cast<float>(i));
    signal[7] = kNaN;
    signal[8] = kInf;
    signal[9] = -kInf;
    // A NaN range, or one so narrow that its scale is infinite, gives a NaN table position.
    std::pair<float, float> const ranges[] = {{-3.0f, 4.0f}, {kNaN, 5.0f}, {-5.0f, kNaN}, {0.0f, 1e-38f}, {-1e38f, 1e38f}, {-kInf, kInf}};
    for (auto const& [low, high] : ranges) {
        SCOPED_TRACE(testing::Message() << low << ".." << high);
        for (auto* module : {stereo.get(), mono.get()}) {
            module->setBytes(kShape, 0, shapeImage({{0.0f, -1.0f}, {0.3f, 0.8f}, {0.6f, -0.2f}, {1.0f, 1.0f}}));
            module->setInt(kInterpolation, 0, 30);
            module->setFloat(kRangeLow, 0, low);
            module->setFloat(kRangeHigh, 0, high);
            module->startStream(kInput, 0);
            std::copy(signal.begin(), signal.end(), module->buffer(kInput));
        }
        stereo->startStream(kRight, 0);
        std::copy(signal.begin(), signal.end(), stereo->buffer(kRight));
        stereo->process(500);
        mono->process(500);
        for (int32_t i = 0; i < 500; ++i) {
            float const expected = mono->buffer(kOut)[i];
            ASSERT_TRUE(std::isfinite(expected) && std::fabs(expected) <= 0.5f) << i;
            ASSERT_EQ(std::bit_cast<uint32_t>(stereo->buffer(kOutLeft)[i]), std::bit_cast<uint32_t>(expected)) << i;
            ASSERT_EQ(std::bit_cast<uint32_t>(stereo->buffer(kOutRight)[i]), std::bit_cast<uint32_t>(expected)) << i;
        }
    }
}

} // namespace
} // namespace zr::test

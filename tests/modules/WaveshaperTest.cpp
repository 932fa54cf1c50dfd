// ZR_Waveshaper2 and ZR_Waveshaper2ST through the bundle, as a host drives them.

#include <bit>
#include <cmath>
#include <functional>
#include <limits>
#include <random>

#include "tests/modules/BundleFixture.h"

namespace {

using zr::test::shapeImage;
using Nodes = std::vector<std::pair<float, float>>;

constexpr int32_t kShape = 0, kInterpolation = 1, kRangeLow = 2, kRangeHigh = 3, kInput = 4, kOut = 5;
constexpr int32_t kLeft = 4, kRight = 5, kOutLeft = 6, kOutRight = 7; // of the stereo waveshaper
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
Nodes const kLine = {{0.0f, -1.0f}, {1.0f, 1.0f}};

// Opened and started with every audio pin connected and the described defaults sent.
std::unique_ptr<zr::host::AudioModule> started(std::wstring const& id = L"ZR_Waveshaper2",
                                               zr::host::AudioModuleOptions options = {}) {
    auto module = zr::test::makeModule(id, options);
    for (int32_t pin = kInput; pin <= (id == L"ZR_Waveshaper2" ? kOut : kOutRight); ++pin)
        module->connectAudio(pin);
    module->open();
    module->graphStart();
    module->sendDefaults();
    return module;
}

class Waveshaper : public testing::Test {
protected:
    void SetUp() override { module = started(); }

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

// The blob reader trusts node values; rendering must still stay inside the table.
TEST_F(Waveshaper, WildNodesNeverReadOutsideTheTable) {
    module->startStream(kInput, 0);
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
    module = started(L"ZR_Waveshaper2", options);
    module->startStream(kInput, 0);
    EXPECT_NEAR(shapeOne(0.25f), 0.25f, 1e-6f) << "it runs without a host";
    EXPECT_TRUE(module->host().records().empty());
}

TEST(StereoWaveshaper, EachOutputFollowsItsOwnInputAndShapeChangesWakeOnlyStaticOnes) {
    auto stereo = started(L"ZR_Waveshaper2ST");
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
    auto stereo = started(L"ZR_Waveshaper2ST");
    auto mono = started();
    std::mt19937 random(11);
    std::uniform_real_distribution<float> level(-0.7f, 0.7f);
    std::vector<float> signal(500);
    for (float& sample : signal)
        sample = level(random);
    signal[7] = kNaN;
    signal[8] = kInf;
    signal[9] = -kInf;
    struct Case {
        float low, high;
    };
    for (Case c : {Case{-3.0f, 4.0f}, Case{kNaN, 5.0f}, Case{-5.0f, kNaN}, Case{0.0f, 1e-38f}, Case{-1e38f, 1e38f},
                   Case{-kInf, kInf}}) {
        SCOPED_TRACE(testing::Message() << c.low << ".." << c.high);
        for (auto* module : {stereo.get(), mono.get()}) {
            module->setBytes(kShape, 0, shapeImage({{0.0f, -1.0f}, {0.3f, 0.8f}, {0.6f, -0.2f}, {1.0f, 1.0f}}));
            module->setInt(kInterpolation, 0, 30);
            module->setFloat(kRangeLow, 0, c.low);
            module->setFloat(kRangeHigh, 0, c.high);
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

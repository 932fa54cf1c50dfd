// ZR_ShapeOsc2 through the bundle, as a host drives it.

#include <cmath>
#include <filesystem>
#include <limits>
#include <random>

#include "tests/modules/BundleFixture.h"
#include "tests/modules/WavForTest.h"

namespace {

using zr::test::shapeImage;

constexpr int32_t kGate = 0, kShape = 1, kInterpolation = 2, kRemoveDC = 3, kOversampling = 4, kFrequencyMode = 5,
                  kPitch = 6, kResetPhase = 7, kPhaseMod = 8, kPhaseModDepth = 9, kFeedback = 10, kOut = 11;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kRampStep = 1.0f / 1023.0f; // the default ramp rises from -0.5 to 0.5 over 1023 entries

std::unique_ptr<zr::host::AudioModule> startedOscillator(zr::host::AudioModuleOptions options = {}) {
    auto module = zr::test::makeModule(L"ZR_ShapeOsc2", options);
    for (int32_t pin : {kPitch, kPhaseMod, kPhaseModDepth, kFeedback, kOut})
        module->connectAudio(pin);
    module->open();
    module->graphStart();
    module->sendDefaults(); // the gate is on by default
    return module;
}

class ShapeOscillator : public testing::Test {
protected:
    void SetUp() override { osc = startedOscillator(); }

    void setPitch(float pitch) { std::fill_n(osc->buffer(kPitch), 4096, pitch); }

    // `count` samples in blocks of `blockSize`.
    std::vector<float> render(int64_t count, int32_t blockSize = 512) {
        std::vector<float> out;
        for (int64_t done = 0; done < count; done += blockSize) {
            auto const n = static_cast<int32_t>(std::min<int64_t>(blockSize, count - done));
            osc->process(n);
            out.insert(out.end(), osc->buffer(kOut), osc->buffer(kOut) + n);
        }
        return out;
    }

    std::unique_ptr<zr::host::AudioModule> osc;
};

// Periods of a wave that rises through 0 once per cycle (the default ramp, a sine).
int countPeriods(std::vector<float> const& wave) {
    int crossings = 0;
    for (size_t i = 1; i < wave.size(); ++i)
        crossings += wave[i - 1] < 0.0f && wave[i] >= 0.0f ? 1 : 0;
    return crossings;
}

TEST_F(ShapeOscillator, PlaysTheDefaultRampAt440HzForHalfAVolt) {
    setPitch(0.5f);
    std::vector<float> const out = render(48000);
    EXPECT_EQ(out[0], -0.5f) << "starts at phase 0";
    // 440 x 1024 / 48000 entries per sample
    EXPECT_NEAR(out[1] - out[0], 440.0f * 1024.0f / 48000.0f * kRampStep, 1e-5f);
    EXPECT_NEAR(countPeriods(out), 440, 1);
    for (float sample : out)
        ASSERT_LE(std::fabs(sample), 0.5f);

    // A rounded cycle, close to a sine, measured from outside by sox, which estimates the
    // frequency of sine-like signals.
    osc->setBytes(kShape, 0, shapeImage({{0.0f, 0.0f}, {0.25f, 1.0f}, {0.5f, 0.0f}, {0.75f, -1.0f}, {1.0f, 0.0f}}));
    osc->setInt(kInterpolation, 0, 30);
    osc->setBool(kGate, 0, true);
    std::vector<float> const sine = render(48000);
    EXPECT_NEAR(countPeriods(sine), 440, 1);
    if (!zr::test::soxIsInstalled())
        GTEST_SKIP() << "sox is not installed: the outside frequency estimate is skipped";
    auto const wav = std::filesystem::temp_directory_path() / "zr-osc-440.wav";
    zr::test::writeTestWav(wav, sine, 48000);
    std::optional<double> const rough = zr::test::soxRoughFrequency(wav);
    std::filesystem::remove(wav);
    ASSERT_TRUE(rough.has_value()) << "sox printed no frequency";
    EXPECT_NEAR(*rough, 440.0, 440.0 * 0.02);
}

TEST_F(ShapeOscillator, PitchStaysWithinItsLimits) {
    struct Case {
        char const* name;
        int32_t frequencyMode;
        float pitch;
        double hertz;
    };
    Case const cases[] = {
        {"volts per octave, below 0", 1, -0.3f, 13.75},
        {"volts per octave, NaN", 1, kNaN, 13.75},
        {"volts per octave, 0", 1, 0.0f, 13.75},
        {"volts per octave, 1.0", 1, 1.0f, 14080.0},
        {"volts per octave, above 1.0", 1, 3.0f, 14080.0},
        {"volts per octave, +inf", 1, kInf, 14080.0},
        {"linear, 100 V", 0, 10.0f, 100.0},
        {"linear, below 0", 0, -2.0f, 0.0},
        {"linear, NaN", 0, kNaN, 0.0},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        osc->setInt(kFrequencyMode, 0, c.frequencyMode);
        osc->setBool(kGate, 0, true);
        setPitch(c.pitch);
        std::vector<float> const out = render(48000);
        double const measured = countPeriods(out);
        // At the top the ramp's periods are a few samples long: compare the step.
        if (c.hertz > 1000.0) {
            EXPECT_NEAR(out[1] - out[0], c.hertz * 1024.0 / 48000.0 * kRampStep, 2e-4);
        } else {
            EXPECT_NEAR(measured, c.hertz, 1.0);
        }
    }
}

TEST_F(ShapeOscillator, PhaseStaysInTheCycleForIncrementsBeyondACycle) {
    // Linear mode at its limit: a quarter of the rate times 10 Hz, 2.5 cycles per sample, so
    // the phase alternates between 0 and half a cycle, however long it runs.
    osc->setInt(kFrequencyMode, 0, 0);
    osc->setBool(kGate, 0, true);
    setPitch(1e9f);
    std::vector<float> const out = render(200000, 4096);
    for (size_t i = 0; i < out.size(); i += 997) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(out[i], i % 2 == 0 ? -0.5f : -0.5f + 512.0f * kRampStep, 1e-5f);
    }

    // A slow host rate: 14080 Hz at 8 kHz is also more than a cycle per sample.
    zr::host::AudioModuleOptions slow;
    slow.sampleRate = 8000.0f;
    auto slowOsc = startedOscillator(slow);
    std::fill_n(slowOsc->buffer(kPitch), 4096, 1.0f);
    for (int block = 0; block < 250; ++block) {
        slowOsc->process(4096);
        for (int32_t i = 0; i < 4096; ++i)
            ASSERT_LE(std::fabs(slowOsc->buffer(kOut)[i]), 0.5f) << "block " << block;
    }
}

TEST_F(ShapeOscillator, NewTablesFadeInOverASixtiethOfASecondOneAtATime) {
    // Linear mode at pitch 0 holds phase 0, so the output is the two tables' entry 0 mixed.
    osc->setInt(kFrequencyMode, 0, 0);
    osc->setBool(kGate, 0, true);
    setPitch(0.0f);
    render(64);
    osc->setBytes(kShape, 0, shapeImage({{0.0f, 1.0f}, {1.0f, 1.0f}}));  // flat at +5 V
    osc->setBytes(kShape, 200, shapeImage({{0.0f, -1.0f}, {1.0f, -1.0f}})); // during the fade
    std::vector<float> const out = render(2000, 2000);
    EXPECT_EQ(out[0], -0.5f);
    EXPECT_NEAR(out[400], 0.0f, 2e-3f);
    // 48000 / 60 = 800 samples up, then the shape that came during the fade, 800 samples down.
    int64_t const firstTop = std::find(out.begin(), out.end(), 0.5f) - out.begin();
    EXPECT_NEAR(firstTop, 800, 1);
    EXPECT_GT(out[1000], -0.5f) << "the second fade has begun only after the first";
    EXPECT_LT(out[1000], 0.5f);
    int64_t const bottom = std::find(out.begin() + firstTop, out.end(), -0.5f) - out.begin();
    EXPECT_NEAR(bottom - firstTop, 800, 1);
}

TEST_F(ShapeOscillator, ResetPhaseOnlyResetsThePhase) {
    setPitch(0.5f);
    render(1000);
    osc->setBool(kResetPhase, 37, true);
    osc->process(64);
    EXPECT_EQ(osc->buffer(kOut)[37], -0.5f);
    EXPECT_GT(osc->buffer(kOut)[36], -0.5f);
    float const before = osc->buffer(kOut)[63];
    osc->setBool(kResetPhase, 0, false);
    osc->process(1);
    EXPECT_NEAR(osc->buffer(kOut)[0] - before, 440.0f * 1024.0f / 48000.0f * kRampStep, 1e-5f) << "off does nothing";
}

TEST_F(ShapeOscillator, GateControlsStreamingAndRestartsFromPhaseZero) {
    setPitch(0.5f);
    render(256);
    EXPECT_EQ(osc->host().streamingOf(kOut), true);

    osc->setBool(kGate, 10, false);
    osc->process(64);
    EXPECT_EQ(osc->host().streamingOf(kOut), false);
    EXPECT_EQ(osc->host().streamingChanges(kOut).back().timestamp, 10);
    for (int32_t i = 10; i < 64; ++i)
        ASSERT_EQ(osc->buffer(kOut)[i], 0.0f);
    render(256);
    EXPECT_EQ(osc->host().sleepCount(), 1) << "silent and static: it sleeps after the countdown";

    osc->setBool(kGate, 5, true);
    osc->process(64);
    EXPECT_EQ(osc->host().streamingOf(kOut), true);
    EXPECT_EQ(osc->buffer(kOut)[5], -0.5f);

    // A gate on while running restarts at phase 0 as well.
    render(100);
    osc->setBool(kGate, 0, true);
    osc->process(4);
    EXPECT_EQ(osc->buffer(kOut)[0], -0.5f);
}

TEST_F(ShapeOscillator, RestartPlaysTheLatestShapeWhicheverTableHoldsIt) {
    setPitch(0.5f);
    render(64);
    // The crossfade renders the new shape into the second table.
    osc->setBytes(kShape, 0, shapeImage({{0.0f, 0.6f}, {1.0f, 0.6f}}));
    render(2000);
    osc->setBool(kGate, 0, false);
    render(64);
    osc->setBool(kGate, 0, true);
    for (float sample : render(256))
        ASSERT_NEAR(sample, 0.3f, 1e-6f);
}

TEST_F(ShapeOscillator, RemoveDCOfAConstantShapeIsSilence) {
    setPitch(0.5f);
    osc->setBytes(kShape, 0, shapeImage({{0.0f, 1.0f}, {1.0f, 1.0f}}));
    osc->setBool(kRemoveDC, 0, true);
    osc->setBool(kGate, 0, true);
    for (float sample : render(512))
        ASSERT_EQ(sample, 0.0f);
}

TEST_F(ShapeOscillator, OversamplingOutsideItsRangeIsIgnored) {
    setPitch(0.9f);
    osc->setInt(kOversampling, 0, 3);
    osc->setBool(kGate, 0, true);
    std::vector<float> const eight = render(1024);
    for (int32_t exponent : {-1, 31, 40, 9}) {
        SCOPED_TRACE(exponent);
        osc->setInt(kOversampling, 0, exponent);
        osc->setBool(kGate, 0, true);
        EXPECT_EQ(render(1024), eight);
    }
    osc->setInt(kOversampling, 0, 0);
    osc->setBool(kGate, 0, true);
    EXPECT_NE(render(1024), eight) << "sub-steps change the result at a high pitch";
}

TEST_F(ShapeOscillator, WithoutDepthOrFeedbackPhaseModDoesNothing) {
    setPitch(0.55f);
    osc->setBool(kGate, 0, true);
    std::vector<float> const clean = render(2048);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> anything(-5.0f, 5.0f);
    for (int32_t i = 0; i < 2048; ++i)
        osc->buffer(kPhaseMod)[i] = anything(random);
    osc->setBool(kGate, 0, true);
    EXPECT_EQ(render(2048, 2048), clean);

    // Half a cycle of modulation turns the ramp over by half its height.
    std::fill_n(osc->buffer(kPhaseMod), 4096, 0.5f);
    std::fill_n(osc->buffer(kPhaseModDepth), 4096, 1.0f);
    osc->setBool(kGate, 0, true);
    EXPECT_NEAR(render(1)[0], -0.5f + 512.0f * kRampStep, 1e-6f);
}

TEST_F(ShapeOscillator, HostileNumbersNeverLeaveTheTable) {
    struct Case {
        char const* name;
        int32_t pin;
        float value;
    };
    Case const cases[] = {
        {"NaN pitch", kPitch, kNaN},           {"infinite pitch", kPitch, kInf},
        {"NaN phase mod", kPhaseMod, kNaN},    {"infinite phase mod", kPhaseMod, -kInf},
        {"NaN depth", kPhaseModDepth, kNaN},   {"infinite depth", kPhaseModDepth, kInf},
        {"NaN feedback", kFeedback, kNaN},     {"infinite feedback", kFeedback, kInf},
    };
    for (int32_t frequencyMode : {0, 1}) {
        for (auto const& c : cases) {
            SCOPED_TRACE(testing::Message() << c.name << ", frequency mode " << frequencyMode);
            osc->setInt(kFrequencyMode, 0, frequencyMode);
            osc->setBool(kGate, 0, true);
            std::fill_n(osc->buffer(kPitch), 4096, 0.6f);
            std::fill_n(osc->buffer(kPhaseModDepth), 4096, 0.5f);
            std::fill_n(osc->buffer(kFeedback), 4096, 0.5f);
            std::fill_n(osc->buffer(c.pin), 4096, c.value);
            for (float sample : render(1024, 256))
                ASSERT_TRUE(std::isfinite(sample) && std::fabs(sample) <= 1.0f) << sample;
            std::fill_n(osc->buffer(c.pin), 4096, 0.0f);
        }
    }
    // Nodes the blob reader takes as they come: heights and positions that are not numbers.
    for (int32_t mode : {0, 10, 20, 30}) {
        SCOPED_TRACE(mode);
        osc->setInt(kInterpolation, 0, mode);
        osc->setBytes(kShape, 0, shapeImage({{0.0f, kNaN}, {kNaN, 1.0f}, {2.0f, kInf}, {1.0f, 0.0f}}));
        osc->setBool(kGate, 0, true);
        for (float sample : render(2048))
            ASSERT_TRUE(std::isfinite(sample) && std::fabs(sample) <= 1.0f) << sample;
    }
}

TEST_F(ShapeOscillator, UnusableSampleRatesGiveFiniteSilence) {
    for (float rate : {0.0f, kNaN, -48000.0f, kInf}) {
        SCOPED_TRACE(rate);
        zr::host::AudioModuleOptions options;
        options.sampleRate = rate;
        auto odd = startedOscillator(options);
        std::fill_n(odd->buffer(kPitch), 4096, 0.7f);
        odd->setBytes(kShape, 100, shapeImage({{0.0f, 1.0f}, {1.0f, -1.0f}}));
        odd->process(512);
        for (int32_t i = 0; i < 512; ++i)
            ASSERT_TRUE(std::isfinite(odd->buffer(kOut)[i]));
        EXPECT_EQ(odd->buffer(kOut)[511], 0.5f) << "no rate: the phase stays, a new table shows at once";
    }
    // A module that never received Oversampling or a frequency mode still outputs numbers.
    auto bare = zr::test::makeModule(L"ZR_ShapeOsc2");
    for (int32_t pin : {kPitch, kPhaseMod, kPhaseModDepth, kFeedback, kOut})
        bare->connectAudio(pin);
    bare->graphStart();
    bare->setBool(kGate, 0, true);
    bare->process(64);
    EXPECT_TRUE(std::isfinite(bare->buffer(kOut)[63]));
}

TEST_F(ShapeOscillator, OutputIsBoundedOverRandomShapesPinsAndBlocks) {
    std::mt19937 random(20261207);
    std::uniform_real_distribution<float> height(-1.0f, 1.0f), pitch(-0.2f, 1.2f), unit(-1.2f, 1.2f);
    int32_t const modes[] = {0, 10, 20, 30};
    for (int round = 0; round < 150; ++round) {
        int32_t const blockSize = 1 + static_cast<int32_t>(random() % 700);
        std::vector<std::pair<float, float>> nodes = {{0.0f, height(random)}};
        int const interior = static_cast<int>(random() % 8);
        for (int i = 1; i <= interior; ++i)
            nodes.emplace_back(static_cast<float>(i) / static_cast<float>(interior + 1), height(random));
        nodes.emplace_back(1.0f, height(random));
        auto at = [&] { return static_cast<int32_t>(random() % blockSize); };
        osc->setInt(kInterpolation, at(), modes[random() % 4]);
        osc->setBytes(kShape, at(), shapeImage(nodes));
        osc->setBool(kRemoveDC, at(), random() % 2 == 0);
        osc->setInt(kOversampling, at(), static_cast<int32_t>(random() % 4));
        osc->setInt(kFrequencyMode, at(), static_cast<int32_t>(random() % 2));
        if (random() % 4 == 0)
            osc->setBool(kGate, at(), random() % 3 != 0);
        for (int32_t pin : {kPitch, kPhaseMod, kPhaseModDepth, kFeedback})
            for (int32_t i = 0; i < blockSize; ++i)
                osc->buffer(pin)[i] = pin == kPitch ? pitch(random) : unit(random);
        osc->process(blockSize);
        for (int32_t i = 0; i < blockSize; ++i) {
            float const sample = osc->buffer(kOut)[i];
            // Tables hold -1..+1; removing the mean can double that at most.
            ASSERT_TRUE(std::isfinite(sample) && std::fabs(sample) <= 2.0f) << "round " << round << ": " << sample;
        }
    }
}

} // namespace

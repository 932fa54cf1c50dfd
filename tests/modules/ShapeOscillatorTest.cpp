// ZR_ShapeOsc2 through the bundle; its blocks that leave out silent offset terms keep the bits of
// the whole offset.

#include <bit>
#include <random>

#include "tests/modules/ShapeModuleSupport.h"

namespace zr::test {
namespace {

enum OscillatorPin : int32_t {
    kGate, kShape, kInterpolation, kRemoveDC, kOversampling, kFrequencyMode, kPitch, kResetPhase, kPhaseMod, kPhaseModDepth,
    kFeedback, kOut
};
constexpr float kRampStep = 1.0f / 1023.0f;                        // the default ramp: -0.5..0.5 over 1023 entries
constexpr float k440Step = 440.0f * 1024.0f / 48000.0f * kRampStep; // one sample at 440 Hz

bool inTable(float sample) { return std::isfinite(sample) && std::fabs(sample) <= 1.0f; }

class ShapeOscillator : public testing::Test {
protected:
    void SetUp() override { osc = running(L"ZR_ShapeOsc2"); } // the gate is on by default
    void fill(int32_t pin, float value) { std::fill_n(osc->buffer(pin), 4096, value); }
    // Restarts at phase 0 (gate on), then `count` samples in blocks of `blockSize`.
    std::vector<float> restart(int64_t count, int32_t blockSize = 512) {
        osc->setBool(kGate, 0, true);
        return render(count, blockSize);
    }
    std::vector<float> render(int64_t count, int32_t blockSize = 512) { return rendered(*osc, kOut, count, blockSize); }

    std::unique_ptr<host::AudioModule> osc;
};

// Periods of a wave that rises through 0 once per cycle (the default ramp, a sine).
int countPeriods(std::vector<float> const& wave) {
    int crossings = 0;
    for (size_t i = 1; i < wave.size(); ++i)
        crossings += wave[i - 1] < 0.0f && wave[i] >= 0.0f ? 1 : 0;
    return crossings;
}

// Volts per octave: 440 Hz at half a volt, 13.75..14080 Hz; linear mode: 10 Hz a volt, never below 0.
TEST_F(ShapeOscillator, PitchMapsToFrequencyWithinItsLimits) {
    struct Case {
        int32_t frequencyMode;
        float pitch;
        double hertz;
    } const cases[] = {
        {1, 0.5f, 440.0},   {1, -0.3f, 13.75}, {1, kNaN, 13.75},     {1, 0.0f, 13.75},   {1, 1.0f, 14080.0}, {1, 3.0f, 14080.0},
        {1, kInf, 14080.0}, {0, 10.0f, 100.0},   {0, -2.0f, 0.0},    {0, kNaN, 0.0},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.frequencyMode << ", pitch " << c.pitch);
        osc->setInt(kFrequencyMode, 0, c.frequencyMode);
        fill(kPitch, c.pitch);
        std::vector<float> const out = restart(48000);
        EXPECT_EQ(out[0], -0.5f) << "starts at phase 0";
        EXPECT_NEAR(out[1] - out[0], c.hertz * 1024.0 / 48000.0 * kRampStep, c.hertz > 1000.0 ? 2e-4 : 1e-5);
        if (c.hertz < 1000.0) { // periods of a few samples are not counted
            EXPECT_NEAR(countPeriods(out), c.hertz, 1.0);
        }
    }
}

TEST_F(ShapeOscillator, PhaseStaysInTheCycleForIncrementsBeyondACycle) {
    // Linear mode at its limit, 2.5 cycles per sample: the phase alternates between 0 and half.
    osc->setInt(kFrequencyMode, 0, 0);
    fill(kPitch, 1e9f);
    std::vector<float> const out = restart(200000, 4096);
    for (size_t i = 0; i < out.size(); i += 997)
        ASSERT_NEAR(out[i], i % 2 == 0 ? -0.5f : -0.5f + 512.0f * kRampStep, 1e-5f) << i;
}

TEST_F(ShapeOscillator, NewTablesFadeInOverASixtiethOfASecondOneAtATime) {
    osc->setInt(kFrequencyMode, 0, 0); // linear at pitch 0 holds phase 0: entry 0 of both tables
    fill(kPitch, 0.0f);
    restart(64);
    osc->setBytes(kShape, 0, shapeImage({{0.0f, 1.0f}, {1.0f, 1.0f}}));
    osc->setBytes(kShape, 200, shapeImage({{0.0f, -1.0f}, {1.0f, -1.0f}})); // during the fade
    std::vector<float> const out = render(2000, 2000);
    EXPECT_EQ(out[0], -0.5f);
    int64_t const top = std::find(out.begin(), out.end(), 0.5f) - out.begin();
    EXPECT_NEAR(top, 800, 1) << "48000 / 60 samples up";
    EXPECT_GT(out[1000], -0.5f) << "the second fade begins only after the first";
    EXPECT_NEAR(std::find(out.begin() + top, out.end(), -0.5f) - out.begin() - top, 800, 1);
}

TEST_F(ShapeOscillator, GateAndResetPhaseRestartAtPhaseZero) {
    fill(kPitch, 0.5f);
    render(1000);
    osc->setBool(kResetPhase, 37, true);
    osc->process(64);
    EXPECT_EQ(osc->buffer(kOut)[37], -0.5f);
    EXPECT_GT(osc->buffer(kOut)[36], -0.5f);
    float const before = osc->buffer(kOut)[63];
    osc->setBool(kResetPhase, 0, false);
    osc->process(1);
    EXPECT_NEAR(osc->buffer(kOut)[0] - before, k440Step, 1e-5f) << "reset off does nothing";

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
    render(100);
    EXPECT_EQ(restart(4)[0], -0.5f) << "a gate on while running restarts too";
}

TEST_F(ShapeOscillator, RestartPlaysTheLatestShapeWhicheverTableHoldsIt) {
    fill(kPitch, 0.5f);
    render(64);
    osc->setBytes(kShape, 0, shapeImage({{0.0f, 0.6f}, {1.0f, 0.6f}})); // fades in from the second table
    render(2000);
    osc->setBool(kGate, 0, false);
    render(64);
    for (float sample : restart(256))
        ASSERT_NEAR(sample, 0.3f, 1e-6f);
}

TEST_F(ShapeOscillator, SettingsActOnlyWhereTheyShould) {
    fill(kPitch, 0.9f);
    std::vector<float> const clean = restart(1024, 1024);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> anything(-5.0f, 5.0f);
    for (int32_t i = 0; i < 1024; ++i)
        osc->buffer(kPhaseMod)[i] = anything(random);
    EXPECT_EQ(restart(1024, 1024), clean) << "phase mod without depth or feedback does nothing";
    fill(kPhaseMod, 0.5f);
    fill(kPhaseModDepth, 1.0f);
    EXPECT_NEAR(restart(1)[0], -0.5f + 512.0f * kRampStep, 1e-6f) << "half a cycle of modulation";
    fill(kPhaseModDepth, 0.0f);

    osc->setInt(kOversampling, 0, 3);
    std::vector<float> const eight = restart(1024);
    for (int32_t exponent : {-1, 31, 40, 9}) {
        SCOPED_TRACE(testing::Message() << "oversampling " << exponent);
        osc->setInt(kOversampling, 0, exponent);
        EXPECT_EQ(restart(1024), eight) << "out of range: ignored";
    }
    osc->setInt(kOversampling, 0, 0);
    EXPECT_NE(restart(1024), eight) << "sub-steps change the result at a high pitch";

    osc->setBytes(kShape, 0, shapeImage({{0.0f, 1.0f}, {1.0f, 1.0f}}));
    osc->setBool(kRemoveDC, 0, true);
    for (float sample : restart(512))
        ASSERT_EQ(sample, 0.0f) << "removing DC from a constant shape leaves silence";
}

TEST_F(ShapeOscillator, HostileNumbersNeverLeaveTheTable) {
    // A NaN height reaches neither the output nor, through Feedback, the read position.
    osc->setBytes(kShape, 0, shapeImage({{0.0f, kNaN}, {1.0f, 0.0f}}));
    fill(kFeedback, 0.5f);
    for (float sample : restart(2048))
        ASSERT_TRUE(inTable(sample)) << sample;
    for (float rate : {0.0f, kNaN, -48000.0f, kInf}) {
        SCOPED_TRACE(testing::Message() << "sample rate " << rate);
        host::AudioModuleOptions options;
        options.sampleRate = rate;
        osc = running(L"ZR_ShapeOsc2", options);
        fill(kPitch, 0.7f);
        osc->setBytes(kShape, 100, shapeImage({{0.0f, 1.0f}, {1.0f, -1.0f}}));
        std::vector<float> const out = render(512);
        EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](float s) { return inTable(s); }));
        EXPECT_EQ(out[511], 0.5f) << "no rate: the phase stays, a new table shows at once";
    }
    // A module that was never opened nor received its settings still outputs numbers.
    osc = makeModule(L"ZR_ShapeOsc2");
    for (int32_t pin : {kPitch, kPhaseMod, kPhaseModDepth, kFeedback, kOut})
        osc->connectAudio(pin);
    osc->graphStart();
    EXPECT_TRUE(inTable(restart(64).back()));
}

// A Feedback of 1e-30 moves no read position, yet makes every block compute every term.
TEST(ShapeOscillatorFeedbackPath, LeavingOutSilentTermsKeepsTheBitsOfTheWholeOffset) {
    std::mt19937 rng(9);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    auto lean = running(L"ZR_ShapeOsc2");
    auto whole = running(L"ZR_ShapeOsc2");
    int32_t blockNumber = 0;
    for (bool modulated : {false, true, false, true}) {
        for (int32_t blockSize : {1, 16, 64, 333}) {
            SCOPED_TRACE(testing::Message() << "block " << blockNumber++ << " of " << blockSize << " samples");
            for (int32_t s = 0; s < blockSize; ++s) {
                float const pitch = s % 50 == 0 ? 0.5f + 0.4f * unit(rng) : lean->buffer(kPitch)[s - 1];
                float const phaseMod = modulated ? 1.2f * unit(rng) : 0.0f;
                float const depth = modulated ? unit(rng) : 0.0f;
                for (auto* osc : {lean.get(), whole.get()}) {
                    osc->buffer(kPitch)[s] = pitch;
                    osc->buffer(kPhaseMod)[s] = phaseMod;
                    osc->buffer(kPhaseModDepth)[s] = depth;
                }
                lean->buffer(kFeedback)[s] = s % 2 == 0 ? 0.0f : -0.0f;
                whole->buffer(kFeedback)[s] = 1e-30f;
            }
            lean->process(blockSize);
            whole->process(blockSize);
            for (int32_t s = 0; s < blockSize; ++s)
                ASSERT_EQ(std::bit_cast<uint32_t>(lean->buffer(kOut)[s]), std::bit_cast<uint32_t>(whole->buffer(kOut)[s]))
                    << "sample " << s;
        }
    }
}

} // namespace
} // namespace zr::test

// The older generation's table modules through the bundle: ZR_Waveshaper's table for each
// legacy mode (values worked out here from the node positions) and its lookup, and
// ZR_ShapePulser's timing, impulses and guards.

#include <cmath>
#include <limits>
#include <vector>

#include "tests/modules/BundleFixture.h"

namespace {

// Stored patches name the older modules under the sub-type of their successors; the other
// sub-type finds nothing.
TEST(LegacyIdentifiers, CreateUnderTheirOwnSubTypeOnly) {
    struct Case {
        wchar_t const* id;
        int32_t subType;
    };
    Case const cases[] = {
        {L"ZR_ShapeLoader2", 2}, {L"ZR_ShapeSaver2", 2}, {L"ZR_ShapeEditor4", 2}, {L"ZR_ShapeEditor4c", 2},
        {L"ZR_SSModGUI", 2},     {L"ZR_ShapeMorpher", 0}, {L"ZR_ShapeEnv", 0},    {L"ZR_ShapeEnv2", 0},
        {L"ZR_ShapeAmp", 0},     {L"ZR_Waveshaper", 0},   {L"ZR_ShapePulser", 0}, {L"ZR_ShapeOsc", 0},
        {L"ZR_SSMod", 0},        {L"ZR_SNMod", 0},        {L"ZR_ShapeShift", 0},
    };
    gmpi::IMpFactory2* factory = zr::test::bundle().factory();
    for (Case const& c : cases) {
        SCOPED_TRACE(testing::Message() << c.id);
        for (int32_t subType : {0, 2}) {
            void* instance = nullptr;
            int32_t const result = factory->createInstance2(c.id, subType, &instance);
            EXPECT_EQ(result == gmpi::MP_OK, subType == c.subType) << "sub-type " << subType;
            if (instance != nullptr)
                static_cast<gmpi::IMpUnknown*>(instance)->release();
        }
    }
}

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// The signal level that reads table entry `p` exactly (up to rounding of the level).
float levelOfEntry(int p) { return static_cast<float>(p) / 4095.0f - 0.5f; }

class LegacyWaveshaper : public testing::Test {
protected:
    static constexpr int32_t kShape = 0, kIn1 = 1, kIn2 = 2, kMode = 3, kOut1 = 4, kOut2 = 5;

    void SetUp() override {
        module = zr::test::makeModule(L"ZR_Waveshaper");
        module->connectAudio(kIn1);
        module->connectAudio(kIn2);
        module->connectAudio(kOut1);
        module->connectAudio(kOut2);
        ASSERT_EQ(module->open(), gmpi::MP_OK);
        module->graphStart();
        module->sendDefaults();
        module->startStream(kIn1, 0);
        module->startStream(kIn2, 0);
    }

    // Table entry p, read through channel 1 at the level that selects it (output x 2).
    float entry(int p) {
        module->buffer(kIn1)[0] = levelOfEntry(p);
        module->process(1);
        return module->buffer(kOut1)[0] * 2.0f;
    }

    std::unique_ptr<zr::host::AudioModule> module;
};

// Triangle (-5,-5)(0,5)(5,-5): positions 0, floor(0.5 x 4095) = 2047 and 4095; y -1, 1, -1.
TEST_F(LegacyWaveshaper, FillsEachModeFromTheNodePositions) {
    module->setText(kShape, 0, L"(-5,-5)(0,5)(5,-5)");
    auto const lagrange = [](double p) {
        double const a = 0, b = 2047, c = 4095;
        return -1.0 * (p - b) * (p - c) / ((a - b) * (a - c)) + 1.0 * (p - a) * (p - c) / ((b - a) * (b - c)) +
               -1.0 * (p - a) * (p - b) / ((c - a) * (c - b));
    };
    struct Case {
        int mode;
        int p;
        double expected;
    };
    auto const firstTangent = [](double p) { // L = the chord, R = the flat tangent at the peak
        double const w = p / 2047;
        return w * 1.0 + (1 - w) * (-1 + 2 * w);
    };
    auto const lastTangent = [](double p) { // L = the flat tangent at the peak, R = the chord
        double const w = (p - 2047) / 2048;
        return w * (1 - 2 * w) + (1 - w) * 1.0;
    };
    Case const cases[] = {
        {0, 0, -1.0},         {0, 1000, -1 + 2000.0 / 2047}, {0, 2047, 1.0},
        {0, 3000, 1 - 2 * 953.0 / 2048}, {0, 4095, -1.0},
        {1, 600, firstTangent(600)},      {1, 1500, firstTangent(1500)}, {1, 2047, 1.0},
        {1, 3100, lastTangent(3100)},     {1, 4095, -1.0},
        {2, 700, lagrange(700)},          {2, 2047, 1.0},               {2, 3500, lagrange(3500)},
        {2, 4095, -1.0},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " entry " << c.p);
        module->setInt(kMode, 0, c.mode);
        EXPECT_NEAR(entry(c.p), c.expected, 2e-3);
    }
}

TEST_F(LegacyWaveshaper, TwoNodesDrawAStraightLineInEveryMode) {
    module->setText(kShape, 0, L"(-5,-5)(5,3)");
    for (int mode : {0, 1, 2}) {
        SCOPED_TRACE(mode);
        module->setInt(kMode, 0, mode);
        EXPECT_NEAR(entry(0), -1.0f, 1e-5f);
        EXPECT_NEAR(entry(2048), -1.0f + 1.6f * 2048.0f / 4095.0f, 1e-3f);
        EXPECT_NEAR(entry(4095), 0.6f, 1e-5f);
    }
}

TEST_F(LegacyWaveshaper, ModeLimitsAndRefusedText) {
    module->setText(kShape, 0, L"(-5,-5)(0,5)(5,-5)");
    module->setInt(kMode, 0, 0);
    float const straight = entry(1000);
    module->setInt(kMode, 0, 2);
    float const parabola = entry(1000);
    ASSERT_GT(std::fabs(parabola - straight), 0.1f);
    module->setInt(kMode, 0, 9);
    EXPECT_EQ(entry(1000), parabola) << "modes above 2 count as 2";
    module->setInt(kMode, 0, -1);
    EXPECT_EQ(entry(1000), straight) << "a negative mode draws straight lines";

    module->setText(kShape, 0, L"(-4,0)(5,1)");
    for (int p : {0, 2000, 4095})
        EXPECT_EQ(entry(p), 0.0f) << "a refused text empties the table";
}

TEST_F(LegacyWaveshaper, BothChannelsClipAndNaNReadsTheLastEntry) {
    module->setText(kShape, 0, L"(-5,-5)(5,5)");
    float* in1 = module->buffer(kIn1);
    float* in2 = module->buffer(kIn2);
    in1[0] = 0.25f, in2[0] = -0.25f;
    in1[1] = 3.0f, in2[1] = -3.0f;
    in1[2] = kNaN, in2[2] = 0.0f;
    module->process(3);
    float const* out1 = module->buffer(kOut1);
    float const* out2 = module->buffer(kOut2);
    EXPECT_NEAR(out1[0], 0.25f, 1e-4f);
    EXPECT_NEAR(out2[0], -0.25f, 1e-4f);
    EXPECT_EQ(out1[1], 0.5f);
    EXPECT_EQ(out2[1], -0.5f);
    EXPECT_EQ(out1[2], 0.5f);
    EXPECT_NEAR(out2[2], 0.0f, 2e-4f);
}

// Positions 0, 4094, 4095 (raised) and 4096 (raised): the last segment starts at the table's
// last entry and would write one beyond it.
TEST_F(LegacyWaveshaper, PositionsBeyondTheTableWriteNothing) {
    module->setText(kShape, 0, L"(-5,0)(4.998,1)(4.999,2)(5,3)");
    for (int mode : {0, 1, 2}) {
        SCOPED_TRACE(mode);
        module->setInt(kMode, 0, mode);
        EXPECT_NEAR(entry(4095), 0.4f, 1e-6f);
        EXPECT_NEAR(entry(4094), 0.2f, 1e-6f);
    }
}

class LegacyPulser : public testing::Test {
protected:
    static constexpr int32_t kShape = 0, kDuration = 1, kGate = 2, kMode = 3, kOut = 4;

    void SetUp() override { create(48000.0f); }

    void create(float sampleRate) {
        zr::host::AudioModuleOptions options;
        options.sampleRate = sampleRate;
        module = zr::test::makeModule(L"ZR_ShapePulser", options);
        module->connectAudio(kDuration);
        module->connectAudio(kGate);
        module->connectAudio(kOut);
        ASSERT_EQ(module->open(), gmpi::MP_OK);
        module->graphStart();
        module->sendDefaults();
        module->startStream(kDuration, 0);
        module->startStream(kGate, 0);
    }

    // Runs `gate.size()` samples with a constant duration sample; returns the output.
    std::vector<float> run(std::vector<float> const& gate, float duration) {
        auto const n = static_cast<int32_t>(gate.size());
        std::copy(gate.begin(), gate.end(), module->buffer(kGate));
        std::fill_n(module->buffer(kDuration), n, duration);
        module->process(n);
        float const* out = module->buffer(kOut);
        return {out, out + n};
    }

    std::unique_ptr<zr::host::AudioModule> module;
};

// 1 V of duration is 10 ms: 0.1 gives 1 ms = 48 samples, rate 4095 / 47 entries per sample.
TEST_F(LegacyPulser, PlaysTheShapeOncePerRisingGate) {
    std::vector<float> gate(60, 1.0f);
    gate[0] = 0.0f;
    auto const out = run(gate, 0.1f);
    EXPECT_EQ(out[0], 0.5f) << "before the first gate the output rests at the last entry";
    for (int k : {0, 10, 30, 46}) {
        SCOPED_TRACE(k);
        EXPECT_NEAR(out[static_cast<std::size_t>(k) + 1], 0.5f * (-1.0f + 2.0f * k / 47.0f), 1e-4f);
    }
    EXPECT_NEAR(out[48], 0.5f, 1e-4f);
    EXPECT_EQ(out[59], 0.5f) << "the last entry is held";
    EXPECT_FALSE(module->host().streamingOf(kOut).value_or(true));

    // Falling does nothing; the next rising edge restarts from the left end.
    auto const again = run({0.0f, 0.0f, 1.0f, 1.0f}, 0.1f);
    EXPECT_EQ(again[1], 0.5f);
    EXPECT_NEAR(again[2], -0.5f, 1e-6f);
    EXPECT_NEAR(again[3], 0.5f * (-1.0f + 2.0f / 47.0f), 1e-4f);
}

// A duration of 0 V (an unconnected input) is the shortest pulse: two samples.
TEST_F(LegacyPulser, ShortestPulseIsTwoSamples) {
    auto const out = run({1.0f, 1.0f, 1.0f, 1.0f}, 0.0f);
    EXPECT_NEAR(out[0], -0.5f, 1e-6f);
    EXPECT_NEAR(out[2], 0.5f, 1e-3f);
    EXPECT_NEAR(out[3], 0.5f, 1e-3f);
}

// One impulse of 4 V at position floor(0.3 x 4095) = 1228 is passed once, whatever the rate.
TEST_F(LegacyPulser, ImpulseModePlaysEachNodeOnce) {
    module->setText(kShape, 0, L"(-5,0)(-2,4)(5,0)");
    module->setInt(kMode, 0, 3);
    std::vector<float> gate(60, 1.0f);
    gate[0] = 0.0f;
    auto const out = run(gate, 0.1f);
    int nonzero = 0;
    for (float sample : out) {
        if (sample != 0.0f) {
            ++nonzero;
            EXPECT_NEAR(sample, 0.4f, 1e-6f);
        }
    }
    EXPECT_EQ(nonzero, 1);
}

// Positions 0, 819, ..., 4095 exactly: after a run in mode 0 the previous index is 4096, which
// the mode-3 walk from below can never meet; the walk must still end.
TEST_F(LegacyPulser, ImpulseWalkEndsAfterARunToTheLastEntry) {
    module->setText(kShape, 0, L"(-5,0)(4.998,1)(4.999,2)(5,3)");
    std::vector<float> gate(8, 1.0f);
    gate[0] = 0.0f;
    run(gate, 0.0125f);
    module->setInt(kMode, 0, 3);
    auto const out = run({0.0f, 1.0f, 1.0f, 1.0f}, 0.0125f);
    for (float sample : out)
        EXPECT_TRUE(std::isfinite(sample));
    EXPECT_NEAR(out[1], 0.2f, 1e-6f) << "the first walk covers the whole table; entry 4095 holds 2 V";
}

TEST_F(LegacyPulser, UnusableSampleRatesPlayNothing) {
    for (float rate : {-48000.0f, kNaN, 0.0f}) {
        SCOPED_TRACE(rate);
        create(rate);
        auto const out = run({0.0f, 1.0f, 1.0f, 1.0f, 1.0f}, 0.001f);
        for (float sample : out)
            EXPECT_EQ(sample, out[0]) << "the output rests where it was";
    }
}

} // namespace

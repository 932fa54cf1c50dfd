// ZR_Waveshaper's table per legacy mode (worked out from node positions) and ZR_ShapePulser.

#include <algorithm>

#include "tests/modules/ShapeModuleSupport.h"

namespace zr::test {
namespace {

// Opens `id` at `sampleRate` with its audio pins connected and the inputs `streaming` streaming.
std::unique_ptr<host::AudioModule> openAudio(wchar_t const* id, std::vector<int32_t> const& streaming,
                                             float sampleRate = 48000.0f) {
    host::AudioModuleOptions options;
    options.sampleRate = sampleRate;
    auto module = running(id, options);
    for (int32_t pin : streaming)
        module->startStream(pin, 0);
    return module;
}

class LegacyWaveshaper : public testing::Test {
protected:
    static constexpr int32_t kShape = 0, kIn1 = 1, kIn2 = 2, kMode = 3, kOut1 = 4, kOut2 = 5;

    // Table entry p, read through channel 1 at the level that selects it (output x 2).
    float entry(int p) {
        module->buffer(kIn1)[0] = static_cast<float>(p) / 4095.0f - 0.5f;
        module->process(1);
        return module->buffer(kOut1)[0] * 2.0f;
    }

    std::unique_ptr<host::AudioModule> module = openAudio(L"ZR_Waveshaper", {kIn1, kIn2});
};

// Triangle (-5,-5)(0,5)(5,-5): positions 0, floor(0.5 x 4095) = 2047 and 4095; y -1, 1, -1.
TEST_F(LegacyWaveshaper, FillsEachModeFromTheNodePositions) {
    module->setText(kShape, 0, L"(-5,-5)(0,5)(5,-5)");
    auto const lagrange = [](double p) {
        double const a = 0, b = 2047, c = 4095;
        return -1.0 * (p - b) * (p - c) / ((a - b) * (a - c)) + 1.0 * (p - a) * (p - c) / ((b - a) * (b - c)) +
               -1.0 * (p - a) * (p - b) / ((c - a) * (c - b));
    };
    auto const firstTangent = [](double p) { // L = the chord, R = the flat tangent at the peak
        double const w = p / 2047;
        return w * 1.0 + (1 - w) * (-1 + 2 * w);
    };
    auto const lastTangent = [](double p) { // L = the flat tangent at the peak, R = the chord
        double const w = (p - 2047) / 2048;
        return w * (1 - 2 * w) + (1 - w) * 1.0;
    };
    struct Case {
        int mode, p;
        double expected;
    };
    Case const cases[] = {
        {0, 0, -1.0}, {0, 1000, -1 + 2000.0 / 2047}, {0, 2047, 1.0}, {0, 3000, 1 - 2 * 953.0 / 2048}, {0, 4095, -1.0},
        {1, 600, firstTangent(600)}, {1, 1500, firstTangent(1500)}, {1, 3100, lastTangent(3100)}, {1, 4095, -1.0},
        {2, 700, lagrange(700)}, {2, 2047, 1.0}, {2, 3500, lagrange(3500)},
        {9, 3500, lagrange(3500)},          // modes above 2 count as 2
        {-1, 1000, -1 + 2000.0 / 2047},     // a negative mode draws straight lines
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " entry " << c.p);
        module->setInt(kMode, 0, c.mode);
        EXPECT_NEAR(entry(c.p), c.expected, 2e-3);
    }
    module->setText(kShape, 0, L"(-4,0)(5,1)");
    EXPECT_EQ(entry(2000), 0.0f) << "a refused text empties the table";
}

TEST_F(LegacyWaveshaper, BothChannelsClipAndNaNReadsTheLastEntry) {
    module->setText(kShape, 0, L"(-5,-5)(5,5)");
    float const in1[] = {0.25f, 3.0f, kNaN}, in2[] = {-0.25f, -3.0f, 0.0f};
    float const out1[] = {0.25f, 0.5f, 0.5f}, out2[] = {-0.25f, -0.5f, 0.0f};
    std::copy_n(in1, 3, module->buffer(kIn1));
    std::copy_n(in2, 3, module->buffer(kIn2));
    module->process(3);
    for (int s = 0; s < 3; ++s) {
        SCOPED_TRACE(s);
        EXPECT_NEAR(module->buffer(kOut1)[s], out1[s], 2e-4f);
        EXPECT_NEAR(module->buffer(kOut2)[s], out2[s], 2e-4f);
    }
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

// Positions 0, 4094, 4095 (raised), 4094 and 4095: the positions run backwards, so the curved
// modes would divide by a zero gap between neighbours; those entries take the straight line.
TEST_F(LegacyWaveshaper, NodesCloserThanATableStepKeepTheTableFinite) {
    module->setText(kShape, 0, L"(-5,0)(4.9999,5)(4.99995,-5)(4.99999,2.5)(5,0)");
    for (int mode : {1, 2}) {
        SCOPED_TRACE(mode);
        module->setInt(kMode, 0, mode);
        EXPECT_EQ(entry(4094), 0.5f);
        EXPECT_EQ(entry(4095), 0.0f);
    }
}

class LegacyPulser : public testing::Test {
protected:
    static constexpr int32_t kShape = 0, kDuration = 1, kGate = 2, kMode = 3, kOut = 4;

    void create(float sampleRate) { module = openAudio(L"ZR_ShapePulser", {kDuration, kGate}, sampleRate); }

    // Runs `gate.size()` samples with a constant duration sample; returns the output.
    std::vector<float> run(std::vector<float> const& gate, float duration) {
        auto const n = static_cast<int32_t>(gate.size());
        std::copy(gate.begin(), gate.end(), module->buffer(kGate));
        std::fill_n(module->buffer(kDuration), n, duration);
        module->process(n);
        return {module->buffer(kOut), module->buffer(kOut) + n};
    }
    static std::vector<float> risingGate(std::size_t n) {
        std::vector<float> gate(n, 1.0f);
        gate[0] = 0.0f;
        return gate;
    }

    std::unique_ptr<host::AudioModule> module = openAudio(L"ZR_ShapePulser", {kDuration, kGate});
};

// A duration sample of 1.0 (10 V) is 10 ms: 0.1 (1 V) gives 1 ms = 48 samples, rate 4095 / 47 entries per sample.
TEST_F(LegacyPulser, PlaysTheShapeOncePerRisingGate) {
    auto const out = run(risingGate(60), 0.1f);
    EXPECT_EQ(out[0], 0.5f) << "before the first gate the output rests at the last entry";
    for (int k : {0, 10, 30, 46})
        EXPECT_NEAR(out[static_cast<std::size_t>(k) + 1], 0.5f * (-1.0f + 2.0f * k / 47.0f), 1e-4f) << k;
    EXPECT_EQ(out[59], 0.5f) << "the last entry is held";
    EXPECT_FALSE(module->host().streamingOf(kOut).value_or(true));

    // Falling does nothing; the next rising edge restarts from the left end.
    auto const again = run({0.0f, 0.0f, 1.0f}, 0.1f);
    EXPECT_EQ(again[1], 0.5f);
    EXPECT_NEAR(again[2], -0.5f, 1e-6f);

    // A duration of 0 V (an unconnected input) is the shortest pulse: two samples.
    auto const shortest = run({0.0f, 1.0f, 1.0f, 1.0f}, 0.0f);
    EXPECT_NEAR(shortest[1], -0.5f, 1e-6f);
    EXPECT_NEAR(shortest[3], 0.5f, 1e-3f);
}

// One impulse of 4 V at position floor(0.3 x 4095) = 1228 is passed once, whatever the rate.
TEST_F(LegacyPulser, ImpulseModePlaysEachNodeOnce) {
    module->setText(kShape, 0, L"(-5,0)(-2,4)(5,0)");
    module->setInt(kMode, 0, 3);
    auto const out = run(risingGate(60), 0.1f);
    EXPECT_EQ(std::count(out.begin(), out.end(), 0.0f), 59);
    EXPECT_NEAR(*std::max_element(out.begin(), out.end()), 0.4f, 1e-6f);
}

// Positions 0, 819, ..., 4095 exactly: after a run in mode 0 the previous index is 4096, which
// the mode-3 walk from below can never meet; the walk must still end.
TEST_F(LegacyPulser, ImpulseWalkEndsAfterARunToTheLastEntry) {
    module->setText(kShape, 0, L"(-5,0)(4.998,1)(4.999,2)(5,3)");
    run(risingGate(8), 0.0125f);
    module->setInt(kMode, 0, 3);
    auto const out = run({0.0f, 1.0f, 1.0f, 1.0f}, 0.0125f);
    EXPECT_NEAR(out[1], 0.2f, 1e-6f) << "the first walk covers the whole table; entry 4095 holds 2 V";
}

TEST_F(LegacyPulser, UnusableSampleRatesPlayNothing) {
    for (float rate : {-48000.0f, kNaN, 0.0f}) {
        SCOPED_TRACE(rate);
        create(rate);
        auto const out = run({0.0f, 1.0f, 1.0f, 1.0f, 1.0f}, 0.001f);
        EXPECT_EQ(std::count(out.begin(), out.end(), out[0]), 5) << "the output rests where it was";
    }
}

} // namespace
} // namespace zr::test

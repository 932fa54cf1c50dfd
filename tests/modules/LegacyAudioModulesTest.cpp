// The older audio-side modules through the bundle: the oscillator and envelopes, ZR_Waveshaper's
// table per legacy mode (worked out from node positions), ZR_ShapePulser, and the text-to-text
// modules, each of which sends its text output only when it differs.

#include <algorithm>

#include "testing/RecordedValues.h"
#include "tests/modules/ShapeModuleSupport.h"

namespace zr::test {
namespace {

TEST(LegacyShapeOsc, PlaysItsCycleAtThePitch) {
    constexpr int32_t kShape = 1, kPitch = 3, kOut = 8;
    auto osc = running(L"ZR_ShapeOsc");
    osc->startStream(kPitch, 0);
    osc->setText(kShape, 0, L"(-5,-5)(5,5)");
    std::fill_n(osc->buffer(kPitch), 3600, 0.5f); // 5 V: 440 Hz
    osc->process(3600);
    float const* out = osc->buffer(kOut);
    int wraps = 0;
    for (int s = 1; s < 3600; ++s) {
        ASSERT_TRUE(out[s] >= -0.5f && out[s] <= 0.5f) << s;
        if (out[s] < out[s - 1] - 0.5f)
            ++wraps;
    }
    EXPECT_NEAR(wraps, 33, 1) << "33 cycles of 440 Hz in 75 ms";

    // A constant shape plays one level at any phase; a refused text fades to silence over
    // 1/60 s (800 samples), as the successor fades in a new table.
    osc->setText(kShape, 0, L"(-5,5)(5,5)");
    osc->process(1000);
    osc->setText(kShape, 0, L"(-5,0)(0,0)");
    osc->process(1000);
    EXPECT_EQ(out[0], 0.5f);
    EXPECT_NEAR(out[400], 0.25f, 1e-5f);
    EXPECT_EQ(out[820], 0.0f);
}

// A triangle contour 0 -> 1 -> 0 over 10 ms (480 samples), input 1; then held at the middle
// node and released. Glides and retriggers are the successor's, tested with ZR_ShapeEnv3.
TEST(LegacyEnvelopes, RunTheirContourPerGateAndHoldAtTheSustainNode) {
    struct Case {
        wchar_t const* id;
        int32_t duration, gate;
        bool image; // the shape pin carries an image, not text
    };
    constexpr int32_t kShape = 0, kSustain = 4, kInput = 5, kOut = 6;
    for (Case const& c : {Case{L"ZR_ShapeEnv", 1, 2, false}, Case{L"ZR_ShapeEnv2", 2, 3, true}}) {
        SCOPED_TRACE(testing::Message() << c.id);
        auto env = running(c.id);
        if (c.image)
            env->setBytes(kShape, 0, shapeImage({{0.0f, -1.0f}, {0.5f, 1.0f}, {1.0f, -1.0f}}));
        else
            env->setText(kShape, 0, L"(-5,-5)(0,5)(5,-5)");
        env->startStream(c.gate, 0);
        env->startStream(kInput, 0);
        env->setFloat(c.duration, 0, 10.0f);
        std::fill_n(env->buffer(kInput), 600, 1.0f);
        std::fill_n(env->buffer(c.gate), 600, 1.0f);
        env->process(600);
        float const* out = env->buffer(kOut);
        EXPECT_NEAR(out[0], 0.0f, 1e-3f);
        EXPECT_NEAR(out[120], 0.5f, 1e-2f);
        EXPECT_NEAR(out[240], 1.0f, 1e-2f);
        EXPECT_EQ(out[590], 0.0f) << "after the end";

        env->setInt(kSustain, 0, 1);
        env->buffer(c.gate)[0] = 0.0f;
        env->process(600);
        EXPECT_NEAR(out[500], 1.0f, 1e-2f);
        std::fill_n(env->buffer(c.gate), 600, 0.0f);
        env->process(600);
        EXPECT_NEAR(out[120], 0.5f, 2e-2f);
        EXPECT_EQ(out[400], 0.0f);
    }
}

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

// Nodes crowded at the right end. Positions 0, 4094, 4095 (raised) and 4096 (raised): the last
// segment starts at the table's last entry and would write one beyond it. Positions 0, 4094, 4095
// (raised), 4094 and 4095: they run backwards, so the curved modes would divide by a zero gap
// between neighbours; those entries take the straight line.
TEST_F(LegacyWaveshaper, NodesCrowdedAtTheEndKeepTheTableInsideAndFinite) {
    struct Case {
        char const* name;
        wchar_t const* text;
        std::vector<int> modes;
        float at4094, at4095, tolerance;
    } const cases[] = {
        {"past the last entry", L"(-5,0)(4.998,1)(4.999,2)(5,3)", {0, 1, 2}, 0.2f, 0.4f, 1e-6f},
        {"backwards", L"(-5,0)(4.9999,5)(4.99995,-5)(4.99999,2.5)(5,0)", {1, 2}, 0.5f, 0.0f, 0.0f},
    };
    for (Case const& c : cases) {
        module->setText(kShape, 0, c.text);
        for (int mode : c.modes) {
            SCOPED_TRACE(testing::Message() << c.name << ", mode " << mode);
            module->setInt(kMode, 0, mode);
            EXPECT_NEAR(entry(4094), c.at4094, c.tolerance);
            EXPECT_NEAR(entry(4095), c.at4095, c.tolerance);
        }
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

class TextModule {
public:
    TextModule(std::wstring const& id, int32_t outPin) : module(running(id)), out(outPin) { module->process(1); }

    // Runs one block; the text last sent on the output ("" if none).
    std::wstring run() {
        module->process(1);
        auto const last = module->host().lastPinSet(out);
        return last ? textOf(*last) : L"";
    }
    std::size_t sends() const { return module->host().pinSets(out).size(); }

    std::unique_ptr<host::AudioModule> module;
    int32_t out;
};

// ZR_ShapeAmp (Centre, Gain; output 3), ZR_ShapeShift (Offset; output 2) and ZR_SNMod (Node,
// X, Y; output 4) on the text at pin 0. A refused text then sends nothing.
TEST(LegacyLevelAndNodeModules, ScaleMoveOrSetLevelsAndNodesWithinTheirLimits) {
    wchar_t const* const three = L"(-5,0)(0,0)(5,0)";
    struct Case {
        char const* name;
        wchar_t const* id;
        int32_t out;
        wchar_t const* text;
        std::vector<std::pair<int32_t, PinValue>> values;
        wchar_t const* expected;
    } const cases[] = {
        {"gain 2 around 1 V, six digits", L"ZR_ShapeAmp", 3, L"(-5,-5)(0,1)(2.5,1.23456789)(5,4)", {{1, 1.0f}, {2, 2.0f}},
         L"(-5,-5)(0,1)(2.5,1.46914)(5,5)"},
        {"the centre clipped to 5 V", L"ZR_ShapeAmp", 3, L"(-5,-5)(0,1)(5,4)", {{1, 9.0f}, {2, 0.0f}}, L"(-5,5)(0,5)(5,5)"},
        {"2 V up", L"ZR_ShapeShift", 2, L"(-5,-5)(1,0)(5,4)\nITP=1", {{1, 2.0f}}, L"(-5,-3)(1,2)(5,5)"},
        {"20 V down", L"ZR_ShapeShift", 2, L"(-5,-5)(1,0)(5,4)", {{1, -20.0f}}, L"(-5,-5)(1,-5)(5,-5)"},
        {"interior node", L"ZR_SNMod", 4, three, {{1, 1}, {2, 2.0f}, {3, 6.0f}}, L"(-5,0)(2,5)(5,0)"},
        {"x kept 0.01 V inside the right neighbour", L"ZR_SNMod", 4, three, {{1, 1}, {2, 20.0f}}, L"(-5,0)(4.99,0)(5,0)"},
        {"x kept 0.01 V inside the left neighbour", L"ZR_SNMod", 4, three, {{1, 1}, {2, -20.0f}, {3, -1.0f}},
         L"(-5,0)(-4.99,-1)(5,0)"},
        {"an end keeps its x", L"ZR_SNMod", 4, three, {{1, 0}, {2, 3.0f}, {3, 1.0f}}, L"(-5,1)(0,0)(5,0)"},
        {"index beyond the shape", L"ZR_SNMod", 4, three, {{1, 99}, {2, 1.0f}, {3, 1.0f}}, three},
        {"negative index", L"ZR_SNMod", 4, three, {{1, -1}, {2, 1.0f}, {3, 1.0f}}, three},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        TextModule mod(c.id, c.out);
        mod.module->setText(0, 0, c.text);
        for (auto const& [pin, value] : c.values)
            setPinValue(*mod.module, pin, value);
        EXPECT_EQ(mod.run(), c.expected);
        std::size_t const sent = mod.sends();
        mod.module->setText(0, 0, L"(-5,0)(4,0)");
        mod.run();
        EXPECT_EQ(mod.sends(), sent) << "a refused text sends nothing";
    }
}

TEST(LegacySSMod, SetsUpToFourNodesInOrder) {
    TextModule mod(L"ZR_SSMod", 13);
    mod.module->setText(0, 0, L"(-5,0)(-1,0)(1,0)(5,0)");
    // Group 1: node 1 x to 4 V, limited by node 2 at 1 V. Group 2: node 3 y to 9 V, clipped.
    // Group 3: node 0 x (an end): nothing. Group 4: node 2 y to -2 V.
    int32_t const groups[4][2] = {{1, 0}, {3, 1}, {0, 0}, {2, 7}};
    float const values[4] = {4.0f, 9.0f, 3.0f, -2.0f};
    for (int32_t g = 0; g < 4; ++g) {
        mod.module->setInt(1 + 3 * g, 0, groups[g][0]);
        mod.module->setInt(2 + 3 * g, 0, groups[g][1]);
        mod.module->setFloat(3 + 3 * g, 0, values[g]);
    }
    EXPECT_EQ(mod.run(), L"(-5,0)(0.99,0)(1,-2)(5,5)");

    int32_t const outside[4] = {-1, 99, 4, -7};
    for (int32_t g = 0; g < 4; ++g)
        mod.module->setInt(1 + 3 * g, 0, outside[g]);
    EXPECT_EQ(mod.run(), L"(-5,0)(-1,0)(1,0)(5,0)") << "indices outside the shape change nothing";
}

// ZR_ShapeMorpher (A, B, Amount; output 3): the shorter shape gains nodes at its widest gaps,
// the first of equal ones. It sends only with two shapes, and only a changed text.
TEST(LegacyMorpher, ExtendsTheShorterShapeAndSendsOnlyChangedTexts) {
    TextModule morpher(L"ZR_ShapeMorpher", 3);
    auto const morph = [&](wchar_t const* a, wchar_t const* b, float amount) {
        morpher.module->setText(0, 0, a);
        morpher.module->setText(1, 0, b);
        morpher.module->setFloat(2, 0, amount);
        return morpher.run();
    };
    std::size_t const atStart = morpher.sends();
    morph(L"(-5,0)(5,0)", L"(-5,2)(5", 0.5f);
    EXPECT_EQ(morpher.sends(), atStart) << "B does not parse";
    // A gets (0,0) between its two nodes, then (-2.5,-2.5): the first of two equal gaps.
    wchar_t const* const a = L"(-5,-5)(5,5)";
    wchar_t const* const b = L"(-5,1)(-4,1)(4,1)(5,1)";
    EXPECT_EQ(morph(a, b, 0.0f), L"(-5,-5)(-2.5,-2.5)(0,0)(5,5)");
    EXPECT_EQ(morph(a, b, 7.0f), b) << "the amount is clipped to 1";
    EXPECT_EQ(morph(a, b, 0.5f), L"(-5,-2)(-3.25,-0.75)(2,0.5)(5,3)");
    std::size_t const sent = morpher.sends();
    morph(a, b, 0.5f);
    EXPECT_EQ(morpher.sends(), sent) << "an equal text is not sent again";
    // The larger gap wins over the first one.
    EXPECT_EQ(morph(L"(-5,0)(-4,0)(5,0)", L"(-5,0)(-4,0)(0,0)(5,0)", 0.0f), L"(-5,0)(-4,0)(0.5,0)(5,0)");
}

} // namespace
} // namespace zr::test

// The older oscillator and envelopes through the bundle: they play what a stored patch gives
// them, with their successors' pitch and envelope rules.

#include <cmath>
#include <vector>

#include "tests/modules/BundleFixture.h"

namespace {

std::unique_ptr<zr::host::AudioModule> openModule(std::wstring const& id, std::vector<int32_t> const& audioPins) {
    auto module = zr::test::makeModule(id);
    for (int32_t pin : audioPins)
        module->connectAudio(pin);
    EXPECT_EQ(module->open(), gmpi::MP_OK);
    module->graphStart();
    module->sendDefaults();
    return module;
}

TEST(LegacyShapeOsc, PlaysItsCycleAtThePitch) {
    constexpr int32_t kShape = 1, kPitch = 3, kOut = 8;
    auto osc = openModule(L"ZR_ShapeOsc", {3, 4, 5, 6, kOut});
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
}

struct EnvelopePins {
    int32_t shape, duration, gate, sustain, input, out;
};

// A triangle contour from level 0 up to 1 at its middle and back to 0, over 10 ms (480
// samples at 48 kHz), with a constant input of 1.
void expectTriangleRun(zr::host::AudioModule& env, EnvelopePins const& pin) {
    env.startStream(pin.gate, 0);
    env.startStream(pin.input, 0);
    env.setFloat(pin.duration, 0, 10.0f);
    std::fill_n(env.buffer(pin.input), 600, 1.0f);
    std::fill_n(env.buffer(pin.gate), 600, 1.0f);
    env.process(600);
    float const* out = env.buffer(pin.out);
    EXPECT_NEAR(out[0], 0.0f, 1e-3f);
    EXPECT_NEAR(out[120], 0.5f, 1e-2f);
    EXPECT_NEAR(out[240], 1.0f, 1e-2f);
    EXPECT_NEAR(out[360], 0.5f, 1e-2f);
    EXPECT_EQ(out[590], 0.0f) << "after the end";

    // With the middle node as sustain point the level waits there until the gate goes off.
    env.setInt(pin.sustain, 0, 1);
    env.buffer(pin.gate)[0] = 0.0f;
    env.process(600);
    EXPECT_NEAR(out[500], 1.0f, 1e-2f);
    std::fill_n(env.buffer(pin.gate), 600, 0.0f);
    env.process(600);
    EXPECT_NEAR(out[120], 0.5f, 2e-2f);
    EXPECT_EQ(out[400], 0.0f);
}

TEST(LegacyShapeEnv, RunsItsTextContourPerGate) {
    EnvelopePins const pin{0, 1, 2, 4, 5, 6};
    auto env = openModule(L"ZR_ShapeEnv", {pin.gate, pin.input, pin.out});
    env->setText(pin.shape, 0, L"(-5,-5)(0,5)(5,-5)");
    expectTriangleRun(*env, pin);
}

TEST(LegacyShapeEnv2, RunsTheImageOnItsTextPin) {
    EnvelopePins const pin{0, 2, 3, 4, 5, 6};
    auto env = openModule(L"ZR_ShapeEnv2", {pin.gate, pin.input, pin.out});
    env->setBytes(pin.shape, 0, zr::test::shapeImage({{0.0f, -1.0f}, {0.5f, 1.0f}, {1.0f, -1.0f}}));
    expectTriangleRun(*env, pin);
}

} // namespace

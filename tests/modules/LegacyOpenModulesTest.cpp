// The older oscillator and envelopes through the bundle.

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

} // namespace
} // namespace zr::test

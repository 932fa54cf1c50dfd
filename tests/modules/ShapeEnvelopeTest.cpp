// ZR_ShapeEnv3 through the bundle; the input is held at 1.0, so the output is the level.

#include "tests/modules/ShapeModuleSupport.h"

namespace zr::test {
namespace {

constexpr int32_t kGate = 0, kShape = 1, kInterpolation = 2, kDuration = 3, kSustainNode = 4, kInput = 5, kClip = 6,
                  kOut = 7;
constexpr int64_t kGlideSamples = 960; // 20 ms at 48 kHz
NodePairs const kPeak = {{0.0f, -1.0f}, {0.5f, 1.0f}, {1.0f, -1.0f}};

class ShapeEnvelope : public testing::Test {
protected:
    // A fresh envelope on a host of `options`, running `nodes` over `milliseconds`, gate on.
    void start(NodePairs const& nodes, float milliseconds, int32_t sustainNode = -1, host::AudioModuleOptions options = {},
               int32_t interpolation = 10, bool clip = true) {
        env = running(L"ZR_ShapeEnv3", options);
        std::fill_n(env->buffer(kInput), 4096, 1.0f);
        env->setBytes(kShape, 0, shapeImage(nodes));
        env->setFloat(kDuration, 0, milliseconds);
        env->setInt(kSustainNode, 0, sustainNode);
        env->setInt(kInterpolation, 0, interpolation);
        env->setBool(kClip, 0, clip);
        env->setBool(kGate, 0, true);
    }
    std::vector<float> render(int64_t count, int32_t blockSize = 256) { return rendered(*env, kOut, count, blockSize); }
    bool streaming() { return env->host().streamingOf(kOut).value_or(false); }

    std::unique_ptr<host::AudioModule> env;
};

int64_t countAbove(std::vector<float> const& levels, float threshold) {
    return std::count_if(levels.begin(), levels.end(), [threshold](float level) { return level > threshold; });
}

// The samples until the level first reaches `target` from the side it starts on.
int64_t samplesUntil(std::vector<float> const& levels, float target) {
    bool const rising = levels[0] < target;
    for (size_t i = 0; i < levels.size(); ++i)
        if (rising ? levels[i] >= target : levels[i] <= target)
            return static_cast<int64_t>(i);
    return -1;
}

TEST_F(ShapeEnvelope, RunsThroughTheShapeInItsDurationThenSleeps) {
    struct Case {
        float sampleRate, milliseconds;
    };
    for (Case c : {Case{48000.0f, 10.0f}, Case{48000.0f, 100.0f}, Case{44100.0f, 250.0f}, Case{96000.0f, 37.5f}}) {
        SCOPED_TRACE(testing::Message() << c.sampleRate << " Hz, " << c.milliseconds << " ms");
        host::AudioModuleOptions options;
        options.sampleRate = c.sampleRate;
        start({{0.0f, 1.0f}, {1.0f, 1.0f}}, c.milliseconds, -1, options);
        std::vector<float> const levels = render(static_cast<int64_t>(c.sampleRate));
        // Static from the first sample past the contour's end, wherever the blocks are cut.
        auto const stop = env->host().streamingChanges(kOut).back();
        int64_t const stopSample = stop.block * 256 + stop.timestamp;
        EXPECT_NEAR(static_cast<double>(stopSample), c.milliseconds * 0.001 * c.sampleRate, 1.0);
        EXPECT_TRUE(levels[static_cast<size_t>(stopSample) - 1] > 0.0f && levels[static_cast<size_t>(stopSample)] == 0.0f);
        EXPECT_GE(env->host().sleepCount(), 1);
    }
    // Past the end Out is an exact +0 whatever the input's sign, so it holds one value.
    start({{0.0f, 1.0f}, {1.0f, 1.0f}}, 1.0f);
    std::fill_n(env->buffer(kInput), 4096, -1.0f);
    EXPECT_FALSE(std::signbit(render(256).back()));
    // Durations below a millisecond count as one.
    start({{0.0f, 1.0f}, {1.0f, 0.0f}}, 1.0f);
    std::vector<float> const oneMillisecond = render(256);
    EXPECT_NEAR(countAbove(oneMillisecond, 0.0f), 48, 1);
    for (float milliseconds : {0.999f, 0.0f, -5.0f, -kInf, kNaN}) {
        SCOPED_TRACE(milliseconds);
        start({{0.0f, 1.0f}, {1.0f, 0.0f}}, milliseconds);
        EXPECT_EQ(render(256), oneMillisecond);
    }
}

TEST_F(ShapeEnvelope, HoldsAtTheSustainNodeUntilTheGateCloses) {
    start(kPeak, 100.0f, 1); // up in half the duration, held, down after the release
    std::vector<float> const attack = render(12000);
    EXPECT_NEAR(samplesUntil(attack, 0.9995f), 2400, 2);
    EXPECT_NEAR(attack[2402], 1.0f, 5e-4f) << "the node sits between two entries, both just below the peak";
    for (size_t i = 2402; i < attack.size(); ++i)
        ASSERT_EQ(attack[i], attack[2402]) << i;
    EXPECT_TRUE(streaming());
    env->setBool(kGate, 0, false);
    EXPECT_NEAR(samplesUntil(render(4000), 0.0f), 2400, 2);
    EXPECT_FALSE(streaming());

    // The last node as "sustain node" means none: the run ends with the gate still on.
    start({{0.0f, 1.0f}, {0.5f, 1.0f}, {1.0f, 1.0f}}, 100.0f, 2);
    EXPECT_NEAR(countAbove(render(12000), 0.5f), 4800, 1);
    EXPECT_FALSE(streaming());
}

TEST_F(ShapeEnvelope, ReleaseAndRetriggerNeverJump) {
    struct Case {
        char const* name;
        NodePairs nodes;
        int32_t sustainNode;
        int64_t changeAt;
        bool retrigger; // else release
        bool glides;    // a straight line to `target` in 20 ms; else the level goes on from where it was
        float target;
    } const cases[] = {
        {"release below the node's level", {{0.0f, -1.0f}, {0.5f, 0.0f}, {1.0f, -1.0f}}, 1, 1200, false, false, 0.0f},
        {"release above the node's level", {{0.0f, -1.0f}, {0.1f, 1.0f}, {0.5f, 0.0f}, {1.0f, -1.0f}}, 2, 480, false, true, 0.5f},
        {"retrigger down to the first level", {{0.0f, -1.0f}, {0.2f, 1.0f}, {1.0f, 1.0f}}, -1, 2400, true, true, 0.0f},
        {"retrigger up to the first level", {{0.0f, 1.0f}, {1.0f, -1.0f}}, -1, 2400, true, true, 1.0f},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        start(c.nodes, 100.0f, c.sustainNode);
        std::vector<float> levels = render(c.changeAt, 16);
        float const before = levels.back();
        env->setBool(kGate, 0, c.retrigger);
        std::vector<float> const after = render(c.retrigger ? 3000 : 6000, 16); // a retriggered run goes on
        levels.insert(levels.end(), after.begin(), after.end());
        for (size_t i = 1; i < levels.size(); ++i) // never steeper than the contour or the glide
            ASSERT_LT(std::fabs(levels[i] - levels[i - 1]), 2.0f / 480.0f) << "sample " << i;
        if (c.glides)
            EXPECT_NEAR(samplesUntil(after, c.target), kGlideSamples, 1);
        else
            EXPECT_NEAR(after[0], before, 1e-3f);
        if (c.retrigger) {
            EXPECT_NEAR(after[500] - after[499], (c.target - before) / kGlideSamples, 1e-5f);
        }
        EXPECT_EQ(streaming(), c.retrigger);
    }
}

TEST_F(ShapeEnvelope, ClipKeepsSplineOvershootWithinZeroAndOne) {
    NodePairs const steep = {{0.0f, -1.0f}, {0.1f, 1.0f}, {0.2f, 1.0f}, {0.3f, -1.0f}, {1.0f, -1.0f}};
    for (bool clip : {false, true}) {
        SCOPED_TRACE(clip);
        start(steep, 50.0f, -1, {}, 20, clip);
        std::vector<float> const levels = render(4800);
        float const highest = *std::max_element(levels.begin(), levels.end());
        float const lowest = *std::min_element(levels.begin(), levels.end());
        EXPECT_EQ(highest > 1.05f && lowest < -0.01f, !clip) << "the spline overshoots without clip";
        if (clip) {
            EXPECT_TRUE(highest == 1.0f && lowest == 0.0f);
        }
    }
    // A release from a dip below 0 towards a sustain node at a level near 0 stays bounded: no
    // gain match turns the tiny node level into a huge factor.
    start({{0.0f, 1.0f}, {0.3f, 1.0f}, {0.35f, -1.0f}, {0.5f, -0.999f}, {1.0f, 0.0f}}, 100.0f, 3, {}, 20, false);
    std::vector<float> levels;
    for (int i = 0; i < 4800 && (levels.empty() || levels.back() >= -1e-3f); ++i)
        levels.push_back(render(1, 1)[0]);
    ASSERT_LT(levels.back(), -1e-3f) << "the contour must dip below 0 before the node";
    env->setBool(kGate, 0, false);
    for (float level : render(6000))
        ASSERT_TRUE(std::isfinite(level) && std::fabs(level) < 1.0f) << level;
}

// A NaN rate stays finite; a valid rate ends the run whatever the countdown or sustain x.
TEST_F(ShapeEnvelope, HostileHostsAndValuesStayInsideTheTable) {
    struct Case {
        char const* name;
        float sampleRate;
        int32_t countdown;
        NodePairs nodes;
        bool ends;
    } const cases[] = {
        {"countdown -100", 48000.0f, -100, kPeak, true},
        {"countdown -10000", 48000.0f, -10000, kPeak, true},
        {"sample rate NaN", kNaN, 64, kPeak, false},
        {"sustain x below 0", 48000.0f, 64, {{0.0f, 0.0f}, {-0.5f, 1.0f}, {1.0f, 0.0f}}, true},
        {"sustain x beyond 1", 48000.0f, 64, {{0.0f, 0.0f}, {3.0f, 1.0f}, {1.0f, 0.0f}}, true},
        {"sustain x NaN", 48000.0f, 64, {{0.0f, 0.0f}, {kNaN, 1.0f}, {1.0f, 0.0f}}, true},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        host::AudioModuleOptions options;
        options.sampleRate = c.sampleRate;
        options.countdown = c.countdown;
        start(c.nodes, 50.0f, 1, options);
        for (int64_t count : {2400, 9600}) { // gate on, then released
            for (float level : render(count))
                ASSERT_TRUE(std::isfinite(level)) << level;
            env->setBool(kGate, 0, false);
        }
        if (c.ends) {
            EXPECT_FALSE(streaming());
        }
    }
}

} // namespace
} // namespace zr::test

// ZR_ShapeEnv3 through the bundle, as a host drives it. The input is held at 1.0, so the
// output is the envelope's level.

#include <cmath>
#include <limits>
#include <random>

#include "tests/modules/BundleFixture.h"

namespace {

using zr::test::shapeImage;
using Nodes = std::vector<std::pair<float, float>>;

constexpr int32_t kGate = 0, kShape = 1, kInterpolation = 2, kDuration = 3, kSustainNode = 4, kInput = 5, kClip = 6,
                  kOut = 7;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr int64_t kGlideSamples = 960; // 20 ms at 48 kHz

class ShapeEnvelope : public testing::Test {
protected:
    void SetUp() override { env = startedEnvelope({}); }

    static std::unique_ptr<zr::host::AudioModule> startedEnvelope(zr::host::AudioModuleOptions options) {
        auto module = zr::test::makeModule(L"ZR_ShapeEnv3", options);
        module->connectAudio(kInput);
        module->connectAudio(kOut);
        module->open();
        module->graphStart();
        module->sendDefaults();
        std::fill_n(module->buffer(kInput), 4096, 1.0f);
        return module;
    }

    void contour(Nodes const& nodes, float milliseconds, int32_t sustainNode = -1) {
        env->setBytes(kShape, 0, shapeImage(nodes));
        env->setFloat(kDuration, 0, milliseconds);
        env->setInt(kSustainNode, 0, sustainNode);
    }

    std::vector<float> render(int64_t count, int32_t blockSize = 256) {
        std::vector<float> out;
        for (int64_t done = 0; done < count; done += blockSize) {
            auto const n = static_cast<int32_t>(std::min<int64_t>(blockSize, count - done));
            env->process(n);
            out.insert(out.end(), env->buffer(kOut), env->buffer(kOut) + n);
        }
        return out;
    }

    std::unique_ptr<zr::host::AudioModule> env;
};

int64_t countAbove(std::vector<float> const& levels, float threshold) {
    return std::count_if(levels.begin(), levels.end(), [threshold](float level) { return level > threshold; });
}

// The samples until the level first reaches `target` from the side it starts on.
int64_t samplesUntil(std::vector<float> const& levels, size_t from, float target) {
    bool const rising = levels[from] < target;
    for (size_t i = from; i < levels.size(); ++i)
        if (rising ? levels[i] >= target : levels[i] <= target)
            return static_cast<int64_t>(i - from);
    return -1;
}

TEST_F(ShapeEnvelope, RunsThroughTheShapeInItsDuration) {
    struct Case {
        float sampleRate, milliseconds;
    };
    for (Case c : {Case{48000.0f, 10.0f}, Case{48000.0f, 100.0f}, Case{44100.0f, 250.0f}, Case{96000.0f, 37.5f}}) {
        SCOPED_TRACE(testing::Message() << c.sampleRate << " Hz, " << c.milliseconds << " ms");
        zr::host::AudioModuleOptions options;
        options.sampleRate = c.sampleRate;
        env = startedEnvelope(options);
        contour({{0.0f, 1.0f}, {1.0f, 1.0f}}, c.milliseconds);
        env->setBool(kGate, 0, true);
        std::vector<float> const levels = render(static_cast<int64_t>(c.sampleRate)); // one second
        double const expected = c.milliseconds * 0.001 * c.sampleRate;
        EXPECT_NEAR(countAbove(levels, 0.5f), expected, 1.0);
        EXPECT_EQ(levels[0], 1.0f);
        // The run ends silent at the end of the block in which it reached the contour's end.
        auto const stops = env->host().streamingChanges(kOut);
        ASSERT_FALSE(stops.empty());
        EXPECT_FALSE(stops.back().isStreaming());
        EXPECT_EQ(stops.back().timestamp, 256);
        EXPECT_EQ(stops.back().block, static_cast<int64_t>(std::ceil(expected / 256.0)) - 1);
        EXPECT_GE(env->host().sleepCount(), 1);
    }
}

TEST_F(ShapeEnvelope, HoldsAtTheSustainNodeUntilTheGateCloses) {
    // Up to the middle node in half the duration, held there, down after the release.
    contour({{0.0f, -1.0f}, {0.5f, 1.0f}, {1.0f, -1.0f}}, 100.0f, 1);
    env->setBool(kGate, 0, true);
    std::vector<float> const attack = render(12000);
    EXPECT_NEAR(samplesUntil(attack, 0, 0.9995f), 2400, 2);
    // The node sits between two table entries, both just below the peak.
    EXPECT_NEAR(attack[2402], 1.0f, 5e-4f);
    for (size_t i = 2402; i < attack.size(); ++i)
        ASSERT_EQ(attack[i], attack[2402]) << i;
    EXPECT_EQ(env->host().streamingOf(kOut), true);

    env->setBool(kGate, 0, false);
    std::vector<float> const release = render(4000);
    EXPECT_NEAR(samplesUntil(release, 0, 0.0f), 2400, 2);
    EXPECT_EQ(env->host().streamingOf(kOut), false);

    // The last node as "sustain node" means none: the run ends with the gate still on.
    env->setInt(kSustainNode, 0, 2);
    env->setBytes(kShape, 0, shapeImage({{0.0f, 1.0f}, {0.5f, 1.0f}, {1.0f, 1.0f}}));
    env->setBool(kGate, 0, true);
    EXPECT_NEAR(countAbove(render(12000), 0.5f), 4800, 1);
    EXPECT_EQ(env->host().streamingOf(kOut), false);
}

TEST_F(ShapeEnvelope, EarlyReleaseContinuesFromTheSustainNodeWithoutAJump) {
    struct Case {
        char const* name;
        Nodes nodes;
        int32_t sustainNode;
        int64_t releaseAt;
        int64_t glide; // samples of the glide down to the node's level; 0: gain match
    };
    Case const cases[] = {
        {"below the node's level: gain match", {{0.0f, -1.0f}, {0.5f, 0.0f}, {1.0f, -1.0f}}, 1, 1200, 0},
        {"above the node's level: glide", {{0.0f, -1.0f}, {0.1f, 1.0f}, {0.5f, 0.0f}, {1.0f, -1.0f}}, 2, 480, kGlideSamples},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        env = startedEnvelope({});
        contour(c.nodes, 100.0f, c.sustainNode);
        env->setBool(kGate, 0, true);
        std::vector<float> levels = render(c.releaseAt, 16);
        float const atRelease = levels.back();
        env->setBool(kGate, 0, false);
        std::vector<float> const after = render(6000, 16);
        levels.insert(levels.end(), after.begin(), after.end());
        // Never a step larger than the steepest slope of the contour or the glide.
        for (size_t i = 1; i < levels.size(); ++i)
            ASSERT_LT(std::fabs(levels[i] - levels[i - 1]), 2.0f / 480.0f) << "sample " << i;
        if (c.glide > 0)
            EXPECT_NEAR(samplesUntil(after, 0, 0.5f), c.glide, 1);
        else
            EXPECT_NEAR(after[0], atRelease, 1e-3f);
        EXPECT_EQ(after.back(), 0.0f);
        EXPECT_EQ(env->host().streamingOf(kOut), false);
    }
}

TEST_F(ShapeEnvelope, RetriggerGlidesToTheFirstLevelInTwentyMilliseconds) {
    struct Case {
        char const* name;
        Nodes nodes;
    };
    // Downward as written; upward too, so that a retrigger from below does not jump either.
    for (Case const& c : {Case{"down", {{0.0f, -1.0f}, {0.2f, 1.0f}, {1.0f, 1.0f}}},
                          Case{"up", {{0.0f, 1.0f}, {1.0f, -1.0f}}}}) {
        SCOPED_TRACE(c.name);
        env = startedEnvelope({});
        contour(c.nodes, 100.0f);
        env->setBool(kGate, 0, true);
        float const running = render(2400).back();
        env->setBool(kGate, 0, true);
        std::vector<float> const after = render(3000, 64);
        float const start = c.nodes[0].second > 0.0f ? 1.0f : 0.0f;
        EXPECT_NEAR(samplesUntil(after, 0, start), kGlideSamples, 1);
        float const step = (start - running) / kGlideSamples;
        EXPECT_NEAR(after[0] - running, step, 1e-5f);
        EXPECT_NEAR(after[500] - after[499], step, 1e-5f);
        EXPECT_EQ(env->host().streamingOf(kOut), true) << "the run goes on from its start";
    }
}

TEST_F(ShapeEnvelope, DurationsBelowOneMillisecondCountAsOne) {
    auto levelsFor = [this](float milliseconds) {
        env = startedEnvelope({});
        contour({{0.0f, 1.0f}, {1.0f, 0.0f}}, milliseconds);
        env->setBool(kGate, 0, true);
        return render(256);
    };
    std::vector<float> const oneMillisecond = levelsFor(1.0f);
    EXPECT_NEAR(countAbove(oneMillisecond, 0.0f), 48, 1);
    for (float milliseconds : {0.999f, 0.2f, 0.0f, -5.0f, -kInf, kNaN}) {
        SCOPED_TRACE(milliseconds);
        EXPECT_EQ(levelsFor(milliseconds), oneMillisecond);
    }
}

TEST_F(ShapeEnvelope, ClipKeepsSplineOvershootWithinZeroAndOne) {
    // Steep slopes around a flat top overshoot above +5 V and below -5 V.
    contour({{0.0f, -1.0f}, {0.1f, 1.0f}, {0.2f, 1.0f}, {0.3f, -1.0f}, {1.0f, -1.0f}}, 50.0f);
    env->setInt(kInterpolation, 0, 20);
    env->setBool(kClip, 0, false);
    env->setBool(kGate, 0, true);
    std::vector<float> const free = render(4800);
    EXPECT_GT(*std::max_element(free.begin(), free.end()), 1.05f);
    EXPECT_LT(*std::min_element(free.begin(), free.end()), -0.01f);

    // Clip alone takes effect at the next gate.
    env->setBool(kClip, 0, true);
    env->setBool(kGate, 0, true);
    std::vector<float> const clipped = render(4800);
    EXPECT_EQ(*std::max_element(clipped.begin(), clipped.end()), 1.0f);
    EXPECT_EQ(*std::min_element(clipped.begin(), clipped.end()), 0.0f);
}

TEST_F(ShapeEnvelope, HostileHostsAndValuesStayInsideTheTable) {
    struct Case {
        char const* name;
        float sampleRate;
        int32_t countdown;
        float milliseconds;
        Nodes nodes;
        int32_t sustainNode;
    };
    Nodes const peak = {{0.0f, -1.0f}, {0.5f, 1.0f}, {1.0f, -1.0f}};
    Case const cases[] = {
        {"countdown -100", 48000.0f, -100, 50.0f, peak, 1},
        {"countdown -10000", 48000.0f, -10000, 50.0f, peak, 1},
        {"countdown INT32_MAX", 48000.0f, std::numeric_limits<int32_t>::max(), 50.0f, peak, -1},
        {"sample rate 0", 0.0f, 64, 50.0f, peak, 1},
        {"sample rate NaN", kNaN, 64, 50.0f, peak, 1},
        {"sample rate -48000", -48000.0f, 64, 50.0f, peak, 1},
        {"duration NaN", 48000.0f, 64, kNaN, peak, 1},
        {"duration +inf", 48000.0f, 64, kInf, peak, 1},
        {"sustain x below 0", 48000.0f, 64, 50.0f, {{0.0f, 0.0f}, {-0.5f, 1.0f}, {1.0f, 0.0f}}, 1},
        {"sustain x beyond 1", 48000.0f, 64, 50.0f, {{0.0f, 0.0f}, {3.0f, 1.0f}, {1.0f, 0.0f}}, 1},
        {"sustain x NaN", 48000.0f, 64, 50.0f, {{0.0f, 0.0f}, {kNaN, 1.0f}, {1.0f, 0.0f}}, 1},
        {"heights not numbers", 48000.0f, 64, 50.0f, {{0.0f, kNaN}, {0.5f, kInf}, {1.0f, -kInf}}, 1},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        zr::host::AudioModuleOptions options;
        options.sampleRate = c.sampleRate;
        options.countdown = c.countdown;
        env = startedEnvelope(options);
        contour(c.nodes, c.milliseconds, c.sustainNode);
        env->setBool(kGate, 0, true);
        std::vector<float> levels = render(2400);
        env->setBool(kGate, 0, false);
        std::vector<float> const release = render(9600);
        levels.insert(levels.end(), release.begin(), release.end());
        for (float level : levels)
            ASSERT_TRUE(std::isfinite(level)) << level;
        // A valid sample rate and duration always bring the run to its end.
        if (c.sampleRate > 0.0f && std::isfinite(c.milliseconds) && c.countdown >= 0 && c.countdown < 100000) {
            EXPECT_EQ(env->host().streamingOf(kOut), false);
        }
    }
}

TEST_F(ShapeEnvelope, GainMatchAgainstASilentSustainNodeStaysFinite) {
    // Overshoot below 0 just before a sustain node at -5 V (level 0), with Clip off.
    contour({{0.0f, 1.0f}, {0.3f, 1.0f}, {0.35f, -1.0f}, {0.5f, -1.0f}, {1.0f, -1.0f}}, 100.0f, 3);
    env->setInt(kInterpolation, 0, 20);
    env->setBool(kClip, 0, false);
    env->setBool(kGate, 0, true);
    std::vector<float> levels;
    for (int i = 0; i < 4800 && (levels.empty() || levels.back() >= -1e-3f); ++i)
        levels.push_back(render(1, 1)[0]);
    ASSERT_LT(levels.back(), -1e-3f) << "the contour must dip below 0 before the node";
    env->setBool(kGate, 0, false);
    for (float level : render(6000))
        ASSERT_TRUE(std::isfinite(level) && std::fabs(level) < 1.0f) << level;
}

TEST_F(ShapeEnvelope, OutputIsBoundedOverRandomShapesPinsAndBlocks) {
    std::mt19937 random(20261208);
    std::uniform_real_distribution<float> height(-1.0f, 1.0f), input(-1.0f, 1.0f), duration(-2.0f, 80.0f);
    int32_t const modes[] = {0, 10, 20, 30};
    for (int round = 0; round < 300; ++round) {
        int32_t const blockSize = 1 + static_cast<int32_t>(random() % 600);
        auto at = [&] { return static_cast<int32_t>(random() % blockSize); };
        Nodes nodes = {{0.0f, height(random)}};
        int const interior = static_cast<int>(random() % 6);
        for (int i = 1; i <= interior; ++i)
            nodes.emplace_back(static_cast<float>(i) / static_cast<float>(interior + 1), height(random));
        nodes.emplace_back(1.0f, height(random));
        if (random() % 3 == 0) {
            env->setBytes(kShape, at(), shapeImage(nodes));
            env->setInt(kInterpolation, at(), modes[random() % 4]);
            env->setInt(kSustainNode, at(), static_cast<int32_t>(random() % 8) - 1);
        }
        if (random() % 3 == 0)
            env->setFloat(kDuration, at(), duration(random));
        if (random() % 2 == 0)
            env->setBool(kGate, at(), random() % 2 == 0);
        for (int32_t i = 0; i < blockSize; ++i)
            env->buffer(kInput)[i] = input(random);
        env->process(blockSize);
        for (int32_t i = 0; i < blockSize; ++i) {
            float const out = env->buffer(kOut)[i];
            // Clip is on: levels stay in 0..1, so the output never exceeds the input.
            ASSERT_LE(std::fabs(out), std::fabs(env->buffer(kInput)[i]) + 1e-6f) << "round " << round;
        }
    }
}

} // namespace

// The block forms of the transfer curve and the wave-table oscillator, both as chosen for this
// CPU and as built for any x86-64 CPU, bit-identical to the per-sample formulas for any input.

#include "dsp/TransferCurve.h"
#include "dsp/WaveBlock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <limits>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

#include "shapes/Clamp.h"
#include "tests/dsp/WaveModel.h"

namespace {

using zr::TransferCurve;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// The formula exactly as the waveshapers first computed it, one sample at a time.
float referenceSample(float const* table, float inputOffset, float inputScale, float input) {
    float const t = (input - inputOffset) * inputScale;
    float const position = static_cast<float>(TransferCurve::kTableSize - 1) * std::max(0.0f, std::min(1.0f, t));
    auto const index = static_cast<int32_t>(position);
    float const fraction = position - static_cast<float>(index);
    return table[index] * (1.0f - fraction) + table[index + 1] * fraction;
}

float randomSample(std::mt19937& rng) {
    float const specials[] = {0.0f, -0.0f, 1.0f, -1.0f, 0.5f, -0.5f, kNaN,
                              std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                              std::numeric_limits<float>::denorm_min(), 1.0e30f, -1.0e30f};
    int const pick = std::uniform_int_distribution<int>(0, 19)(rng);
    if (pick < static_cast<int>(std::size(specials)))
        return specials[pick];
    return std::uniform_real_distribution<float>(-1.5f, 1.5f)(rng);
}


TEST(TransferCurveBlock, MatchesTheSampleBySampleFormulaBitForBit) {
    std::mt19937 rng(20261206);
    std::vector<float> table(TransferCurve::kTableSize + 1);
    std::pair<float, float> const ranges[] = { // offset, scale
        {-0.5f, 1.0f}, {0.0f, 0.0f}, {0.3f, -2.0f}, {-0.01f, 50.0f}, {0.25f, 1.0e-3f}};
    int32_t const lengths[] = {0, 1, 7, 8, 63, 64, 65, 200, 512};
    for (int round = 0; round < 20; ++round) {
        std::uniform_real_distribution<float> level(-1.0f, 1.0f);
        for (float& entry : table)
            entry = level(rng);
        table[0] = round % 2 == 0 ? -0.0f : table[0]; // signed zeros reach the output
        table[TransferCurve::kTableSize] = 0.0f;      // the guard entry
        for (auto const& [offset, scale] : ranges) {
            TransferCurve::Lookup const curve{table.data(), offset, scale};
            for (int32_t length : lengths) {
                SCOPED_TRACE(testing::Message() << "round " << round << ", scale " << scale << ", length " << length);
                std::vector<float> input(static_cast<size_t>(length));
                for (float& sample : input)
                    sample = randomSample(rng);
                std::vector<float> output(input.size(), -7.0f);
                curve.apply(input.data(), output.data(), length);
                std::vector<float> portable(input.size(), -7.0f);
                curve.applyPortable(input.data(), portable.data(), length);
                std::vector<float> inPlace = input;
                curve.apply(inPlace.data(), inPlace.data(), length);
                for (size_t i = 0; i < input.size(); ++i) {
                    auto const expected = std::bit_cast<uint32_t>(referenceSample(table.data(), offset, scale, input[i]));
                    ASSERT_EQ(std::bit_cast<uint32_t>(output[i]), expected) << "sample " << i << " input " << input[i];
                    ASSERT_EQ(std::bit_cast<uint32_t>(inPlace[i]), expected) << "in place, sample " << i;
                    ASSERT_EQ(std::bit_cast<uint32_t>(portable[i]), expected) << "portable, sample " << i;
                    ASSERT_EQ(std::bit_cast<uint32_t>(curve(input[i])), expected) << "per sample, sample " << i;
                }
            }
        }
    }
}

// A run's first samples as the cases need them: what the first sample's phase modulation makes
// of the read position.
enum class FirstOffset {
    random,
    cycleBelow, // offset -cycle at phase 0: wraps to -0
    cycleAbove, // offset +cycle just below the cycle's end: rounds to two cycles, wraps to +0
    tinyBelow,  // just below 0 at phase 0: + cycle rounds to the cycle's end
};

struct RunCase {
    float increment; // in cycles
    float phase;     // in cycles
    FirstOffset first;
};

// playRun() and its portable form against the per-sample model: the samples played (the
// first, then as long as the pitch stays), their bits, the last of them and the phase after
// them; samples after the run stay untouched.
TEST(WaveBlock, RunMatchesThePerSampleModelBitForBit) {
    using namespace zr::wave;
    std::mt19937 rng(20261206);
    float const justBelowOne = std::nextafter(1.0f, 0.0f);
    RunCase const cases[] = {
        {0.0f, 0.0f, FirstOffset::random},        {0.013f, 0.3f, FirstOffset::random},
        {0.2f, justBelowOne, FirstOffset::random}, {justBelowOne, 0.5f, FirstOffset::random}, // the widest vector step
        {1.0f, 0.25f, FirstOffset::random},       {2.5f, 0.0f, FirstOffset::random},          // a cycle and more per step
        {0.25f, 0.0f, FirstOffset::random},                                                   // the phase hits the cycle's end
        {0.01f, 0.0f, FirstOffset::cycleBelow},   {0.01f, justBelowOne, FirstOffset::cycleAbove},
        {0.01f, 0.0f, FirstOffset::tinyBelow},
        // Phases that step through binades: eight steps ending exactly at a binade's end or at
        // the cycle's, starting at a binade's start, just below the cycle or the threshold of
        // binade steps, tiny and subnormal increments (from 0 the phase runs through subnormal
        // numbers), and one that stalls where half its size is under a spacing.
        {1.0f / 128, 0.25f, FirstOffset::random}, {1.0f / 64, 0.5f, FirstOffset::random},
        {std::nextafter(1.0f / 64, 0.0f), 0.5f, FirstOffset::random}, {1.0f / 1024, 0.0f, FirstOffset::random},
        {0.0031f, std::nextafter(1.0f, 0.0f), FirstOffset::random}, {1e-7f, 0.5f, FirstOffset::random},
        {1e-9f, 0.0f, FirstOffset::random},       {1e-9f, 0.3f, FirstOffset::random},
        {std::numeric_limits<float>::denorm_min() * 64, 0.0f, FirstOffset::random},
        // Increments halfway between two multiples of the spacing of a binade the phase passes,
        // where each sum rounds to the even neighbour, which depends on the phase: from phases
        // on an odd multiple of the spacing (0.75 + 2^-24) the first sum rounds up, later ones not.
        {(1.0f + 0x1p-15f) / 1024, 0.3f, FirstOffset::random}, {(3.0f + 0x1p-16f) / 1024, 0.1f, FirstOffset::random},
        {(1.0f + 0x1p-15f) / 1024, 0.75f + 0x1p-24f, FirstOffset::random},
        {0x1p-25f * 3, 0.75f + 0x1p-24f, FirstOffset::random},
    };
    for (int32_t size : {1024, 4096}) {
        auto const cycle = static_cast<float>(size);
        std::vector<float> table(static_cast<size_t>(size));
        std::uniform_real_distribution<float> level(-1.0f, 1.0f), wide(-1.5f, 1.5f);
        for (float& entry : table)
            entry = level(rng);
        table[0] = -0.0f; // read at position 0 below a falling entry: -0, which a sum from 0 makes +0
        table[1] = -0.25f;
        std::vector<float> guarded = table;
        guarded.push_back(table[0]);
        for (int32_t subSteps : {1, 2, 4, 8, 16, 256}) {
            for (RunCase const& c : cases) {
                for (bool modulated : {false, true}) {
                    for (auto const& [count, runPitch] : {std::pair{1, 0.5f}, {7, 0.5f}, {8, 0.5f}, {9, 0.5f}, {64, 0.5f},
                                                         {333, 0.5f}, {64, kNaN}}) {
                        SCOPED_TRACE(testing::Message() << "size " << size << ", sub-steps " << subSteps << ", increment "
                                                        << c.increment << ", phase " << c.phase << ", first offset "
                                                        << static_cast<int>(c.first) << (modulated ? ", modulated" : "")
                                                        << ", count " << count << ", pitch " << runPitch);
                        // The pitch stays for a random stretch, then changes (or never).
                        int32_t const stays = std::uniform_int_distribution<int32_t>(1, count + 1)(rng);
                        std::vector<float> pitch(static_cast<size_t>(count), runPitch), phaseMod(pitch.size()), depth(pitch.size());
                        for (int32_t i = stays; i < count; ++i)
                            pitch[static_cast<size_t>(i)] = 0.25f;
                        for (size_t i = 0; i < pitch.size(); ++i) {
                            phaseMod[i] = i % 7 == 3 ? -1.0f : wide(rng);
                            depth[i] = i % 7 == 3 ? 1.0f : wide(rng);
                        }
                        phaseMod[0] = c.first == FirstOffset::cycleBelow ? -1.0f
                                    : c.first == FirstOffset::cycleAbove ? 1.0f
                                    : c.first == FirstOffset::tinyBelow  ? -1e-9f
                                                                         : phaseMod[0];
                        depth[0] = c.first == FirstOffset::random ? depth[0] : 1.0f;
                        float const increment = c.increment * cycle;
                        float const start = std::min(c.phase * cycle, std::nextafter(cycle, 0.0f));
                        PhaseRun const run{guarded.data(), size - 1, subSteps, 1.0f / static_cast<float>(subSteps), runPitch,
                                           increment};
                        RunInputs const inputs = modulated ? RunInputs{pitch.data(), phaseMod.data(), depth.data()}
                                                           : RunInputs{pitch.data()};

                        int32_t played = 1;
                        while (played < count && pitch[static_cast<size_t>(played)] == runPitch) // a NaN never equals
                            ++played;
                        std::vector<float> expected(pitch.size(), 7.0f);
                        float modelPhase = start;
                        for (int32_t i = 0; i < played; ++i) {
                            auto const k = static_cast<size_t>(i);
                            float const offset = modulated ? zr::test::modelModulation(phaseMod[k], depth[k]) * cycle : 0.0f;
                            expected[k] = zr::test::modelSample(table, subSteps, increment, offset, modelPhase);
                        }
                        for (bool portable : {false, true}) {
                            std::vector<float> output(pitch.size(), 7.0f);
                            float last = 7.0f;
                            RunEnd end{0, last};
                            float const phase = portable ? playRunPortable(run, start, inputs, output.data(), count, end)
                                                         : playRun(run, start, inputs, output.data(), count, end);
                            ASSERT_EQ(end.played, played) << (portable ? "portable" : "");
                            ASSERT_EQ(std::bit_cast<uint32_t>(phase), std::bit_cast<uint32_t>(modelPhase)) << (portable ? "portable" : "");
                            ASSERT_EQ(std::bit_cast<uint32_t>(last), std::bit_cast<uint32_t>(expected[static_cast<size_t>(played - 1)]));
                            for (size_t i = 0; i < output.size(); ++i)
                                ASSERT_EQ(std::bit_cast<uint32_t>(output[i]), std::bit_cast<uint32_t>(expected[i]))
                                    << (portable ? "portable, " : "") << "sample " << i << ": " << output[i] << " against " << expected[i];
                        }
                    }
                }
            }
        }
    }
}

// The silence checks, and the terms a block computes (vector and portable forms), at the first
// sample, inside the first eight and after the last full eight.
TEST(WaveBlock, SilenceChecksAgreeWithTheProducts) {
    using namespace zr::wave;
    constexpr float kTiny = 1e-30f; // a product of two of them underflows to 0
    std::tuple<float, float, float> const cases[] = { // phase modulation, depth, feedback
        {0.0f, 0.0f, 0.0f}, {0.7f, -0.0f, -0.0f}, {kNaN, -3.0f, 0.0f}, {0.0f, 0.5f, 0.0f},      {kTiny, kTiny, 0.0f},
        {0.3f, 0.5f, 0.0f}, {0.3f, kNaN, 0.0f},   {-2.0f, 2.0f, 1e-38f}, {kNaN, 0.2f, kNaN},    {0.0f, 0.0f, -1.0f},
    };
    for (auto const& [phaseMod, depth, feedback] : cases) {
        for (int32_t at : {0, 5, 13, 17}) { // alone, and after silent samples
            SCOPED_TRACE(testing::Message() << "phase mod " << phaseMod << ", depth " << depth << ", feedback "
                                            << feedback << " at " << at);
            std::vector<float> phaseModBlock(20, 0.9f), depthBlock(20, 0.0f), feedbackBlock(20, 0.0f);
            phaseModBlock[at] = phaseMod;
            depthBlock[at] = depth;
            feedbackBlock[at] = feedback;
            bool const productZero = zr::clampf(phaseMod, -1.0f, 1.0f) * zr::clampf(depth, 0.0f, 1.0f) == 0.0f;
            EXPECT_EQ(modulationSilent(phaseModBlock.data(), depthBlock.data(), 20), productZero);
            EXPECT_EQ(allZero(feedbackBlock.data(), 20), feedback == 0.0f);
            OffsetTerms const expected = feedback != 0.0f ? OffsetTerms::modulationAndFeedback
                                       : productZero     ? OffsetTerms::none
                                                         : OffsetTerms::modulation;
            EXPECT_EQ(offsetTermsOf(feedbackBlock.data(), phaseModBlock.data(), depthBlock.data(), 20), expected);
            EXPECT_EQ(offsetTermsOfPortable(feedbackBlock.data(), phaseModBlock.data(), depthBlock.data(), 20), expected);
        }
    }
}

} // namespace

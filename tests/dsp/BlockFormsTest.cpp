// The block forms of the transfer curve and the wave table, both as chosen for this CPU and as
// built for any x86-64 CPU, bit-identical to the per-sample formulas for any input.

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

// The one-position formula is the oscillator's sum of one sub-step: 0 + the interpolated entry.
TEST(WaveBlock, ReadMatchesTheOnePositionFormulaBitForBit) {
    using namespace zr::wave;
    std::mt19937 rng(20261206);
    for (int32_t size : {1024, 4096}) {
        std::vector<float> table(static_cast<size_t>(size));
        std::uniform_real_distribution<float> level(-1.0f, 1.0f), place(0.0f, static_cast<float>(size));
        for (float& entry : table)
            entry = level(rng);
        table[0] = -0.0f; // read at position 0 below a falling entry: -0, which a sum from 0 makes +0
        table[1] = -0.25f;
        for (int32_t length : {0, 1, 7, 8, 9, 64, 333}) {
            SCOPED_TRACE(testing::Message() << "size " << size << ", length " << length);
            std::vector<float> positions(static_cast<size_t>(length));
            for (int32_t i = 0; i < length; ++i) // the cycle's ends among them: 0, just below and at the end
                positions[i] = i % 5 == 0 ? 0.0f : i % 5 == 1 ? std::nextafter(static_cast<float>(size), 0.0f)
                             : i % 5 == 2 ? static_cast<float>(size) : place(rng);
            std::vector<float> output(positions.size(), 7.0f), portable(positions.size(), 7.0f);
            readBlock(table.data(), size - 1, positions.data(), output.data(), length);
            readBlockPortable(table.data(), size - 1, positions.data(), portable.data(), length);
            for (int32_t i = 0; i < length; ++i) {
                auto const expected = std::bit_cast<uint32_t>(0.0f + readAt(table.data(), size - 1, positions[i]));
                ASSERT_EQ(std::bit_cast<uint32_t>(output[i]), expected) << "position " << positions[i];
                ASSERT_EQ(std::bit_cast<uint32_t>(portable[i]), expected) << "portable, position " << positions[i];
            }
        }
    }
}

TEST(WaveBlock, SilenceChecksAgreeWithTheProducts) {
    using namespace zr::wave;
    constexpr float kTiny = 1e-30f; // a product of two of them underflows to 0
    std::tuple<float, float, float> const cases[] = { // phase modulation, depth, feedback
        {0.0f, 0.0f, 0.0f}, {0.7f, -0.0f, -0.0f}, {kNaN, -3.0f, 0.0f}, {0.0f, 0.5f, 0.0f},      {kTiny, kTiny, 0.0f},
        {0.3f, 0.5f, 0.0f}, {0.3f, kNaN, 0.0f},   {-2.0f, 2.0f, 1e-38f}, {kNaN, 0.2f, kNaN},    {0.0f, 0.0f, -1.0f},
    };
    for (auto const& [phaseMod, depth, feedback] : cases) {
        for (int32_t at : {0, 13}) { // alone, and after silent samples
            SCOPED_TRACE(testing::Message() << "phase mod " << phaseMod << ", depth " << depth << ", feedback "
                                            << feedback << " at " << at);
            std::vector<float> phaseModBlock(20, 0.9f), depthBlock(20, 0.0f), feedbackBlock(20, 0.0f);
            phaseModBlock[at] = phaseMod;
            depthBlock[at] = depth;
            feedbackBlock[at] = feedback;
            bool const productZero = zr::clampf(phaseMod, -1.0f, 1.0f) * zr::clampf(depth, 0.0f, 1.0f) == 0.0f;
            EXPECT_EQ(modulationSilent(phaseModBlock.data(), depthBlock.data(), 20), productZero);
            EXPECT_EQ(allZero(feedbackBlock.data(), 20), feedback == 0.0f);
        }
    }
}

TEST(WaveBlock, LeadingEqualCountsUpToTheFirstOtherSample) {
    using zr::wave::leadingEqual;
    // Value, the other sample and where it is (20: nowhere), the count expected.
    std::tuple<float, float, int32_t, int32_t> const cases[] = {
        {0.5f, 0.6f, 20, 20}, {0.5f, 0.6f, 0, 0},   {0.5f, 0.6f, 7, 7}, {0.5f, 0.6f, 8, 8},
        {0.5f, 0.6f, 17, 17}, {0.0f, -0.0f, 3, 20}, {0.5f, kNaN, 9, 9}, {kNaN, kNaN, 20, 0}};
    for (auto const& [value, other, otherAt, expected] : cases) {
        SCOPED_TRACE(testing::Message() << "value " << value << ", other " << other << " at " << otherAt);
        std::vector<float> samples(20, value);
        if (otherAt < 20)
            samples[static_cast<size_t>(otherAt)] = other;
        EXPECT_EQ(leadingEqual(samples.data(), 20, value), expected);
    }
}

} // namespace

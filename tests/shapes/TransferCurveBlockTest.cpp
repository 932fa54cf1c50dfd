// The transfer curve's block function against the per-sample formula as the waveshapers first
// computed it, one sample at a time: the block form, both as chosen for this CPU and as built
// for any x86-64 CPU, must give bit-identical results for any table, range and input, NaN and
// infinities included.

#include "shapes/TransferCurve.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

namespace {

using zr::TransferCurve;

// The formula exactly as the per-sample loop had it.
float referenceSample(float const* table, float inputOffset, float inputScale, float input) {
    float const t = (input - inputOffset) * inputScale;
    float const position = static_cast<float>(TransferCurve::kTableSize - 1) * std::max(0.0f, std::min(1.0f, t));
    auto const index = static_cast<int32_t>(position);
    float const fraction = position - static_cast<float>(index);
    return table[index] * (1.0f - fraction) + table[index + 1] * fraction;
}

float randomSample(std::mt19937& rng) {
    float const specials[] = {0.0f, -0.0f, 1.0f, -1.0f, 0.5f, -0.5f, std::numeric_limits<float>::quiet_NaN(),
                              std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                              std::numeric_limits<float>::denorm_min(), 1.0e30f, -1.0e30f};
    int const pick = std::uniform_int_distribution<int>(0, 19)(rng);
    if (pick < static_cast<int>(std::size(specials)))
        return specials[pick];
    return std::uniform_real_distribution<float>(-1.5f, 1.5f)(rng);
}

struct Range {
    float offset;
    float scale;
};

TEST(TransferCurveBlock, MatchesTheSampleBySampleFormulaBitForBit) {
    std::mt19937 rng(20261206);
    std::vector<float> table(TransferCurve::kTableSize + 1);
    Range const ranges[] = {{-0.5f, 1.0f}, {0.0f, 0.0f}, {0.3f, -2.0f}, {-0.01f, 50.0f}, {0.25f, 1.0e-3f}};
    int32_t const lengths[] = {0, 1, 7, 8, 63, 64, 65, 200, 512};
    for (int round = 0; round < 20; ++round) {
        std::uniform_real_distribution<float> level(-1.0f, 1.0f);
        for (float& entry : table)
            entry = level(rng);
        table[0] = round % 2 == 0 ? -0.0f : table[0]; // signed zeros reach the output
        table[TransferCurve::kTableSize] = 0.0f;      // the guard entry
        for (Range const range : ranges) {
            TransferCurve::Lookup const curve{table.data(), range.offset, range.scale};
            for (int32_t length : lengths) {
                SCOPED_TRACE(testing::Message() << "round " << round << ", scale " << range.scale << ", length " << length);
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
                    auto const expected = std::bit_cast<uint32_t>(referenceSample(table.data(), range.offset, range.scale, input[i]));
                    ASSERT_EQ(std::bit_cast<uint32_t>(output[i]), expected) << "sample " << i << " input " << input[i];
                    ASSERT_EQ(std::bit_cast<uint32_t>(inPlace[i]), expected) << "in place, sample " << i;
                    ASSERT_EQ(std::bit_cast<uint32_t>(portable[i]), expected) << "portable, sample " << i;
                    ASSERT_EQ(std::bit_cast<uint32_t>(curve(input[i])), expected) << "per sample, sample " << i;
                }
            }
        }
    }
}

} // namespace

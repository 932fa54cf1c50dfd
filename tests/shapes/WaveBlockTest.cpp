// The wave table's block read against the one-position formula (the oscillator's sum of one
// sub-step, 0 + the interpolated entry), both as chosen for this CPU and as built for any
// x86-64 CPU; and the silence checks against the products they stand for.

#include "shapes/WaveBlock.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "shapes/Clamp.h"

namespace {

using namespace zr::wave;

TEST(WaveBlock, ReadMatchesTheOnePositionFormulaBitForBit) {
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
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    constexpr float kTiny = 1e-30f; // a product of two of them underflows to 0
    struct Case {
        float phaseMod, depth, feedback;
    } const cases[] = {
        {0.0f, 0.0f, 0.0f}, {0.7f, -0.0f, -0.0f}, {kNaN, -3.0f, 0.0f}, {0.0f, 0.5f, 0.0f},      {kTiny, kTiny, 0.0f},
        {0.3f, 0.5f, 0.0f}, {0.3f, kNaN, 0.0f},   {-2.0f, 2.0f, 1e-38f}, {kNaN, 0.2f, kNaN},    {0.0f, 0.0f, -1.0f},
    };
    for (Case const& c : cases) {
        for (int32_t at : {0, 13}) { // alone, and after silent samples
            SCOPED_TRACE(testing::Message() << "phase mod " << c.phaseMod << ", depth " << c.depth << ", feedback "
                                            << c.feedback << " at " << at);
            std::vector<float> phaseMod(20, 0.9f), depth(20, 0.0f), feedback(20, 0.0f);
            phaseMod[at] = c.phaseMod;
            depth[at] = c.depth;
            feedback[at] = c.feedback;
            bool const productZero = zr::clampf(c.phaseMod, -1.0f, 1.0f) * zr::clampf(c.depth, 0.0f, 1.0f) == 0.0f;
            EXPECT_EQ(modulationSilent(phaseMod.data(), depth.data(), 20), productZero);
            EXPECT_EQ(allZero(feedback.data(), 20), c.feedback == 0.0f);
        }
    }
}

TEST(WaveBlock, LeadingEqualCountsUpToTheFirstOtherSample) {
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        float value, other;
        int32_t otherAt, expected; // otherAt 20: no other sample
    } const cases[] = {{0.5f, 0.6f, 20, 20}, {0.5f, 0.6f, 0, 0}, {0.5f, 0.6f, 7, 7}, {0.5f, 0.6f, 8, 8},
                       {0.5f, 0.6f, 17, 17}, {0.0f, -0.0f, 3, 20}, {0.5f, kNaN, 9, 9},    {kNaN, kNaN, 20, 0}};
    for (Case const& c : cases) {
        SCOPED_TRACE(testing::Message() << "value " << c.value << ", other " << c.other << " at " << c.otherAt);
        std::vector<float> samples(20, c.value);
        if (c.otherAt < 20)
            samples[static_cast<size_t>(c.otherAt)] = c.other;
        EXPECT_EQ(leadingEqual(samples.data(), 20, c.value), c.expected);
    }
}

} // namespace

// The signals that feed unwired audio inputs (1.0 = 10 V), the same in any split of blocks.

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

#include "host/patch/AudioSource.h"

namespace zr::host {
namespace {

constexpr float kRate = 100.0f;

std::vector<float> samples(AudioSource const& source, int64_t start, int32_t count) {
    std::vector<float> made(static_cast<size_t>(count));
    source.fill(made.data(), start, count, kRate);
    return made;
}

TEST(AudioSource, SignalsAtTheirSamples) {
    using Kind = AudioSource::Kind;
    // A quarter period of the sine is one sample at 100 Hz; the ramp lasts 50 samples.
    AudioSource const sine{.kind = Kind::Sine, .level = 1.0f, .amplitude = 4.0f, .frequency = 25.0, .samples = {}};
    AudioSource const ramp{.kind = Kind::Ramp, .from = -5.0f, .to = 5.0f, .seconds = 0.5, .samples = {}};
    AudioSource const file{.kind = Kind::File, .samples = {0.25f, -0.5f}};
    std::tuple<char const*, AudioSource, int64_t, float> const cases[] = { // name, source, sample, expected
        {"constant in volts", AudioSource::constant(4.0f), 123, 0.4f},
        {"sine at its offset", sine, 0, 0.1f},
        {"sine at its peak", sine, 1, 0.5f},
        {"sine at its trough", sine, 3, -0.3f},
        {"ramp start", ramp, 0, -0.5f},
        {"ramp middle", ramp, 25, 0.0f},
        {"ramp holds its end", ramp, 1000, 0.5f},
        {"file samples as they are", file, 1, -0.5f},
        {"file ends in silence", file, 2, 0.0f},
    };
    for (auto const& [name, source, sample, expected] : cases) {
        SCOPED_TRACE(name);
        EXPECT_NEAR(samples(source, sample, 1)[0], expected, 1e-6f);
    }
}

TEST(AudioSource, NoiseStaysInRangeAndDoesNotDependOnTheBlocks) {
    AudioSource noise{.kind = AudioSource::Kind::Noise, .amplitude = 2.0f, .samples = {}};
    std::vector<float> const whole = samples(noise, 0, 1000);
    std::vector<float> joined = samples(noise, 0, 333);
    std::vector<float> const rest = samples(noise, 333, 667);
    joined.insert(joined.end(), rest.begin(), rest.end());
    EXPECT_EQ(whole, joined);
    float low = 1.0f, high = -1.0f, sum = 0.0f;
    for (float sample : whole) {
        low = std::min(low, sample);
        high = std::max(high, sample);
        sum += sample;
    }
    EXPECT_GE(low, -0.2f);
    EXPECT_LE(high, 0.2f);
    EXPECT_LT(low, -0.15f) << "spread over the range";
    EXPECT_GT(high, 0.15f);
    EXPECT_NEAR(sum / 1000.0f, 0.0f, 0.02f);
    noise.seed = 2;
    EXPECT_NE(samples(noise, 0, 1000), whole) << "another seed, another noise";
}

} // namespace
} // namespace zr::host

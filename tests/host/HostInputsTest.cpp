// What our host feeds a module: event lists (where the data travels, in which order events
// arrive) and the signals on unwired audio inputs (1.0 = 10 V), the same in any split of blocks.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <tuple>
#include <vector>

#include "host/EventQueue.h"
#include "host/patch/AudioSource.h"

namespace zr::host {
namespace {

std::vector<uint8_t> countingBytes(std::size_t size, uint8_t first) {
    std::vector<uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

// Inline bytes beyond the value are zero: a module may read all of parm3 for a 1-byte value.
TEST(EventQueue, DataUpToEightBytesTravelsInlineLargerInExtraData) {
    for (std::size_t size : {0u, 1u, 4u, 8u, 9u, 808u}) {
        SCOPED_TRACE("size " + std::to_string(size));
        EventQueue queue;
        std::vector<uint8_t> const sent = countingBytes(size, 0xF1);
        queue.add(gmpi::EVENT_PIN_SET, 3, 5, sent.data(), sent.size());
        gmpi::MpEvent const* event = queue.build();
        ASSERT_NE(event, nullptr);
        EXPECT_EQ(event->parm2, static_cast<int32_t>(size));
        EXPECT_EQ(event->extraData == nullptr, size <= 8);
        std::vector<uint8_t> inlineBytes(8, 0);
        std::copy_n(sent.begin(), std::min<std::size_t>(size, 8), inlineBytes.begin());
        auto const* data = event->extraData ? reinterpret_cast<uint8_t const*>(event->extraData)
                                            : reinterpret_cast<uint8_t const*>(&event->parm3);
        EXPECT_EQ(std::vector<uint8_t>(data, data + std::max<std::size_t>(size, 8)), size <= 8 ? inlineBytes : sent);
    }
}

// Large values queued out of time order into a queue that must grow: stably sorted by time
// (or kept as queued), each event's data following it.
TEST(EventQueue, SortsStablyByTimeAndDataFollowsItsEvent) {
    for (bool keepOrder : {false, true}) {
        SCOPED_TRACE(keepOrder ? "order kept" : "sorted");
        EventQueue queue(2);
        queue.keepOrderAsGiven(keepOrder);
        auto const timeOf = [](int32_t pin) { return (pin * 7) % 5; };
        for (int32_t pin = 0; pin < 50; ++pin) {
            std::vector<uint8_t> const bytes = countingBytes(16, static_cast<uint8_t>(pin));
            queue.add(gmpi::EVENT_PIN_SET, pin, timeOf(pin), bytes.data(), bytes.size());
        }
        std::vector<int32_t> pins;
        for (gmpi::MpEvent const* event = queue.build(); event; event = event->next) {
            pins.push_back(event->parm1);
            EXPECT_EQ(event->timeDelta, timeOf(event->parm1));
            EXPECT_EQ(std::vector<uint8_t>(event->extraData, event->extraData + 16),
                      countingBytes(16, static_cast<uint8_t>(event->parm1)));
        }
        std::vector<int32_t> expected(50);
        std::iota(expected.begin(), expected.end(), 0); // as queued
        if (!keepOrder) {
            expected.clear(); // by time, and in queue order within a time
            for (int32_t time = 0; time < 5; ++time)
                for (int32_t pin = 0; pin < 50; ++pin)
                    if (timeOf(pin) == time)
                        expected.push_back(pin);
        }
        EXPECT_EQ(pins, expected);
    }
}

constexpr float kRate = 100.0f;

std::vector<float> samples(AudioSource const& source, int64_t start, int32_t count) {
    std::vector<float> made(static_cast<size_t>(count));
    source.fill(made.data(), start, count, kRate);
    return made;
}

TEST(AudioSource, SignalsAtTheirSamples) {
    using Kind = AudioSource::Kind;
    // A quarter period of the sine is one sample at 100 Hz; the ramp lasts 50 samples.
    AudioSource const sine{.kind = Kind::Sine, .level = 1.0f, .amplitude = 4.0f, .frequency = 25.0, .samples = {}, .externalName = {}};
    AudioSource const ramp{.kind = Kind::Ramp, .from = -5.0f, .to = 5.0f, .seconds = 0.5, .samples = {}, .externalName = {}};
    AudioSource const file{.kind = Kind::File, .samples = {0.25f, -0.5f}, .externalName = {}};
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
    AudioSource noise{.kind = AudioSource::Kind::Noise, .amplitude = 2.0f, .samples = {}, .externalName = {}};
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

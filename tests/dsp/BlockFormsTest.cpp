// The block forms of the transfer curve and the wave-table oscillator, both as chosen for this
// CPU and as built for any x86-64 CPU, and the oscillator engine's blocks, bit-identical to the
// per-sample formulas for any input: both table sizes the modules use, every oversampling
// factor and block sizes around the vector width, over random shapes, interpolation modes,
// frequency modes and pitches that change inside blocks.

#include "dsp/FastExp2.h"
#include "dsp/TransferCurve.h"
#include "dsp/WaveBlock.h"
#include "dsp/WaveOscillator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

#include "shapes/Clamp.h"
#include "shapes/Interpolator.h"
#include "tests/shapes/ShapeTestSupport.h"

namespace zr::test {
namespace {

// The wave-table oscillator's formula one sample at a time, written from its definition rather
// than from the engine's code: every wrap is the exact remainder (std::fmod, which is exact),
// every sample takes the whole read offset (phase modulation and feedback, whether silent or
// not). The block forms are compared with it bit for bit.

// `position` brought into 0..cycle by the exact remainder.
float modelWrap(float position, float cycle) {
    float const remainder = std::fmod(position, cycle);
    return remainder < 0.0f ? remainder + cycle : remainder;
}

// offset + phase wrapped into the cycle; the phase itself should the sum be no number.
float modelReadPosition(float offset, float phase, float cycle) {
    float const position = modelWrap(offset + phase, cycle);
    return position >= 0.0f && position <= cycle ? position : phase;
}

// The phase one increment on, wrapped; a phase that overflowed restarts at 0.
float modelAdvance(float phase, float increment, float cycle) {
    phase += increment;
    if (!(phase < cycle))
        phase = std::fmod(phase, cycle);
    return std::isfinite(phase) ? phase : 0.0f;
}

// Linear interpolation between the entry at the position and the next one, the last entry's
// next being entry 0.
float modelRead(std::vector<float> const& table, float position) {
    auto const size = static_cast<int32_t>(table.size());
    auto const index = static_cast<int32_t>(position);
    float const fraction = position - static_cast<float>(index);
    float const a = table[static_cast<size_t>(index % size)];
    float const b = table[static_cast<size_t>((index + 1) % size)];
    return a + fraction * (b - a);
}

// One output sample: the average of `subSteps` reads at offset + phase, the phase advancing by
// the increment after each.
float modelSample(std::vector<float> const& table, int32_t subSteps, float increment, float offset, float& phase) {
    auto const cycle = static_cast<float>(table.size());
    float total = 0.0f;
    for (int32_t k = 0; k < subSteps; ++k) {
        total += modelRead(table, modelReadPosition(offset, phase, cycle));
        phase = modelAdvance(phase, increment, cycle);
    }
    return total * (1.0f / static_cast<float>(subSteps));
}

// The phase modulation of one sample in cycles.
float modelModulation(float phaseMod, float depth) {
    return zr::clampf(phaseMod, -1.0f, 1.0f) * zr::clampf(depth, 0.0f, 1.0f);
}

// The increment per sub-step for a Pitch sample: volts per octave 440 x 2^(10 v - 5) Hz for
// v in 0..1, or linear 10 v Hz up to a quarter of the rate; below 0 (and NaN) the lowest.
float modelIncrement(float pitch, float rate, int32_t tableSize, int32_t subSteps, bool linear) {
    float const limit = linear ? rate * 0.25f : 1.0f;
    float const v = pitch > 0.0f ? std::fmin(pitch, limit) : 0.0f;
    float const factor = linear ? v : zr::fastExp2(zr::clampf(v * 10.0f + (-5.0f), -127.0f, 128.0f));
    float const hertzToIncrement = 1.0f / rate * static_cast<float>(tableSize) * (linear ? 10.0f : 440.0f);
    return factor * (1.0f / static_cast<float>(subSteps)) * hertzToIncrement;
}
using zr::TransferCurve;

// The formula exactly as the waveshapers first computed it, one sample at a time.
float referenceSample(float const* table, float inputOffset, float inputScale, float input) {
    float const t = (input - inputOffset) * inputScale;
    float const position = static_cast<float>(TransferCurve::kTableSize - 1) * std::max(0.0f, std::min(1.0f, t));
    auto const index = static_cast<int32_t>(position);
    float const fraction = position - static_cast<float>(index);
    return table[index] * (1.0f - fraction) + table[index + 1] * fraction;
}

float randomSample(std::mt19937& rng) {
    float const specials[] = {0.0f, -0.0f, 1.0f, -1.0f, 0.5f, -0.5f, kNaN, kInf, -kInf,
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
                std::vector<float> output(input.size(), -7.0f), portable(input.size(), -7.0f), inPlace = input;
                curve.apply(input.data(), output.data(), length);
                curve.applyPortable(input.data(), portable.data(), length);
                curve.apply(inPlace.data(), inPlace.data(), length);
                for (size_t i = 0; i < input.size(); ++i) {
                    auto const expected = std::bit_cast<uint32_t>(referenceSample(table.data(), offset, scale, input[i]));
                    std::pair<char const*, float> const forms[] = {{"block", output[i]}, {"in place", inPlace[i]},
                                                                   {"portable", portable[i]}, {"per sample", curve(input[i])}};
                    for (auto const& [form, value] : forms)
                        ASSERT_EQ(std::bit_cast<uint32_t>(value), expected) << form << ", sample " << i << ", input " << input[i];
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
    float increment, phase; // in cycles
    FirstOffset first = FirstOffset::random;
};

// playRun() and its portable form against the per-sample model: the samples played (the
// first, then as long as the pitch stays), their bits, the last of them and the phase after
// them; samples after the run stay untouched.
TEST(WaveBlock, RunMatchesThePerSampleModelBitForBit) {
    using namespace zr::wave;
    std::mt19937 rng(20261206);
    float const justBelowOne = std::nextafter(1.0f, 0.0f);
    RunCase const cases[] = {
        {0.0f, 0.0f}, {0.013f, 0.3f}, {0.2f, justBelowOne}, {justBelowOne, 0.5f}, // the widest vector step
        {1.0f, 0.25f}, {2.5f, 0.0f},                                                // a cycle and more per step
        {0.25f, 0.0f},                                                              // the phase hits the cycle's end
        {0.01f, 0.0f, FirstOffset::cycleBelow}, {0.01f, justBelowOne, FirstOffset::cycleAbove},
        {0.01f, 0.0f, FirstOffset::tinyBelow},
        // Phases that step through binades: eight steps ending exactly at a binade's end or at
        // the cycle's, starting at a binade's start, just below the cycle or the threshold of
        // binade steps, tiny and subnormal increments (from 0 the phase runs through subnormal
        // numbers), and one that stalls where half its size is under a spacing.
        {1.0f / 128, 0.25f}, {1.0f / 64, 0.5f}, {std::nextafter(1.0f / 64, 0.0f), 0.5f}, {1.0f / 1024, 0.0f},
        {0.0031f, std::nextafter(1.0f, 0.0f)}, {1e-7f, 0.5f}, {1e-9f, 0.0f}, {1e-9f, 0.3f},
        {std::numeric_limits<float>::denorm_min() * 64, 0.0f},
        // Increments halfway between two multiples of the spacing of a binade the phase passes,
        // where each sum rounds to the even neighbour, which depends on the phase: from phases
        // on an odd multiple of the spacing (0.75 + 2^-24) the first sum rounds up, later ones not.
        {(1.0f + 0x1p-15f) / 1024, 0.3f}, {(3.0f + 0x1p-16f) / 1024, 0.1f},
        {(1.0f + 0x1p-15f) / 1024, 0.75f + 0x1p-24f}, {0x1p-25f * 3, 0.75f + 0x1p-24f},
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
                            float const offset = modulated ? modelModulation(phaseMod[k], depth[k]) * cycle : 0.0f;
                            expected[k] = modelSample(table, subSteps, increment, offset, modelPhase);
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

// A random shape in a random interpolation mode, rendered the way the modules render theirs.
class RandomShape : public wave::WaveSource {
public:
    RandomShape(std::mt19937& rng, int32_t tableSize) : interpolator(tableSize) {
        std::vector<Node> const nodes = nodesOf(randomValidNodes(rng));
        interpolator.shape.assignNodes(nodes.data(), static_cast<int32_t>(nodes.size()));
        int32_t const modes[] = {None, Linear, VarekSpline, NaturalSpline};
        interpolator.shape.setInterpolation(modes[std::uniform_int_distribution<int>(0, 3)(rng)]);
    }

    bool readShape() override { return false; }
    void renderShape(float* table, int32_t size) override {
        interpolator.render();
        for (int32_t i = 0; i < size; ++i)
            table[i] = interpolator.readNext();
    }

    Shape::Interpolator interpolator;
};

// The engine's table: half the rendered height clipped to -1..+1, less its mean on request.
std::vector<float> modelTable(RandomShape& shape, int32_t size, bool removeDC) {
    std::vector<float> table(static_cast<size_t>(size));
    shape.renderShape(table.data(), size);
    float sum = 0.0f;
    for (float& entry : table) {
        entry = zr::clampf(0.5f * entry, -1.0f, 1.0f);
        sum += entry;
    }
    if (removeDC)
        for (float& entry : table)
            entry -= sum * (1.0f / static_cast<float>(size));
    return table;
}

// The model's running state, as the engine starts it: phase 0, no increment yet, and a pitch
// of -1 taken as already followed.
struct ModelState {
    float phase = 0.0f, increment = 0.0f, lastPitch = -1.0f, lastOut = 0.0f;
};

// The inputs of one block: a pitch that holds for random stretches (now and then a NaN or far
// out of range), and phase modulation and feedback in some blocks only.
struct BlockInputs {
    std::vector<float> pitch, phaseMod, depth, feedback;
};

BlockInputs randomInputs(std::mt19937& rng, int32_t size, bool linear, int32_t blockNumber) {
    BlockInputs in{std::vector<float>(size), std::vector<float>(size, 0.0f), std::vector<float>(size, 0.0f),
                   std::vector<float>(size, 0.0f)};
    std::uniform_real_distribution<float> volts(-0.2f, 1.2f), hertzTenths(-10.0f, 3000.0f), unit(0.0f, 1.0f);
    std::uniform_int_distribution<int32_t> hold(1, std::max(1, size / 2));
    for (int32_t s = 0; s < size;) {
        float const draw = unit(rng);
        float const pitch = draw < 0.05f ? kNaN : draw < 0.1f ? 1e9f : linear ? hertzTenths(rng) : volts(rng);
        for (int32_t end = std::min(size, s + hold(rng)); s < end; ++s)
            in.pitch[static_cast<size_t>(s)] = pitch;
    }
    bool const modulated = blockNumber % 3 == 1, fedBack = blockNumber % 3 == 2;
    std::uniform_real_distribution<float> wide(-1.5f, 1.5f);
    for (int32_t s = 0; s < size; ++s) {
        if (modulated || fedBack) {
            // The ends of the clips now and then: offsets of exactly a cycle either way.
            in.phaseMod[static_cast<size_t>(s)] = s % 11 == 0 ? (s % 2 == 0 ? 1.0f : -1.0f) : wide(rng);
            in.depth[static_cast<size_t>(s)] = s % 11 == 0 ? 1.0f : wide(rng);
        }
        if (fedBack)
            in.feedback[static_cast<size_t>(s)] = wide(rng);
    }
    return in;
}

// One oversampling exponent, block size and table size, a few blocks.
template <int32_t kTableSize>
void compareBlocks(std::mt19937& rng, int32_t exponent, int32_t blockSize) {
    RandomShape shape(rng, kTableSize);
    bool const linear = std::uniform_int_distribution<int>(0, 3)(rng) == 0;
    bool const removeDC = std::uniform_int_distribution<int>(0, 1)(rng) == 1;
    float const rates[] = {48000.0f, 44100.0f, 96000.0f, 8000.0f};
    float const rate = rates[std::uniform_int_distribution<int>(0, 3)(rng)];
    SCOPED_TRACE(testing::Message() << "table " << kTableSize << ", oversampling " << exponent << ", block "
                                    << blockSize << ", rate " << rate << (linear ? ", linear" : ", volts per octave")
                                    << (removeDC ? ", DC removed" : ""));

    wave::WaveOscillator<kTableSize> engine(shape);
    engine.init(rate);
    engine.setOversampling(exponent);
    engine.setFrequencyMode(linear ? 0 : 1);
    engine.setRemoveDC(removeDC);
    engine.start();

    std::vector<float> const table = modelTable(shape, kTableSize, removeDC);
    int32_t const subSteps = 1 << exponent;
    auto const cycle = static_cast<float>(kTableSize);
    ModelState model;
    std::vector<float> out(static_cast<size_t>(blockSize));
    for (int32_t block = 0; block < 4; ++block) {
        BlockInputs const in = randomInputs(rng, blockSize, linear, block);
        engine.process({in.pitch.data(), in.phaseMod.data(), in.depth.data(), in.feedback.data()}, out.data(), blockSize);
        for (int32_t s = 0; s < blockSize; ++s) {
            auto const i = static_cast<size_t>(s);
            if (in.pitch[i] != model.lastPitch) {
                model.increment = modelIncrement(in.pitch[i], rate, kTableSize, subSteps, linear);
                model.lastPitch = in.pitch[i];
            }
            float const offset =
                (modelModulation(in.phaseMod[i], in.depth[i]) + model.lastOut * zr::clampf(in.feedback[i], -1.0f, 1.0f)) * cycle;
            model.lastOut = modelSample(table, subSteps, model.increment, offset, model.phase);
            ASSERT_EQ(std::bit_cast<uint32_t>(out[i]), std::bit_cast<uint32_t>(model.lastOut))
                << "block " << block << ", sample " << s << ": " << out[i] << " against " << model.lastOut;
        }
    }
}

// Every oversampling exponent, block size and table size.
TEST(WaveOscillator, BlocksMatchThePerSampleModelBitForBit) {
    std::mt19937 rng(20261207);
    for (int32_t exponent = 0; exponent <= 8; ++exponent) {
        for (int32_t blockSize : {1, 2, 3, 63, 64, 65, 4096}) {
            compareBlocks<1024>(rng, exponent, blockSize);
            compareBlocks<4096>(rng, exponent, blockSize);
            if (testing::Test::HasFatalFailure())
                return;
        }
    }
}

} // namespace
} // namespace zr::test

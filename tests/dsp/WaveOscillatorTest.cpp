// The oscillator engine's blocks, bit for bit against the per-sample model of its formula, for
// both table sizes the modules use, every oversampling factor and block sizes around the
// vector width, over random shapes, interpolation modes, frequency modes and pitches that
// change inside blocks.

#include "dsp/WaveOscillator.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "shapes/Interpolator.h"
#include "tests/dsp/WaveModel.h"
#include "tests/shapes/RandomShapes.h"

namespace zr::test {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// A random shape in a random interpolation mode, rendered the way the modules render theirs.
class RandomShape : public wave::WaveSource {
public:
    RandomShape(std::mt19937& rng, int32_t tableSize) : interpolator(tableSize) {
        NodePairs const pairs = randomValidNodes(rng);
        std::vector<Node> nodes;
        for (auto const& [x, y] : pairs)
            nodes.push_back({x, y});
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
    float phase = 0.0f;
    float increment = 0.0f;
    float lastPitch = -1.0f;
    float lastOut = 0.0f;
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

// Oversampling exponent, block size, table size: every combination, a few blocks each.
struct Case {
    int32_t exponent;
    int32_t blockSize;
};

template <int32_t kTableSize>
void compareBlocks(std::mt19937& rng, Case const& c) {
    RandomShape shape(rng, kTableSize);
    bool const linear = std::uniform_int_distribution<int>(0, 3)(rng) == 0;
    bool const removeDC = std::uniform_int_distribution<int>(0, 1)(rng) == 1;
    float const rates[] = {48000.0f, 44100.0f, 96000.0f, 8000.0f};
    float const rate = rates[std::uniform_int_distribution<int>(0, 3)(rng)];
    SCOPED_TRACE(testing::Message() << "table " << kTableSize << ", oversampling " << c.exponent << ", block "
                                    << c.blockSize << ", rate " << rate << (linear ? ", linear" : ", volts per octave")
                                    << (removeDC ? ", DC removed" : ""));

    wave::WaveOscillator<kTableSize> engine(shape);
    engine.init(rate);
    engine.setOversampling(c.exponent);
    engine.setFrequencyMode(linear ? 0 : 1);
    engine.setRemoveDC(removeDC);
    engine.start();

    std::vector<float> const table = modelTable(shape, kTableSize, removeDC);
    int32_t const subSteps = 1 << c.exponent;
    auto const cycle = static_cast<float>(kTableSize);
    ModelState model;
    std::vector<float> out(static_cast<size_t>(c.blockSize));
    for (int32_t block = 0; block < 4; ++block) {
        BlockInputs const in = randomInputs(rng, c.blockSize, linear, block);
        engine.process({in.pitch.data(), in.phaseMod.data(), in.depth.data(), in.feedback.data()}, out.data(), c.blockSize);
        for (int32_t s = 0; s < c.blockSize; ++s) {
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

TEST(WaveOscillator, BlocksMatchThePerSampleModelBitForBit) {
    std::mt19937 rng(20261207);
    for (int32_t exponent = 0; exponent <= 8; ++exponent) {
        for (int32_t blockSize : {1, 2, 3, 63, 64, 65, 4096}) {
            compareBlocks<1024>(rng, {exponent, blockSize});
            compareBlocks<4096>(rng, {exponent, blockSize});
            if (testing::Test::HasFatalFailure())
                return;
        }
    }
}

} // namespace
} // namespace zr::test

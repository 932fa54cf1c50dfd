// The envelope's cost per sample through the module's process call while it runs, holds at
// its sustain node and glides, beside a plain loop of the same per-sample formula over a
// table of the same size. Each state lasts longer than any benchmark run: the run has a
// duration of hours, and the glide a host sample rate at which 20 ms never pass.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "bench/BenchSupport.h"
#include "shapes/Clamp.h"

namespace {

constexpr int32_t kGate = 0, kShape = 1, kDuration = 3, kSustainNode = 4, kInput = 5, kOut = 7;
constexpr float kHoursInMs = 1.0e7f;
constexpr float kLargest = std::numeric_limits<float>::max();

enum class EnvelopeState { running, holding, gliding };

// Rise, then a long slope to a node near the end.
std::vector<uint8_t> contourImage() {
    return zr::bench::shapeImage({{0.0f, -1.0f}, {0.05f, 1.0f}, {0.95f, 0.0f}, {1.0f, -1.0f}});
}

std::unique_ptr<zr::host::AudioModule> envelopeIn(EnvelopeState wanted, int32_t blockSize) {
    zr::host::AudioModuleOptions options;
    if (wanted == EnvelopeState::gliding)
        options.sampleRate = 1.0e11f;
    auto module = zr::bench::running(L"ZR_ShapeEnv3", options);
    module->setBytes(kShape, 0, contourImage());
    // Holding parks at node 1, the peak, which a fast run reaches within a few blocks.
    module->setInt(kSustainNode, 0, wanted == EnvelopeState::holding ? 1 : -1);
    module->setFloat(kDuration, 0, wanted == EnvelopeState::holding ? 10.0f : kHoursInMs);
    module->setBool(kGate, 0, true);
    zr::bench::fillSweep(module->buffer(kInput), blockSize);
    module->process(blockSize);
    if (wanted == EnvelopeState::holding)
        module->processBlocks(48000, blockSize);
    if (wanted == EnvelopeState::gliding) {
        // Run a little way up the contour, then retrigger: the level glides back to the start.
        module->setFloat(kDuration, 0, 1000.0f);
        module->processBlocks(4800, blockSize);
        module->setBool(kGate, 0, true);
        module->process(blockSize);
    }
    return module;
}

// Arg 0: block size; arg 1: the state.
void BM_ShapeEnv3Process(benchmark::State& state) {
    auto const blockSize = static_cast<int32_t>(state.range(0));
    auto module = envelopeIn(static_cast<EnvelopeState>(state.range(1)), blockSize);
    zr::bench::timeProcess(state, *module, kOut, blockSize, blockSize);
}

// The module's per-sample formula with nothing around it: glide test, two-entry
// interpolation, gain, bounded position step, input times level saturated at the largest
// finite values; running (no glide).
void BM_ShapeEnvelopePlainLoop(benchmark::State& state) {
    auto const blockSize = static_cast<int32_t>(state.range(0));
    std::vector<float> table(4096 + 64 + 2, 0.0f);
    for (int32_t i = 0; i < 4096; ++i)
        table[i] = 1.0f - static_cast<float>(i) / 4096.0f;
    std::vector<float> input(blockSize), out(blockSize);
    zr::bench::fillSweep(input.data(), blockSize);
    // Values the compiler cannot know (a glide step of 0 included), copied into locals whose
    // address is never taken.
    float sources[] = {0.0f, 1.0f, 4096.0f / (kHoursInMs * 48.0f), 4096.0f, 0.0f};
    benchmark::DoNotOptimize(sources);
    float const glideTarget = sources[0], gain = sources[1], rate = sources[2], positionLimit = sources[3];
    float position = 0.0f, level = 0.0f, glideStep = sources[4];

    for (auto _ : state) {
        float const* levels = table.data();
        for (int32_t s = 0; s < blockSize; ++s) {
            if (glideStep != 0.0f) {
                level += glideStep;
                if (glideStep > 0.0f ? !(level < glideTarget) : !(level > glideTarget))
                    glideStep = 0.0f;
            } else {
                auto const i = static_cast<int32_t>(position);
                float const f = position - static_cast<float>(i);
                level = ((1.0f - f) * levels[i] + f * levels[i + 1]) * gain;
                position = zr::clampf(position + rate, 0.0f, positionLimit);
            }
            out[s] = zr::clampf(input[s] * level, -kLargest, kLargest);
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    zr::bench::reportPerSample(state, blockSize);
}

void envelopeStates(benchmark::internal::Benchmark* b) {
    b->ArgNames({"block", "state"});
    for (int64_t wanted : {0, 1, 2})
        for (int64_t size : {16, 64, 512})
            b->Args({size, wanted});
}

BENCHMARK(BM_ShapeEnv3Process)->Apply(envelopeStates);
BENCHMARK(BM_ShapeEnvelopePlainLoop)->Apply(zr::bench::blockSizes);

} // namespace

// The waveshaper's cost per sample through the module's process call, beside a plain loop
// of the same per-sample formula over the same buffers, so that one run gives the ratio.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <vector>

#include "bench/BenchSupport.h"

namespace {

constexpr int32_t kInput = 4, kOut = 5;
constexpr int32_t kTableSize = 4096;

void fillTestSignal(float* samples, int32_t count) {
    for (int32_t i = 0; i < count; ++i)
        samples[i] = static_cast<float>(i % 200) / 100.0f - 1.0f; // sweeps past both range ends
}

void BM_Waveshaper2Process(benchmark::State& state) {
    auto const blockSize = static_cast<int32_t>(state.range(0));
    auto module = zr::bench::startedModule(L"ZR_Waveshaper2");
    module->startStream(kInput, 0);
    module->process(blockSize);
    fillTestSignal(module->buffer(kInput), blockSize);

    gmpi::IMpPlugin2* plugin = module->plugin();
    for (auto _ : state) {
        plugin->process(blockSize, nullptr);
        benchmark::DoNotOptimize(module->buffer(kOut)[blockSize - 1]);
    }
    zr::bench::reportPerSample(state, blockSize);
}

// The same per-sample formula as the module's block function, on a table and range of the
// same shape, with nothing around it.
void BM_WaveshaperPlainLoop(benchmark::State& state) {
    auto const blockSize = static_cast<int32_t>(state.range(0));
    static std::array<float, kTableSize + 1> table = [] {
        std::array<float, kTableSize + 1> t{};
        for (int32_t i = 0; i < kTableSize; ++i)
            t[i] = (static_cast<float>(i) / (kTableSize - 1) * 2.0f - 1.0f) * 0.5f;
        return t;
    }();
    std::vector<float> input(blockSize), output(blockSize);
    fillTestSignal(input.data(), blockSize);
    float inputOffset = -0.5f, inputScale = 1.0f;
    benchmark::DoNotOptimize(inputOffset);
    benchmark::DoNotOptimize(inputScale);

    for (auto _ : state) {
        float const* in = input.data();
        float* out = output.data();
        for (int32_t i = 0; i < blockSize; ++i) {
            float const t = (in[i] - inputOffset) * inputScale;
            float const position = 4095.0f * std::max(0.0f, std::min(1.0f, t));
            auto const index = static_cast<int32_t>(position);
            float const fraction = position - static_cast<float>(index);
            out[i] = table[index] * (1.0f - fraction) + table[index + 1] * fraction;
        }
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    zr::bench::reportPerSample(state, blockSize);
}

BENCHMARK(BM_Waveshaper2Process)->Arg(64)->Arg(512);
BENCHMARK(BM_WaveshaperPlainLoop)->Arg(64)->Arg(512);

} // namespace

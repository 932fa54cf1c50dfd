// The waveshapers' cost per sample through the module's process call, beside a plain loop of
// the same per-sample formula over the same input buffer and the same table contents, so that
// one run gives the ratio. The stereo module is reported per channel.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

#include "bench/BenchSupport.h"
#include "dsp/TransferCurve.h"

namespace {

constexpr int32_t kRangeLow = 2, kRangeHigh = 3;
constexpr int32_t kMonoInput = 4, kMonoOut = 5;
constexpr int32_t kLeftInput = 4, kRightInput = 5, kLeftOut = 6;

// The identity curve the modules start with, over -5..+5 V: the same table and range.
zr::TransferCurve const& identityCurve() {
    static zr::TransferCurve const curve = [] {
        zr::TransferCurve c;
        c.setShape(10, nullptr, 0);
        c.setRange(-5.0f, 5.0f);
        return c;
    }();
    return curve;
}

// A waveshaper over -5..+5 V whose `inputs` stream a sweep, past its first block.
std::unique_ptr<zr::host::AudioModule> sweptWaveshaper(wchar_t const* id, std::initializer_list<int32_t> inputs,
                                                       int32_t blockSize) {
    auto module = zr::bench::running(id);
    module->setFloat(kRangeLow, 0, -5.0f);
    module->setFloat(kRangeHigh, 0, 5.0f);
    for (int32_t pin : inputs)
        module->startStream(pin, 0);
    module->process(blockSize);
    for (int32_t pin : inputs)
        zr::bench::fillSweep(module->buffer(pin), blockSize);
    return module;
}

void BM_Waveshaper2Process(benchmark::State& state) {
    auto const blockSize = static_cast<int32_t>(state.range(0));
    auto module = sweptWaveshaper(L"ZR_Waveshaper2", {kMonoInput}, blockSize);
    zr::bench::timeProcess(state, *module, kMonoOut, blockSize, blockSize);
}

// Both channels stream; the time is per sample of one channel.
void BM_Waveshaper2STProcessPerChannel(benchmark::State& state) {
    auto const blockSize = static_cast<int32_t>(state.range(0));
    auto module = sweptWaveshaper(L"ZR_Waveshaper2ST", {kLeftInput, kRightInput}, blockSize);
    zr::bench::timeProcess(state, *module, kLeftOut, blockSize, 2 * blockSize);
}

// The per-sample formula as a plain scalar loop. The range arrives through values the
// compiler cannot know, copied into locals whose address is never taken, so the loop keeps
// them in registers (a local handed to DoNotOptimize by address could be changed by any store
// to the output and would be reloaded on every sample).
void BM_WaveshaperPlainLoop(benchmark::State& state) {
    auto const blockSize = static_cast<int32_t>(state.range(0));
    auto const& curve = identityCurve();
    auto const lookup = curve.lookup();
    std::vector<float> input(blockSize), output(blockSize);
    zr::bench::fillSweep(input.data(), blockSize);
    float offsetSource = lookup.inputOffset, scaleSource = lookup.inputScale;
    benchmark::DoNotOptimize(offsetSource);
    benchmark::DoNotOptimize(scaleSource);
    float const inputOffset = offsetSource, inputScale = scaleSource;
    float const* table = lookup.table;

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

// The shared block function the modules call, without the framework around it.
void BM_TransferCurveApply(benchmark::State& state) {
    auto const blockSize = static_cast<int32_t>(state.range(0));
    auto const lookup = identityCurve().lookup();
    std::vector<float> input(blockSize), output(blockSize);
    zr::bench::fillSweep(input.data(), blockSize);
    for (auto _ : state) {
        lookup.apply(input.data(), output.data(), blockSize);
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    zr::bench::reportPerSample(state, blockSize);
}

BENCHMARK(BM_Waveshaper2Process)->Apply(zr::bench::blockSizes);
BENCHMARK(BM_Waveshaper2STProcessPerChannel)->Apply(zr::bench::blockSizes);
BENCHMARK(BM_WaveshaperPlainLoop)->Apply(zr::bench::blockSizes);
BENCHMARK(BM_TransferCurveApply)->Apply(zr::bench::blockSizes);

} // namespace

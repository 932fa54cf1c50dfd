#pragma once
// What the benchmarks share: the built bundle, a started module, shape images, the block sizes,
// the per-sample time counter and the timed process loop.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/AudioModule.h"
#include "testing/BuiltBundle.h"

namespace zr::bench {

using built::bundle;
using built::descriptions;
using built::running;
using built::shapeImage;

// `count` nodes evenly spread over x, zig-zagging in y so that splines have work to do.
inline std::vector<std::pair<float, float>> zigZagNodes(int32_t count) {
    std::vector<std::pair<float, float>> nodes;
    for (int32_t i = 0; i < count; ++i)
        nodes.emplace_back(static_cast<float>(i) / static_cast<float>(count - 1), (i % 2 == 0 ? -0.6f : 0.8f));
    return nodes;
}

// A sweep from -1 to just below +1 that repeats every 200 samples: it passes both range ends
// of a waveshaper whose range is -5..+5 V and never produces a subnormal number.
inline void fillSweep(float* samples, int32_t count) {
    for (int32_t i = 0; i < count; ++i)
        samples[i] = static_cast<float>(i % 200) / 100.0f - 1.0f;
}

// The three block sizes every audio-rate benchmark runs at.
inline void blockSizes(benchmark::internal::Benchmark* b) {
    for (int64_t size : {16, 64, 512})
        b->Arg(size);
}

inline void reportPerSample(benchmark::State& state, int64_t samplesPerIteration) {
    state.counters["time/sample"] = benchmark::Counter(static_cast<double>(samplesPerIteration),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Times the module's process call on blocks of `blockSize` without events; reading the last
// sample of `outputPin` keeps the work. The time is reported per `samplesPerBlock`.
inline void timeProcess(benchmark::State& state, host::AudioModule& module, int32_t outputPin, int32_t blockSize,
                        int64_t samplesPerBlock) {
    gmpi::IMpPlugin2* plugin = module.plugin();
    for (auto _ : state) {
        plugin->process(blockSize, nullptr);
        benchmark::DoNotOptimize(module.buffer(outputPin)[blockSize - 1]);
    }
    reportPerSample(state, samplesPerBlock);
}

} // namespace zr::bench

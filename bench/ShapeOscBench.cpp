// The oscillator's cost per sample through the module's process call, with 1 and 8 sub-steps,
// beside a plain loop of the same per-sample formula on a table of the same size.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "bench/BenchSupport.h"
#include "modules/FastExp2.h"
#include "shapes/Clamp.h"

namespace {

constexpr int32_t kShape = 1, kInterpolation = 2, kOversampling = 4, kPitch = 6, kOut = 11;
constexpr float kPitchVolts = 0.55f; // 622 Hz

std::vector<uint8_t> waveImage() {
    float const nodes[] = {0.0f, 0.0f, 0.25f, 1.0f, 0.5f, 0.0f, 0.75f, -1.0f, 1.0f, 0.0f};
    std::vector<uint8_t> bytes(8 + sizeof nodes);
    uint32_t const magic = 0x53484150;
    int32_t const count = 5;
    std::memcpy(bytes.data(), &magic, 4);
    std::memcpy(bytes.data() + 4, &count, 4);
    std::memcpy(bytes.data() + 8, nodes, sizeof nodes);
    return bytes;
}

// Arg 0: block size; arg 1: the oversampling exponent.
void BM_ShapeOsc2Process(benchmark::State& state) {
    auto const blockSize = static_cast<int32_t>(state.range(0));
    auto module = zr::bench::startedModule(L"ZR_ShapeOsc2");
    module->setBytes(kShape, 0, waveImage());
    module->setInt(kInterpolation, 0, 30);
    module->setInt(kOversampling, 0, static_cast<int32_t>(state.range(1)));
    std::fill_n(module->buffer(kPitch), blockSize, kPitchVolts);
    module->process(blockSize);

    gmpi::IMpPlugin2* plugin = module->plugin();
    for (auto _ : state) {
        plugin->process(blockSize, nullptr);
        benchmark::DoNotOptimize(module->buffer(kOut)[blockSize - 1]);
    }
    zr::bench::reportPerSample(state, blockSize);
}

// The module's per-sample formula with nothing around it: pitch compare, modulation offset,
// sub-steps with wrapping, two-entry interpolation, averaging.
void BM_ShapeOscPlainLoop(benchmark::State& state) {
    auto const blockSize = static_cast<int32_t>(state.range(0));
    int32_t const subSteps = 1 << state.range(1);
    float const invSubSteps = 1.0f / static_cast<float>(subSteps);
    std::array<float, 1024> table{};
    for (int32_t i = 0; i < 1024; ++i)
        table[i] = 0.5f * std::sin(static_cast<float>(i) * 6.2831853f / 1024.0f);
    std::vector<float> pitch(blockSize, kPitchVolts), phaseMod(blockSize), depth(blockSize), feedback(blockSize);
    std::vector<float> out(blockSize);
    float const incrementScale = 1024.0f * 440.0f / 48000.0f;
    float lastPitch = -1.0f, phase = 0.0f, increment = 0.0f, lastOut = 0.0f, crossfade = 1.0f;
    float const crossfadeStep = 60.0f / 48000.0f;

    for (auto _ : state) {
        for (int32_t s = 0; s < blockSize; ++s) {
            if (pitch[s] != lastPitch) {
                float const v = pitch[s] > 0.0f ? std::min(pitch[s], 1.0f) : 0.0f;
                increment = zr::fastExp2(zr::clampf(v * 10.0f - 5.0f, -127.0f, 128.0f)) * invSubSteps * incrementScale;
                lastPitch = pitch[s];
            }
            float const offset = (zr::clampf(phaseMod[s], -1.0f, 1.0f) * zr::clampf(depth[s], 0.0f, 1.0f) +
                                  lastOut * zr::clampf(feedback[s], -1.0f, 1.0f)) * 1024.0f;
            float sum = 0.0f;
            for (int32_t k = 0; k < subSteps; ++k) {
                float p = offset + phase;
                if (!(p >= 0.0f && p < 1024.0f)) {
                    p = std::fmod(p, 1024.0f);
                    p = p < 0.0f ? p + 1024.0f : p;
                }
                auto const i = static_cast<int32_t>(p);
                float const f = p - static_cast<float>(i);
                int32_t const a = i & 1023, b = (i + 1) & 1023;
                sum += table[a] + f * (table[b] - table[a]);
                phase += increment;
                if (phase >= 1024.0f)
                    phase = std::fmod(phase, 1024.0f);
            }
            out[s] = sum * invSubSteps;
            crossfade = std::min(1.0f, crossfade + crossfadeStep);
            lastOut = out[s];
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    zr::bench::reportPerSample(state, blockSize);
}

BENCHMARK(BM_ShapeOsc2Process)->Args({512, 0})->Args({512, 3});
BENCHMARK(BM_ShapeOscPlainLoop)->Args({512, 0})->Args({512, 3});

} // namespace

// The oscillator's cost per sample through the module's process call (plain; with phase
// modulation; with feedback; with 2 and 4 sub-steps), beside plain loops of the same
// per-sample formula on a table of the same size and the same input signals: plain, phase
// modulated, and with the feedback term.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "bench/BenchSupport.h"
#include "dsp/FastExp2.h"
#include "shapes/Clamp.h"

namespace {

constexpr int32_t kShape = 1, kInterpolation = 2, kOversampling = 4, kPitch = 6;
constexpr int32_t kPhaseMod = 8, kPhaseModDepth = 9, kFeedback = 10, kOut = 11;
constexpr float kPitchVolts = 0.55f; // 622 Hz

enum Variant : int64_t { kPlain = 0, kPhaseModulated = 1, kFedBack = 2 };

void fillModulation(float* samples, int32_t count) {
    for (int32_t i = 0; i < count; ++i)
        samples[i] = 0.5f * std::sin(static_cast<float>(i) * 0.05f);
}

// Arg 0: block size; arg 1: the oversampling exponent; arg 2: the variant.
void BM_ShapeOsc2Process(benchmark::State& state) {
    auto const blockSize = static_cast<int32_t>(state.range(0));
    auto const variant = state.range(2);
    auto module = zr::bench::running(L"ZR_ShapeOsc2");
    module->setBytes(kShape, 0, zr::bench::shapeImage({{0.0f, 0.0f}, {0.25f, 1.0f}, {0.5f, 0.0f}, {0.75f, -1.0f}, {1.0f, 0.0f}}));
    module->setInt(kInterpolation, 0, 30);
    module->setInt(kOversampling, 0, static_cast<int32_t>(state.range(1)));
    std::fill_n(module->buffer(kPitch), blockSize, kPitchVolts);
    if (variant == kPhaseModulated) {
        module->startStream(kPhaseMod, 0);
        module->startStream(kPhaseModDepth, 0);
        fillModulation(module->buffer(kPhaseMod), blockSize);
        std::fill_n(module->buffer(kPhaseModDepth), blockSize, 0.5f);
    }
    if (variant == kFedBack) {
        module->startStream(kFeedback, 0);
        std::fill_n(module->buffer(kFeedback), blockSize, 0.3f);
    }
    module->process(blockSize);
    zr::bench::timeProcess(state, *module, kOut, blockSize, blockSize);
}

// The module's per-sample formula with nothing around it: pitch compare, modulation offset
// (with the feedback term for kFedBack), sub-steps with wrapping, two-entry interpolation,
// averaging. Arg 0: block size; arg 1: the oversampling exponent.
template <Variant kVariant>
void BM_ShapeOscPlainLoop(benchmark::State& state) {
    constexpr bool kWithFeedback = kVariant == kFedBack;
    auto const blockSize = static_cast<int32_t>(state.range(0));
    int32_t const subSteps = 1 << state.range(1);
    float const invSubSteps = 1.0f / static_cast<float>(subSteps);
    std::array<float, 1024> table{};
    for (int32_t i = 0; i < 1024; ++i)
        table[i] = 0.5f * std::sin(static_cast<float>(i) * 6.2831853f / 1024.0f);
    std::vector<float> pitch(blockSize, kPitchVolts), phaseMod(blockSize), depth(blockSize, 0.0f);
    if (kVariant == kPhaseModulated) {
        fillModulation(phaseMod.data(), blockSize);
        std::fill(depth.begin(), depth.end(), 0.5f);
    }
    std::vector<float> feedback(blockSize, kWithFeedback ? 0.3f : 0.0f), out(blockSize);
    float const incrementScale = 1024.0f * 440.0f / 48000.0f;
    float lastPitch = -1.0f, phase = 0.0f, increment = 0.0f, lastOut = 0.0f;

    for (auto _ : state) {
        for (int32_t s = 0; s < blockSize; ++s) {
            if (pitch[s] != lastPitch) {
                float const v = pitch[s] > 0.0f ? std::min(pitch[s], 1.0f) : 0.0f;
                increment = zr::fastExp2(zr::clampf(v * 10.0f - 5.0f, -127.0f, 128.0f)) * invSubSteps * incrementScale;
                lastPitch = pitch[s];
            }
            float const modulation = zr::clampf(phaseMod[s], -1.0f, 1.0f) * zr::clampf(depth[s], 0.0f, 1.0f);
            float offset = modulation * 1024.0f;
            if constexpr (kWithFeedback)
                offset = (modulation + lastOut * zr::clampf(feedback[s], -1.0f, 1.0f)) * 1024.0f;
            float sum = 0.0f;
            for (int32_t k = 0; k < subSteps; ++k) {
                // The formula's own wrap; the inputs here keep it to one step at most.
                float p = offset + phase;
                while (p >= 1024.0f)
                    p += -1024.0f;
                while (p < 0.0f)
                    p += 1024.0f;
                auto const i = static_cast<int32_t>(p);
                float const f = p - static_cast<float>(i);
                int32_t const a = i & 1023, b = (i + 1) & 1023;
                sum += table[a] + f * (table[b] - table[a]);
                phase += increment;
                if (phase >= 1024.0f)
                    phase -= 1024.0f;
            }
            out[s] = sum * invSubSteps;
            lastOut = out[s];
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    zr::bench::reportPerSample(state, blockSize);
}

void oscillatorCases(benchmark::internal::Benchmark* b) {
    b->ArgNames({"block", "oversampling", "variant"});
    for (int64_t size : {16, 64, 512}) {
        for (int64_t exponent : {0, 1, 2})
            b->Args({size, exponent, kPlain});
        b->Args({size, 0, kPhaseModulated});
        b->Args({size, 0, kFedBack});
    }
}

void plainLoopCases(benchmark::internal::Benchmark* b) {
    b->ArgNames({"block", "oversampling"});
    for (int64_t size : {16, 64, 512})
        for (int64_t exponent : {0, 1, 2})
            b->Args({size, exponent});
}

BENCHMARK(BM_ShapeOsc2Process)->Apply(oscillatorCases);
BENCHMARK(BM_ShapeOscPlainLoop<kPlain>)->Name("BM_ShapeOscPlainLoop")->Apply(plainLoopCases);
BENCHMARK(BM_ShapeOscPlainLoop<kPhaseModulated>)->Name("BM_ShapeOscPlainLoopPhaseModulated")->Apply(plainLoopCases);
BENCHMARK(BM_ShapeOscPlainLoop<kFedBack>)->Name("BM_ShapeOscPlainLoopWithFeedback")->Apply(plainLoopCases);

} // namespace

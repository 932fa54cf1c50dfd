// The oscillators' cost per sample through the module's process call (ZR_ShapeOsc2: plain;
// with phase modulation; with feedback; with 2, 4, 8 and 256 sub-steps; the older ZR_ShapeOsc
// on its 4096-entry table: plain), beside plain loops of the same per-sample formula on a
// table of the same size and the same input signals (plain, phase modulated, and with the
// feedback term), beside the phase accumulator alone, the bound of a plain block, and beside
// the engine's block player alone.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "bench/BenchSupport.h"
#include "dsp/FastExp2.h"
#include "dsp/WaveBlock.h"
#include "shapes/Clamp.h"

namespace {

constexpr int32_t kShape = 1, kInterpolation = 2, kOversampling = 4, kPitch = 6;
constexpr int32_t kPhaseMod = 8, kPhaseModDepth = 9, kFeedback = 10, kOut = 11;
// The older ZR_ShapeOsc's pins.
constexpr int32_t kLegacyFrequencyMode = 0, kLegacyShape = 1, kLegacyMode = 2, kLegacyPitch = 3;
constexpr int32_t kLegacyOversampling = 7, kLegacyOut = 8;
constexpr float kPitchVolts = 0.55f; // 622 Hz

// The phase advance per sample at kPitchVolts on a 1024-entry table at 48 kHz, as the module
// works it out.
float incrementAtBenchmarkPitch() { return zr::fastExp2(kPitchVolts * 10.0f - 5.0f) * (1024.0f * 440.0f / 48000.0f); }

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

// Arg 0: block size; arg 1: the oversampling exponent. Volts per octave at the same pitch, a
// parabola blend of a five-node cycle.
void BM_ShapeOscProcess(benchmark::State& state) {
    auto const blockSize = static_cast<int32_t>(state.range(0));
    auto module = zr::bench::running(L"ZR_ShapeOsc");
    module->setInt(kLegacyFrequencyMode, 0, 1);
    module->setText(kLegacyShape, 0, L"(-5,0)(-2.5,5)(0,0)(2.5,-5)(5,0)");
    module->setInt(kLegacyMode, 0, 2);
    module->setInt(kLegacyOversampling, 0, static_cast<int32_t>(state.range(1)));
    std::fill_n(module->buffer(kLegacyPitch), blockSize, kPitchVolts);
    module->process(blockSize);
    zr::bench::timeProcess(state, *module, kLegacyOut, blockSize, blockSize);
}

// The module's per-sample formula with nothing around it: pitch compare, modulation offset
// (with the feedback term for kFedBack), sub-steps with wrapping, two-entry interpolation,
// averaging. Arg 0: block size; arg 1: the oversampling exponent.
template <Variant kVariant, int32_t kTableSize = 1024>
void BM_ShapeOscPlainLoop(benchmark::State& state) {
    constexpr bool kWithFeedback = kVariant == kFedBack;
    auto const blockSize = static_cast<int32_t>(state.range(0));
    int32_t const subSteps = 1 << state.range(1);
    float const invSubSteps = 1.0f / static_cast<float>(subSteps);
    std::array<float, kTableSize> table{};
    for (int32_t i = 0; i < kTableSize; ++i)
        table[i] = 0.5f * std::sin(static_cast<float>(i) * 6.2831853f / static_cast<float>(kTableSize));
    std::vector<float> pitch(blockSize, kPitchVolts), phaseMod(blockSize), depth(blockSize, 0.0f);
    if (kVariant == kPhaseModulated) {
        fillModulation(phaseMod.data(), blockSize);
        std::fill(depth.begin(), depth.end(), 0.5f);
    }
    std::vector<float> feedback(blockSize, kWithFeedback ? 0.3f : 0.0f), out(blockSize);
    constexpr float kCycle = static_cast<float>(kTableSize);
    float const incrementScale = kCycle * 440.0f / 48000.0f;
    float lastPitch = -1.0f, phase = 0.0f, increment = 0.0f, lastOut = 0.0f;

    for (auto _ : state) {
        for (int32_t s = 0; s < blockSize; ++s) {
            if (pitch[s] != lastPitch) {
                float const v = pitch[s] > 0.0f ? std::min(pitch[s], 1.0f) : 0.0f;
                increment = zr::fastExp2(zr::clampf(v * 10.0f - 5.0f, -127.0f, 128.0f)) * invSubSteps * incrementScale;
                lastPitch = pitch[s];
            }
            float const modulation = zr::clampf(phaseMod[s], -1.0f, 1.0f) * zr::clampf(depth[s], 0.0f, 1.0f);
            float offset = modulation * kCycle;
            if constexpr (kWithFeedback)
                offset = (modulation + lastOut * zr::clampf(feedback[s], -1.0f, 1.0f)) * kCycle;
            float sum = 0.0f;
            for (int32_t k = 0; k < subSteps; ++k) {
                // The formula's own wrap; the inputs here keep it to one step at most.
                float p = offset + phase;
                while (p >= kCycle)
                    p += -kCycle;
                while (p < 0.0f)
                    p += kCycle;
                auto const i = static_cast<int32_t>(p);
                float const f = p - static_cast<float>(i);
                int32_t const a = i & (kTableSize - 1), b = (i + 1) & (kTableSize - 1);
                sum += table[a] + f * (table[b] - table[a]);
                phase += increment;
                if (phase >= kCycle)
                    phase -= kCycle;
            }
            out[s] = sum * invSubSteps;
            lastOut = out[s];
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    zr::bench::reportPerSample(state, blockSize);
}

// The bound of a one-sub-step block: the phase accumulator alone, one dependent addition per
// sample at the module benchmark's increment, eight additions between two wrap tests (blocks
// are multiples of eight), so that only the additions' latency counts.
void BM_PhaseAccumulatorAlone(benchmark::State& state) {
    auto const blockSize = static_cast<int32_t>(state.range(0));
    float const increment = incrementAtBenchmarkPitch();
    float phase = 0.0f;
    for (auto _ : state) {
        for (int32_t s = 0; s < blockSize; s += 8) {
#pragma GCC unroll 8
            for (int32_t k = 0; k < 8; ++k)
                phase += increment;
            if (phase >= 1024.0f)
                phase -= 1024.0f;
        }
        benchmark::DoNotOptimize(phase);
    }
    zr::bench::reportPerSample(state, blockSize);
}

// The engine without the module: the block player's runs at the module benchmark's pitch, one
// sub-step, on a 1024-entry table with its guard entry, in blocks of the given size. Beside the
// module's figure it tells the engine's share from the framework's and the module's own work.
void BM_WaveRunAlone(benchmark::State& state) {
    auto const blockSize = static_cast<int32_t>(state.range(0));
    std::vector<float> table(1025);
    for (size_t i = 0; i < table.size(); ++i)
        table[i] = std::sin(static_cast<float>(i) * (6.2831853f / 1024.0f));
    table.back() = table.front();
    float const increment = incrementAtBenchmarkPitch();
    std::vector<float> pitch(static_cast<size_t>(blockSize), kPitchVolts), out(pitch.size());
    float phase = 0.0f;
    float last = 0.0f;
    for (auto _ : state) {
        zr::wave::RunEnd end{0, last};
        for (int32_t s = 0; s < blockSize; s += end.played) {
            zr::wave::PhaseRun const run{table.data(), 1023, 1, 1.0f, kPitchVolts, increment};
            phase = zr::wave::playRun(run, phase, zr::wave::RunInputs{pitch.data() + s}, out.data() + s, blockSize - s, end);
        }
        benchmark::DoNotOptimize(out[static_cast<size_t>(blockSize) - 1]);
    }
    zr::bench::reportPerSample(state, blockSize);
}

void oscillatorCases(benchmark::internal::Benchmark* b) {
    b->ArgNames({"block", "oversampling", "variant"});
    for (int64_t size : {16, 64, 512}) {
        for (int64_t exponent : {0, 1, 2, 3, 8})
            b->Args({size, exponent, kPlain});
        b->Args({size, 0, kPhaseModulated});
        b->Args({size, 0, kFedBack});
    }
}

void plainLoopCases(benchmark::internal::Benchmark* b) {
    b->ArgNames({"block", "oversampling"});
    for (int64_t size : {16, 64, 512})
        for (int64_t exponent : {0, 1, 2, 3, 8})
            b->Args({size, exponent});
}

void legacyCases(benchmark::internal::Benchmark* b) {
    b->ArgNames({"block", "oversampling"});
    for (int64_t size : {16, 64, 512})
        b->Args({size, 0});
}

BENCHMARK(BM_ShapeOsc2Process)->Apply(oscillatorCases);
BENCHMARK(BM_ShapeOscProcess)->Apply(legacyCases);
BENCHMARK(BM_PhaseAccumulatorAlone)->Apply(zr::bench::blockSizes);
BENCHMARK(BM_WaveRunAlone)->Apply(zr::bench::blockSizes);
BENCHMARK(BM_ShapeOscPlainLoop<kPlain>)->Name("BM_ShapeOscPlainLoop")->Apply(plainLoopCases);
BENCHMARK(BM_ShapeOscPlainLoop<kPlain, 4096>)->Name("BM_ShapeOscPlainLoop4096")->Apply(legacyCases);
BENCHMARK(BM_ShapeOscPlainLoop<kPhaseModulated>)->Name("BM_ShapeOscPlainLoopPhaseModulated")->Apply(plainLoopCases);
BENCHMARK(BM_ShapeOscPlainLoop<kFedBack>)->Name("BM_ShapeOscPlainLoopWithFeedback")->Apply(plainLoopCases);

} // namespace

// The envelope's cost per sample through the module's process call while it runs, beside a
// plain loop of the same per-sample formula on a table of the same size.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "bench/BenchSupport.h"
#include "shapes/Clamp.h"

namespace {

constexpr int32_t kGate = 0, kShape = 1, kDuration = 3, kSustainNode = 4, kInput = 5, kOut = 7;

std::vector<uint8_t> contourImage() {
    // Rise, then a long slope to a sustain node near the end.
    float const nodes[] = {0.0f, -1.0f, 0.05f, 1.0f, 0.95f, 0.0f, 1.0f, -1.0f};
    std::vector<uint8_t> bytes(8 + sizeof nodes);
    uint32_t const magic = 0x53484150;
    int32_t const count = 4;
    std::memcpy(bytes.data(), &magic, 4);
    std::memcpy(bytes.data() + 4, &count, 4);
    std::memcpy(bytes.data() + 8, nodes, sizeof nodes);
    return bytes;
}

void fillInput(float* samples, int32_t count) {
    for (int32_t i = 0; i < count; ++i)
        samples[i] = static_cast<float>(i % 200) / 100.0f - 1.0f;
}

void BM_ShapeEnv3Process(benchmark::State& state) {
    auto const blockSize = static_cast<int32_t>(state.range(0));
    auto module = zr::bench::startedModule(L"ZR_ShapeEnv3");
    module->setBytes(kShape, 0, contourImage());
    module->setInt(kSustainNode, 0, 2);
    module->setFloat(kDuration, 0, 5000.0f);
    module->setBool(kGate, 0, true);
    fillInput(module->buffer(kInput), blockSize);
    module->process(blockSize);

    gmpi::IMpPlugin2* plugin = module->plugin();
    for (auto _ : state) {
        plugin->process(blockSize, nullptr);
        benchmark::DoNotOptimize(module->buffer(kOut)[blockSize - 1]);
    }
    zr::bench::reportPerSample(state, blockSize);
}

// The module's per-sample formula with nothing around it: glide test, two-entry
// interpolation, gain, bounded position step, input times level.
void BM_ShapeEnvelopePlainLoop(benchmark::State& state) {
    auto const blockSize = static_cast<int32_t>(state.range(0));
    std::vector<float> table(4096 + 64 + 2, 0.0f);
    for (int32_t i = 0; i < 4096; ++i)
        table[i] = 1.0f - static_cast<float>(i) / 4096.0f;
    std::vector<float> input(blockSize), out(blockSize);
    fillInput(input.data(), blockSize);
    float position = 0.0f, level = 0.0f, glideStep = 0.0f, glideTarget = 0.0f, gain = 1.0f;
    float const rate = 4096.0f / (5000.0f * 48.0f), positionLimit = 0.95f * 4095.0f;
    benchmark::DoNotOptimize(glideStep);

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
            out[s] = input[s] * level;
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    zr::bench::reportPerSample(state, blockSize);
}

BENCHMARK(BM_ShapeEnv3Process)->Arg(512);
BENCHMARK(BM_ShapeEnvelopePlainLoop)->Arg(512);

} // namespace

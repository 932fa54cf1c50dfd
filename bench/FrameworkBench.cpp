// The framework's own cost: a block with no events, a block with 1, 8 and 64 value events
// (each at its own sample, so each is a batch of its own), and a patch of 1, 10 and 100
// sleeping modules, which the host does not call at all.

#include <benchmark/benchmark.h>

#include <bit>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "host/patch/Patch.h"
#include "sdk/Interfaces.h"

namespace {

constexpr int32_t kBlock = 64;

// A streaming ZR_Waveshaper2 given blocks of one sample and no events: the time is the
// framework's walk through a block (event list, block function call, buffer positions) plus
// one sample of work. A module that sleeps cannot serve here: called directly, it would tell
// the host again in every block that it sleeps.
void BM_FrameworkBlockWithoutEvents(benchmark::State& state) {
    auto module = zr::bench::running(L"ZR_Waveshaper2");
    module->startStream(4, 0);
    module->process(kBlock);
    gmpi::IMpPlugin2* plugin = module->plugin();
    for (auto _ : state)
        benchmark::DoNotOptimize(plugin->process(1, nullptr));
}

// ZR_Waveshaper2 with a streaming input, its RangeHigh pin set by `count` events spread over
// the block: every event is a batch (onSetPins) and splits the block. Reported per block and
// per event.
void BM_FrameworkValueEvents(benchmark::State& state) {
    auto const count = static_cast<int32_t>(state.range(0));
    auto module = zr::bench::running(L"ZR_Waveshaper2");
    module->startStream(4, 0);
    module->process(kBlock);
    zr::bench::fillSweep(module->buffer(4), kBlock);
    std::vector<gmpi::MpEvent> events(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        gmpi::MpEvent& event = events[static_cast<size_t>(i)];
        float const value = 4.0f + static_cast<float>(i % 2);
        event = {i * kBlock / count, gmpi::EVENT_PIN_SET, 3, 4, std::bit_cast<int32_t>(value), 0, nullptr, nullptr};
        if (i > 0)
            events[static_cast<size_t>(i - 1)].next = &event;
    }
    gmpi::IMpPlugin2* plugin = module->plugin();
    for (auto _ : state)
        benchmark::DoNotOptimize(plugin->process(kBlock, events.data()));
    state.counters["time/event"] = benchmark::Counter(static_cast<double>(count),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Waveshapers whose input never streams go to sleep after their countdown; from then on a
// block of the patch calls none of them.
void BM_PatchOfSleepingModules(benchmark::State& state) {
    auto const count = static_cast<int32_t>(state.range(0));
    zr::host::Patch patch(zr::bench::bundle(), zr::bench::descriptions());
    for (int32_t i = 0; i < count; ++i)
        patch.add("shaper" + std::to_string(i), L"ZR_Waveshaper2");
    patch.start();
    for (int32_t block = 0; block < 200; ++block)
        patch.process(kBlock);
    for (int32_t i = 0; i < count; ++i) {
        if (!patch.module("shaper" + std::to_string(i)).host().asleep()) {
            state.SkipWithError("a module did not go to sleep");
            return;
        }
    }
    int64_t const callsBefore = patch.module("shaper0").processCalls();
    for (auto _ : state)
        patch.process(kBlock);
    if (patch.module("shaper0").processCalls() != callsBefore)
        state.SkipWithError("a sleeping module was called");
    state.counters["time/module"] = benchmark::Counter(static_cast<double>(count),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_FrameworkBlockWithoutEvents);
BENCHMARK(BM_FrameworkValueEvents)->ArgName("events")->Arg(1)->Arg(8)->Arg(64);
BENCHMARK(BM_PatchOfSleepingModules)->ArgName("modules")->Arg(1)->Arg(10)->Arg(100);

} // namespace

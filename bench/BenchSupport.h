#pragma once
// What the module benchmarks share: the built bundle, a started module, and the per-sample
// time counter.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "host/AudioModule.h"
#include "host/Bundle.h"
#include "host/ModuleDescriptions.h"

namespace zr::bench {

inline host::Bundle& bundle() {
    static host::Bundle loaded(ZR_BUNDLE_PATH);
    return loaded;
}

// A module with a buffer on every described audio pin, opened, its graph started and its
// defaults queued for the first block.
inline std::unique_ptr<host::AudioModule> startedModule(std::wstring const& id) {
    static auto const descriptions = host::ModuleDescriptions::load(ZR_METADATA_PATH);
    host::AudioModuleOptions options;
    options.description = *descriptions.find(id);
    auto module = std::make_unique<host::AudioModule>(bundle(), id, options);
    for (auto const& pin : options.description->pins)
        if (pin.isAudio())
            module->connectAudio(pin.index, pin.direction);
    module->open();
    module->graphStart();
    module->sendDefaults();
    return module;
}

inline void reportPerSample(benchmark::State& state, int64_t samplesPerIteration) {
    state.counters["time/sample"] = benchmark::Counter(static_cast<double>(samplesPerIteration),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

} // namespace zr::bench

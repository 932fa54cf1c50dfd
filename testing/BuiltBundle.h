#pragma once
// The built bundle as the programs that drive it from outside see it (tests, benchmarks):
// the bundle and its module descriptions loaded once, a module started as a host starts it,
// and shape images (testing/ShapeImage.h). Only for targets that define ZR_BUNDLE_PATH and
// ZR_METADATA_PATH.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "host/AudioModule.h"
#include "host/Bundle.h"
#include "host/ModuleDescriptions.h"
#include "testing/ShapeImage.h"

namespace zr::built {

inline host::Bundle& bundle() {
    static host::Bundle loaded(ZR_BUNDLE_PATH);
    return loaded;
}

inline host::ModuleDescriptions const& descriptions() {
    static host::ModuleDescriptions const loaded = host::ModuleDescriptions::load(ZR_METADATA_PATH);
    return loaded;
}

// A runner for `id` that knows the module's description. Throws as AudioModule does.
inline std::unique_ptr<host::AudioModule> makeModule(std::wstring const& id, host::AudioModuleOptions options = {}) {
    options.description = *descriptions().find(id);
    return std::make_unique<host::AudioModule>(bundle(), id, std::move(options));
}

// A buffer on every described audio pin, then open, graph start and the defaults queued for
// the first block; the module's answer to open. It must have been made with its description.
inline int32_t start(host::AudioModule& module) {
    for (host::PinDescription const& pin : module.description()->pins)
        if (pin.isAudio())
            module.connectAudio(pin.index, pin.direction);
    int32_t const opened = module.open();
    module.graphStart();
    module.sendDefaults();
    return opened;
}

// A runner for `id`, made with its description and started as `start` does.
inline std::unique_ptr<host::AudioModule> running(std::wstring const& id, host::AudioModuleOptions options = {}) {
    auto module = makeModule(id, std::move(options));
    start(*module);
    return module;
}

} // namespace zr::built

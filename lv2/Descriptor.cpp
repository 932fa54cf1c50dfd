// The bundle's entry point: one LV2 descriptor per plug-in of lv2/PluginCatalog.h, each
// answering the worker and state interfaces.

#include <array>
#include <memory>
#include <new>
#include <string>

#include "lv2/EnvelopePlugin.h"
#include "lv2/ShaperPlugin.h"
#include "lv2/SynthPlugin.h"

namespace zr::lv2 {
namespace {

constexpr size_t kPluginCount = std::size(kPlugins);

ShapePlugin* self(LV2_Handle instance) { return static_cast<ShapePlugin*>(instance); }

std::unique_ptr<ShapePlugin> makePlugin(size_t index, double rate, LV2_Feature const* const* features) {
    switch (kPlugins[index].kind) {
    case PluginKind::Shaper:
    case PluginKind::StereoShaper:
        return std::make_unique<ShaperPlugin>(index, rate, features);
    case PluginKind::Envelope:
        return std::make_unique<EnvelopePlugin>(index, rate, features);
    case PluginKind::Synth:
        return std::make_unique<SynthPlugin>(index, rate, features);
    }
    return nullptr;
}

// A plug-in that cannot start (no URID map, no memory) is refused with a null handle.
template <size_t Index>
LV2_Handle instantiate(LV2_Descriptor const*, double rate, char const*, LV2_Feature const* const* features) {
    if (!(rate > 0.0))
        return nullptr;
    try {
        return makePlugin(Index, rate, features).release();
    } catch (...) {
        return nullptr;
    }
}

void connectPort(LV2_Handle instance, uint32_t port, void* data) { self(instance)->connectPort(port, data); }
void activate(LV2_Handle instance) { self(instance)->activate(); }
void run(LV2_Handle instance, uint32_t frames) { self(instance)->run(frames); }
void deactivate(LV2_Handle) {}
void cleanup(LV2_Handle instance) { delete self(instance); }

LV2_Worker_Status work(LV2_Handle instance, LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle handle,
                       uint32_t size, void const* data) {
    try {
        return self(instance)->work(respond, handle, size, data);
    } catch (...) {
        return LV2_WORKER_ERR_UNKNOWN;
    }
}

LV2_Worker_Status workResponse(LV2_Handle instance, uint32_t size, void const* data) {
    return self(instance)->workResponse(size, data);
}

LV2_State_Status save(LV2_Handle instance, LV2_State_Store_Function store, LV2_State_Handle handle, uint32_t,
                      LV2_Feature const* const*) {
    try {
        return self(instance)->save(store, handle);
    } catch (...) {
        return LV2_STATE_ERR_UNKNOWN;
    }
}

LV2_State_Status restore(LV2_Handle instance, LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle, uint32_t,
                         LV2_Feature const* const*) {
    try {
        return self(instance)->restore(retrieve, handle);
    } catch (...) {
        return LV2_STATE_ERR_UNKNOWN;
    }
}

LV2_Worker_Interface const kWorker = {work, workResponse, nullptr};
LV2_State_Interface const kState = {save, restore};

void const* extensionData(char const* uri) {
    if (std::string_view(uri) == LV2_WORKER__interface)
        return &kWorker;
    if (std::string_view(uri) == LV2_STATE__interface)
        return &kState;
    return nullptr;
}

template <size_t... Index>
std::array<std::string, kPluginCount> makeUris(std::index_sequence<Index...>) {
    return {(std::string(kUriBase) + kPlugins[Index].uriSuffix)...};
}

std::array<std::string, kPluginCount> const kUris = makeUris(std::make_index_sequence<kPluginCount>{});

template <size_t... Index>
std::array<LV2_Descriptor, kPluginCount> makeDescriptors(std::index_sequence<Index...>) {
    return {LV2_Descriptor{kUris[Index].c_str(), instantiate<Index>, connectPort, activate, run, deactivate, cleanup,
                           extensionData}...};
}

std::array<LV2_Descriptor, kPluginCount> const kDescriptors = makeDescriptors(std::make_index_sequence<kPluginCount>{});

} // namespace
} // namespace zr::lv2

LV2_SYMBOL_EXPORT LV2_Descriptor const* lv2_descriptor(uint32_t index) {
    return index < zr::lv2::kDescriptors.size() ? &zr::lv2::kDescriptors[index] : nullptr;
}

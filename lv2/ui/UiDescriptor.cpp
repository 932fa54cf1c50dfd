// The LV2 UI entry point: one X11 interface per plug-in of the catalogue, at the same index,
// each with the URI of its plug-in followed by "#ui".

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include <lv2/ui/ui.h>

#include "lv2/PluginCatalog.h"
#include "lv2/ui/ShapeEditorUi.h"

namespace zr::lv2 {
namespace {

template <typename Data>
Data* featureData(LV2_Feature const* const* features, char const* uri) {
    for (auto* feature = features; feature && *feature; ++feature)
        if (std::strcmp((*feature)->URI, uri) == 0)
            return static_cast<Data*>((*feature)->data);
    return nullptr;
}

template <size_t Index>
LV2UI_Handle instantiate(LV2UI_Descriptor const*, char const*, char const* bundlePath, LV2UI_Write_Function write,
                         LV2UI_Controller controller, LV2UI_Widget* widget, LV2_Feature const* const* features) {
    PluginDefinition const& plugin = kPlugins[Index];
    try {
        UiConnection const connection{
            .write = write,
            .controller = controller,
            .map = featureData<LV2_URID_Map>(features, LV2_URID__map),
            .parent = reinterpret_cast<uintptr_t>(featureData<void>(features, LV2_UI__parent)),
            .resize = featureData<LV2UI_Resize const>(features, LV2_UI__resize),
        };
        auto* ui = new ShapeEditorUi(plugin, bundlePath ? bundlePath : "", connection);
        *widget = reinterpret_cast<LV2UI_Widget>(static_cast<uintptr_t>(ui->windowId()));
        return ui;
    } catch (std::exception const& error) {
        std::fprintf(stderr, "%s interface: %s\n", plugin.name, error.what());
        return nullptr;
    }
}

void cleanup(LV2UI_Handle handle) { delete static_cast<ShapeEditorUi*>(handle); }

// A message that cannot be shown (no memory for its shape) is dropped; the host goes on.
void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format, void const* buffer) {
    try {
        static_cast<ShapeEditorUi*>(handle)->portEvent(port, size, format, buffer);
    } catch (std::exception const& error) {
        std::fprintf(stderr, "shape editor interface: %s\n", error.what());
    }
}

int idle(LV2UI_Handle handle) {
    try {
        return static_cast<ShapeEditorUi*>(handle)->idle();
    } catch (std::exception const& error) {
        std::fprintf(stderr, "shape editor interface: %s\n", error.what());
        return 1;
    }
}

LV2UI_Idle_Interface const kIdle{idle};

void const* extensionData(char const* uri) {
    if (std::strcmp(uri, LV2_UI__idleInterface) == 0)
        return &kIdle;
    return nullptr;
}

template <size_t Index>
LV2UI_Descriptor makeDescriptor(std::string const& uri) {
    return {uri.c_str(), instantiate<Index>, cleanup, portEvent, extensionData};
}

std::string const kUris[] = {
    std::string(kUriBase) + kPlugins[0].uriSuffix + "#ui",
    std::string(kUriBase) + kPlugins[1].uriSuffix + "#ui",
    std::string(kUriBase) + kPlugins[2].uriSuffix + "#ui",
    std::string(kUriBase) + kPlugins[3].uriSuffix + "#ui",
};
static_assert(std::size(kPlugins) == 4, "one interface per plug-in: extend kUris and kDescriptors");

LV2UI_Descriptor const kDescriptors[] = {
    makeDescriptor<0>(kUris[0]),
    makeDescriptor<1>(kUris[1]),
    makeDescriptor<2>(kUris[2]),
    makeDescriptor<3>(kUris[3]),
};

} // namespace
} // namespace zr::lv2

extern "C" __attribute__((visibility("default"))) LV2UI_Descriptor const* lv2ui_descriptor(uint32_t index) {
    return index < std::size(zr::lv2::kDescriptors) ? &zr::lv2::kDescriptors[index] : nullptr;
}

#pragma once
// Runs one GUI-side module the way a host does: creates it by identifier under the GUI
// sub-type, hands it a GuiHost, delivers pin values (setPin, then notifyPin), and drives its
// graphics view: layout, frames, pointer and tooltip.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/GuiHost.h"
#include "host/ModuleDescription.h"
#include "sdk/GuiInterfaces.h"

namespace zr::host {

class Bundle;

struct GuiModuleOptions {
    // Needed for setByName and sendDefaults; also gives the host's pin count.
    std::optional<ModuleDescription> description;
    // How the host answers the module's queries and what follows its transmissions; null:
    // the honest host.
    std::shared_ptr<GuiHostPolicy> hostPolicy = nullptr;
};

class GuiModule {
public:
    using Options = GuiModuleOptions;
    static constexpr int32_t guiSubType = 2;

    // Throws std::runtime_error naming the identifier when the factory makes no instance or
    // the instance is no GUI module.
    GuiModule(Bundle& bundle, std::wstring const& id, Options options = {});
    GuiModule(gmpi::IMpFactory2& factory, std::wstring const& id, Options options = {});
    ~GuiModule();

    GuiModule(GuiModule const&) = delete;
    GuiModule& operator=(GuiModule const&) = delete;

    gmpi::IMpUserInterface2B* module() const { return module_; }
    // Null for a module without a drawing surface.
    gmpi_gui_api::IMpGraphics3* graphics() const { return graphics_; }
    GuiHost& host() { return host_; }
    ModuleDescription const* description() const { return description_ ? &*description_ : nullptr; }
    int32_t setHostResult() const { return setHostResult_; }

    // [ui thread] A value as a host delivers it: setPin, then notifyPin. The first result
    // that is not MP_OK, else MP_OK.
    int32_t deliver(int32_t pin, void const* data, int32_t size);
    int32_t setInt(int32_t pin, int32_t value);
    int32_t setFloat(int32_t pin, float value);
    int32_t setBool(int32_t pin, bool value);
    int32_t setText(int32_t pin, std::wstring const& text);
    int32_t setBytes(int32_t pin, std::vector<uint8_t> const& bytes);
    // By the description, encoded as PinValueEncoding.h says. Throws std::invalid_argument
    // for an unknown name or a value that does not fit the pin.
    int32_t setByName(std::string_view name, nlohmann::json const& value);
    // Every described input's default, in index order, as a host sends them when the patch opens.
    void sendDefaults();

    // Graphics view operations; each throws std::logic_error for a module without one.
    int32_t arrange(GmpiDrawing_API::MP1_RECT rect);
    int32_t measure(GmpiDrawing_API::MP1_SIZE available, GmpiDrawing_API::MP1_SIZE& desired);
    int32_t render(gmpi::IMpUnknown* drawingContext);
    int32_t pointerDown(int32_t flags, GmpiDrawing_API::MP1_POINT point);
    int32_t pointerMove(int32_t flags, GmpiDrawing_API::MP1_POINT point);
    int32_t pointerUp(int32_t flags, GmpiDrawing_API::MP1_POINT point);
    int32_t hitTest(GmpiDrawing_API::MP1_POINT point);
    // The tooltip text (UTF-8), or nothing when the module refused.
    std::optional<std::string> toolTip(GmpiDrawing_API::MP1_POINT point);

    void advanceClockMilliseconds(int64_t milliseconds) { host_.advanceClock(milliseconds * 1'000'000); }

    // Releases the module now (the destructor does it otherwise).
    void releaseModule();

private:
    void create(gmpi::IMpFactory2& factory, std::wstring const& id);
    gmpi_gui_api::IMpGraphics3& requireGraphics() const;

    GuiHost host_;
    std::optional<ModuleDescription> description_;
    gmpi::IMpUserInterface2B* module_ = nullptr;
    gmpi_gui_api::IMpGraphics3* graphics_ = nullptr;
    int32_t setHostResult_ = gmpi::MP_FAIL;
};

} // namespace zr::host

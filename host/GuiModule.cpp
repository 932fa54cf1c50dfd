#include "host/GuiModule.h"

#include <stdexcept>

#include "host/Bundle.h"
#include "host/PinValueEncoding.h"
#include "host/TextConversion.h"
#include "sdk/MpString.h"

namespace zr::host {
namespace {

[[noreturn]] void creationFailed(std::wstring const& id, std::string const& reason) {
    throw std::runtime_error("module " + utf8FromWide(id) + ": " + reason);
}

} // namespace

GuiModule::GuiModule(Bundle& bundle, std::wstring const& id, Options options)
    : GuiModule(*bundle.factory(), id, std::move(options)) {}

GuiModule::GuiModule(gmpi::IMpFactory2& factory, std::wstring const& id, Options options)
    : description_(std::move(options.description)) {
    host_.setPolicy(std::move(options.hostPolicy));
    if (description_)
        host_.setPinCount(static_cast<int32_t>(description_->pins.size()));
    create(factory, id);
    host_.serve(module_);
}

GuiModule::~GuiModule() { releaseModule(); }

void GuiModule::releaseModule() {
    host_.serve(nullptr);
    if (graphics_ != nullptr)
        graphics_->release();
    if (module_ != nullptr)
        module_->release();
    graphics_ = nullptr;
    module_ = nullptr;
}

// GUI modules are created without the host and then handed it, as the protocol asks.
void GuiModule::create(gmpi::IMpFactory2& factory, std::wstring const& id) {
    void* created = nullptr;
    int32_t const result = factory.createInstance2(id.c_str(), guiSubType, &created);
    if (result != gmpi::MP_OK || created == nullptr)
        creationFailed(id, result == gmpi::MP_NOSUPPORT ? "the bundle does not make this module as a user-interface module; check that the bundle and its descriptions belong together"
                                                    : "the bundle failed to create it; run zrhost list to see what the bundle offers");
    auto* unknown = static_cast<gmpi::IMpUnknown*>(created);
    void* moduleView = nullptr;
    int32_t const queried = unknown->queryInterface(MP_IID_GUI_PLUGIN2B, &moduleView);
    unknown->release();
    if (queried != gmpi::MP_OK || moduleView == nullptr)
        creationFailed(id, "it is not a user-interface module this host can draw; check that the bundle and its descriptions belong together");
    module_ = static_cast<gmpi::IMpUserInterface2B*>(moduleView);
    void* graphicsView = nullptr;
    if (module_->queryInterface(SE_IID_GRAPHICS_MPGUI3, &graphicsView) == gmpi::MP_OK)
        graphics_ = static_cast<gmpi_gui_api::IMpGraphics3*>(graphicsView);
    setHostResult_ = module_->setHost(static_cast<gmpi::IMpUserInterfaceHost2*>(&host_));
    module_->initialize();
}

int32_t GuiModule::deliver(int32_t pin, void const* data, int32_t size) {
    int32_t const stored = module_->setPin(pin, 0, size, data);
    int32_t const notified = module_->notifyPin(pin, 0);
    return stored != gmpi::MP_OK ? stored : notified;
}

int32_t GuiModule::setInt(int32_t pin, int32_t value) { return deliver(pin, &value, sizeof value); }

int32_t GuiModule::setFloat(int32_t pin, float value) { return deliver(pin, &value, sizeof value); }

int32_t GuiModule::setBool(int32_t pin, bool value) {
    uint8_t const byte = value ? 1 : 0;
    return deliver(pin, &byte, sizeof byte);
}

int32_t GuiModule::setText(int32_t pin, std::wstring const& text) {
    return deliver(pin, text.data(), static_cast<int32_t>(text.size() * sizeof(wchar_t)));
}

int32_t GuiModule::setBytes(int32_t pin, std::vector<uint8_t> const& bytes) {
    return deliver(pin, bytes.data(), static_cast<int32_t>(bytes.size()));
}

int32_t GuiModule::setByName(std::string_view name, nlohmann::json const& value) {
    if (!description_)
        throw std::invalid_argument("setByName needs the module's description in the options");
    PinDescription const* described = description_->findPin(name);
    if (described == nullptr)
        throw std::invalid_argument(description_->idText() + " has no pin named '" + std::string(name) + "'");
    std::vector<uint8_t> const bytes = encodePinValue(described->datatype, value);
    return deliver(described->index, bytes.data(), static_cast<int32_t>(bytes.size()));
}

void GuiModule::sendDefaults() {
    if (!description_)
        throw std::invalid_argument("sendDefaults needs the module's description in the options");
    for (PinDescription const& described : description_->pins)
        if (described.isInput() && described.defaultValue)
            setByName(described.name, *described.defaultValue);
}

gmpi_gui_api::IMpGraphics3& GuiModule::requireGraphics() const {
    if (graphics_ == nullptr)
        throw std::logic_error("the module has no graphics view");
    return *graphics_;
}

int32_t GuiModule::arrange(GmpiDrawing_API::MP1_RECT rect) { return requireGraphics().arrange(rect); }

int32_t GuiModule::measure(GmpiDrawing_API::MP1_SIZE available, GmpiDrawing_API::MP1_SIZE& desired) {
    return requireGraphics().measure(available, &desired);
}

int32_t GuiModule::render(gmpi::IMpUnknown* drawingContext) { return requireGraphics().OnRender(drawingContext); }

int32_t GuiModule::pointerDown(int32_t flags, GmpiDrawing_API::MP1_POINT point) {
    return requireGraphics().onPointerDown(flags, point);
}

int32_t GuiModule::pointerMove(int32_t flags, GmpiDrawing_API::MP1_POINT point) {
    return requireGraphics().onPointerMove(flags, point);
}

int32_t GuiModule::pointerUp(int32_t flags, GmpiDrawing_API::MP1_POINT point) {
    return requireGraphics().onPointerUp(flags, point);
}

int32_t GuiModule::hitTest(GmpiDrawing_API::MP1_POINT point) { return requireGraphics().hitTest(point); }

std::optional<std::string> GuiModule::toolTip(GmpiDrawing_API::MP1_POINT point) {
    gmpi_sdk::MpString text;
    if (requireGraphics().getToolTip(point, &text) != gmpi::MP_OK)
        return std::nullopt;
    return text.str();
}

} // namespace zr::host

#include "lv2/ui/ShapeEditorUi.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>

#include "host/TextConversion.h"
#include "lv2/ShapeWork.h"
#include "sdk/MpFactory.h"

namespace zr::lv2 {
namespace {

constexpr wchar_t const* kEditorId = L"ZR_ShapeEditor5";
constexpr int32_t kShapePin = 0;
constexpr int32_t kModePin = 1;
// Texts sent and not yet echoed that are remembered; older ones no longer hold back an answer.
constexpr size_t kRememberedTexts = 64;

// The port of the `slot`-th control that sets a module's interpolation, in catalogue order.
uint32_t modePortOf(PluginDefinition const& plugin, size_t slot) {
    size_t seen = 0;
    for (size_t i = 0; i < plugin.controls.size(); ++i) {
        char const* pin = plugin.controls[i].pinName;
        if (pin && std::strcmp(pin, "Interpolation") == 0 && seen++ == slot)
            return controlPortIndex(plugin, static_cast<uint32_t>(i));
    }
    return UINT32_MAX;
}

std::string textOfImage(std::vector<uint8_t> const& image) {
    zr::Shape shape;
    shape.readBlob(image.data(), static_cast<int32_t>(image.size()));
    return host::utf8FromWide(shape.getString());
}

} // namespace

ShapeEditorUi::ShapeEditorUi(PluginDefinition const& plugin, std::filesystem::path const& bundle, UiConnection const& connection)
    : plugin_(plugin),
      connection_(connection),
      uris_(connection.map, plugin),
      eventTransfer_(connection.map ? connection.map->map(connection.map->handle, LV2_ATOM__eventTransfer) : 0),
      descriptions_(host::ModuleDescriptions::load(bundle / "modules.json")) {
    if (!connection_.map || !connection_.write)
        throw std::runtime_error("the host offers no URID map or no way to write to the plug-in");
    host::ModuleDescription const* description = descriptions_.find(kEditorId);
    if (!description)
        throw std::runtime_error("the bundle's modules.json does not describe ZR_ShapeEditor5");

    slots_.resize(plugin_.shapes.size());
    std::vector<EditorPanel::Pane> panes;
    for (size_t slot = 0; slot < slots_.size(); ++slot) {
        Slot& s = slots_[slot];
        s.editor = std::make_unique<host::GuiModule>(*Factory(), kEditorId, host::GuiModuleOptions{.description = *description});
        s.editor->sendDefaults();
        s.view = std::make_unique<window::ModuleView>(*s.editor);
        s.view->onTransmission([this, slot](host::HostRecord const& record) { editorSent(slot, record); });
        s.view->onGestureEnd([this, slot] { gestureEnded(slot); });
        s.modePort = modePortOf(plugin_, slot);
        panes.push_back({plugin_.shapes[slot].label, s.view.get()});
        showText(slot, plugin_.shapes[slot].defaultText);
    }
    panel_ = std::make_unique<EditorPanel>(std::move(panes));
    int const width = kPaneWidth * static_cast<int>(std::max<size_t>(1, slots_.size()));
    int const height = kPaneHeight + EditorPanel::kLabelHeight;
    window_ = std::make_unique<window::X11Window>(
        window::WindowOptions{.title = std::string(plugin_.name) + " shape editor", .width = width, .height = height, .parent = connection_.parent, .display = {}},
        *panel_);
    if (connection_.resize)
        connection_.resize->ui_resize(connection_.resize->handle, width, height);
    sendGet();
}

ShapeEditorUi::~ShapeEditorUi() {
    window_.reset();
    panel_.reset();
    for (Slot& slot : slots_) {
        slot.view.reset();
        slot.editor.reset();
    }
}

int ShapeEditorUi::idle() { return window_->handlePendingEvents() ? 0 : 1; }

// Each shape the editor sends, mid-gesture too, so that the plug-in plays the drag as it goes.
void ShapeEditorUi::editorSent(size_t slot, host::HostRecord const& record) {
    if (record.pin != kShapePin)
        return;
    Slot& s = slots_[slot];
    s.gesture = true;
    std::string const text = textOfImage(record.bytes);
    if (text == s.shownText)
        return;
    s.shownText = text;
    sendShapeText(slot, text);
}

void ShapeEditorUi::gestureEnded(size_t slot) {
    Slot& s = slots_[slot];
    s.gesture = false;
    if (s.held) {
        std::string const text = std::move(*s.held);
        s.held.reset();
        showText(slot, text);
    }
}

// A text the plug-in does not take leaves the editor as it is.
void ShapeEditorUi::showText(size_t slot, std::string const& text) {
    Slot& s = slots_[slot];
    if (text == s.shownText || text.size() > kMaxShapeText)
        return;
    zr::Shape shape;
    shape.setString(host::wideFromUtf8(text));
    if (shape.invalid)
        return;
    s.shownText = text;
    s.view->deliver(kShapePin, shape.blobData(), shape.blobSize());
}

void ShapeEditorUi::portEvent(uint32_t port, uint32_t size, uint32_t format, void const* buffer) {
    if (!buffer)
        return;
    if (port == kNotifyPort && format == eventTransfer_ && eventTransfer_ != 0) {
        notified(static_cast<LV2_Atom const*>(buffer), size);
        return;
    }
    if (format != 0 || size != sizeof(float))
        return;
    float value = 0.0f;
    std::memcpy(&value, buffer, sizeof value);
    for (Slot& s : slots_) {
        if (port != s.modePort || !std::isfinite(value))
            continue;
        auto const mode = static_cast<int32_t>(std::lround(std::clamp(value, 0.0f, 1000.0f)));
        s.view->deliver(kModePin, &mode, sizeof mode);
    }
}

// Only a patch:Set of a shape's text counts. The echo of a text this interface sent is
// passed over (the editor shows it or a newer one); anything else arriving during a gesture
// waits for its end, so that the drag is not pulled back.
void ShapeEditorUi::notified(LV2_Atom const* atom, uint32_t size) {
    if (size < sizeof(LV2_Atom) || atom->size > size - sizeof(LV2_Atom) || atom->size < sizeof(LV2_Atom_Object_Body))
        return;
    if (atom->type != uris_.atomObject && atom->type != uris_.atomBlank)
        return;
    auto const* object = reinterpret_cast<LV2_Atom_Object const*>(atom);
    if (object->body.otype != uris_.patchSet)
        return;
    LV2_Atom const* property = nullptr;
    LV2_Atom const* value = nullptr;
    lv2_atom_object_get(object, uris_.patchProperty, &property, uris_.patchValue, &value, 0);
    if (!property || property->type != uris_.atomUrid || property->size < sizeof(LV2_URID) || !value ||
        value->type != uris_.atomString)
        return;
    LV2_URID const key = reinterpret_cast<LV2_Atom_URID const*>(property)->body;
    auto const* body = static_cast<char const*>(LV2_ATOM_BODY_CONST(value));
    std::string const text(body, strnlen(body, value->size));
    for (size_t slot = 0; slot < slots_.size(); ++slot) {
        if (key != uris_.shape[slot])
            continue;
        Slot& s = slots_[slot];
        auto const echo = std::find(s.unanswered.begin(), s.unanswered.end(), text);
        if (echo != s.unanswered.end()) {
            s.unanswered.erase(s.unanswered.begin(), echo + 1);
            continue;
        }
        if (s.gesture)
            s.held = text;
        else
            showText(slot, text);
    }
}

void ShapeEditorUi::sendShapeText(size_t slot, std::string const& text) {
    std::vector<uint8_t> buffer(text.size() + 256);
    LV2_Atom_Forge forge;
    lv2_atom_forge_init(&forge, connection_.map);
    lv2_atom_forge_set_buffer(&forge, buffer.data(), buffer.size());
    LV2_Atom_Forge_Frame frame;
    auto* message = reinterpret_cast<LV2_Atom*>(lv2_atom_forge_object(&forge, &frame, 0, uris_.patchSet));
    lv2_atom_forge_key(&forge, uris_.patchProperty);
    lv2_atom_forge_urid(&forge, uris_.shape[slot]);
    lv2_atom_forge_key(&forge, uris_.patchValue);
    lv2_atom_forge_string(&forge, text.data(), static_cast<uint32_t>(text.size()));
    lv2_atom_forge_pop(&forge, &frame);
    Slot& s = slots_[slot];
    s.unanswered.push_back(text);
    if (s.unanswered.size() > kRememberedTexts)
        s.unanswered.pop_front();
    write(message);
}

// Without a property the plug-in answers with every shape.
void ShapeEditorUi::sendGet() {
    uint8_t buffer[64];
    LV2_Atom_Forge forge;
    lv2_atom_forge_init(&forge, connection_.map);
    lv2_atom_forge_set_buffer(&forge, buffer, sizeof buffer);
    LV2_Atom_Forge_Frame frame;
    auto* message = reinterpret_cast<LV2_Atom*>(lv2_atom_forge_object(&forge, &frame, 0, uris_.patchGet));
    lv2_atom_forge_pop(&forge, &frame);
    write(message);
}

void ShapeEditorUi::write(LV2_Atom const* message) {
    connection_.write(connection_.controller, kControlPort, static_cast<uint32_t>(lv2_atom_total_size(message)), eventTransfer_,
                      message);
}

} // namespace zr::lv2

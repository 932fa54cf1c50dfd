#pragma once
// The plug-ins' interface: one ZR_ShapeEditor5 per shape of the plug-in, side by side in a
// window inside the host's parent window, each driven through ModuleView as `zrhost edit`
// drives its editor. Every shape the editor sends goes to the plug-in as a patch:Set of the
// shape's text parameter; the plug-in's patch:Set notifications (its answer to the patch:Get
// sent at start, its echo of an edit, a restored state or preset) show in the editor, and its
// interpolation controls set the editors' modes.
//
// [ui thread] Every operation, called by the host through the LV2 UI descriptor.

#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <lv2/ui/ui.h>

#include "host/GuiModule.h"
#include "host/ModuleDescriptions.h"
#include "host/window/ModuleView.h"
#include "host/window/X11Window.h"
#include "lv2/PluginCatalog.h"
#include "lv2/Uris.h"
#include "lv2/ui/EditorPanel.h"

namespace zr::lv2 {

struct UiConnection {
    LV2UI_Write_Function write = nullptr;
    LV2UI_Controller controller = nullptr;
    LV2_URID_Map* map = nullptr;
    unsigned long parent = 0; // the host's window; 0: a window of its own
    LV2UI_Resize const* resize = nullptr;
};

class ShapeEditorUi {
public:
    static constexpr int kPaneWidth = 320;
    static constexpr int kPaneHeight = 220;

    // Throws std::runtime_error (no URID map, no editor description in the bundle, no display).
    ShapeEditorUi(PluginDefinition const& plugin, std::filesystem::path const& bundle, UiConnection const& connection);
    ~ShapeEditorUi();
    ShapeEditorUi(ShapeEditorUi const&) = delete;
    ShapeEditorUi& operator=(ShapeEditorUi const&) = delete;

    unsigned long windowId() const { return window_->id(); }
    // A message or value from the plug-in; anything unreadable is ignored.
    void portEvent(uint32_t port, uint32_t size, uint32_t format, void const* buffer);
    // Handles the window's waiting events without blocking; 0 while the interface stays open.
    int idle();

private:
    struct Slot {
        std::unique_ptr<host::GuiModule> editor;
        std::unique_ptr<window::ModuleView> view;
        std::string shownText;              // the plug-in's shape as the editor shows it
        std::deque<std::string> unanswered; // texts sent whose echo has not come back
        std::optional<std::string> held;    // a notification kept until the gesture ends
        bool gesture = false;               // the editor sent shapes since the last release
        uint32_t modePort = UINT32_MAX;     // the interpolation control of this shape
    };

    void editorSent(size_t slot, host::HostRecord const& record);
    void gestureEnded(size_t slot);
    void notified(LV2_Atom const* atom, uint32_t size);
    void showText(size_t slot, std::string const& text);
    void sendShapeText(size_t slot, std::string const& text);
    void sendGet();
    void write(LV2_Atom const* message);

    PluginDefinition const& plugin_;
    UiConnection connection_;
    Uris uris_;
    LV2_URID eventTransfer_ = 0;
    host::ModuleDescriptions descriptions_;
    std::vector<Slot> slots_;
    std::unique_ptr<EditorPanel> panel_;
    std::unique_ptr<window::X11Window> window_;
};

} // namespace zr::lv2

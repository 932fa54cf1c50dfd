#pragma once
// Hostile scripts for GUI-side modules: pin values stored and notified apart or together,
// with wrong and negative sizes, null data, NaN and infinities, huge and malformed texts and
// blobs, unknown pin indices; and for modules that draw: layouts with hostile rectangles,
// frames through the recording back end (sometimes failing to create objects), pointer
// presses, drags, releases and double clicks at ordinary and hostile points.
// Operations are chosen one at a time, so a long script never has to be held in memory.

#include <cstdint>
#include <vector>

#include "host/ModuleDescription.h"
#include "host/ModuleDescriptions.h"
#include "testing/hostile/Choices.h"
#include "testing/hostile/HostilePolicies.h"
#include "sdk/DrawingApi.h"

namespace zr::hostile {

enum class GuiOpKind {
    SetPin,      // setPin only
    NotifyPin,   // notifyPin only
    Deliver,     // setPin, then notifyPin, as a host delivers a value
    Arrange,
    Measure,
    Render,
    PointerDown,
    PointerMove,
    PointerUp,
    DoubleClick, // down, up, down, up within the double-click time
    HitTest,
    ToolTip,
    AdvanceClock,
};

struct GuiOp {
    GuiOpKind kind = GuiOpKind::Deliver;
    int32_t pin = 0;
    std::vector<uint8_t> bytes;
    int32_t size = 0;      // the size handed over; may differ from bytes.size() only downwards or below 0
    bool nullData = false; // the data pointer handed over is null
    int32_t flags = 0;
    GmpiDrawing_API::MP1_RECT rect{};   // Arrange; Measure uses right and bottom as the size
    GmpiDrawing_API::MP1_POINT point{}; // pointer operations, HitTest, ToolTip
    int64_t milliseconds = 0;           // AdvanceClock
    int failingCreations = 0;           // Render: the next this many render targets and brushes fail
};

struct GuiRunSettings {
    GuiHostileSwitches hostile; // the runner sets how deep an echoing host nests
    bool initializeTwice = false; // setHost and initialize run a second time before the script
};

// A host configuration: every so often odd answers, an echo, or one refused interface.
GuiRunSettings chooseGuiSettings(Choices& choices);

class GuiScriptChooser {
public:
    // `drawing`: the module has a graphics view, so layout, frames and pointers are chosen too.
    GuiScriptChooser(host::ModuleDescription const& module, bool drawing, bool allowNonFinite);

    GuiOp next(Choices& choices);

private:
    GuiOp pinOp(Choices& choices);
    GuiOp viewOp(Choices& choices);
    GmpiDrawing_API::MP1_RECT chooseRect(Choices& choices) const;
    GmpiDrawing_API::MP1_POINT choosePoint(Choices& choices) const;
    std::vector<uint8_t> chooseValue(Choices& choices, host::PinDescription const* pin) const;

    host::ModuleDescription const& module_;
    bool drawing_;
    bool allowNonFinite_;
    GmpiDrawing_API::MP1_RECT layout_{0.0f, 0.0f, 0.0f, 0.0f}; // the last rectangle arranged
};

// Every GUI-side module in the descriptions, in their order.
std::vector<host::ModuleDescription> guiSideModules(host::ModuleDescriptions const& descriptions);

// Whether a pin carries a shape as text (its name starts with "Shape", or it is a converter's
// "String"): such texts must parse.
bool carriesShapeText(host::PinDescription const& pin);

// Whether a pin takes a file name: values for it never leave the folder the host resolves
// short names against (no separators), whatever else they hold.
bool takesFileName(host::PinDescription const& pin);

} // namespace zr::hostile

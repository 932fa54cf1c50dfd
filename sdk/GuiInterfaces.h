#pragma once
// The host-facing interfaces of the GUI side: the module interfaces a host drives, the host
// interfaces a GUI module reaches, and the text out-parameter.
//
// As in sdk/Interfaces.h: each interface is a table of virtual operations whose slot order is
// the binary contract; no interface declares a virtual destructor (it would take two slots and
// shift every later operation). Every operation returns MP_OK (0) on success, MP_FAIL (-1) on
// failure and MP_NOSUPPORT (-2) for an identifier the callee does not have (and zrhost for an
// unused slot). An operation the bundle's modules do not take answers MP_FAIL. Exceptions never
// cross these interfaces. A pointer or data handed into an operation stays the caller's and is
// read only during the call, unless the operation says otherwise.
//
// [ui thread] Every operation here runs on the host's user-interface thread, never two at once
// for one module; calls nest only where said (pinTransmit).

#include <cstdint>

#include "sdk/DrawingApi.h"
#include "sdk/Interfaces.h"

namespace gmpi {

// A text out-parameter: the callee stores UTF-8 bytes into the caller's object. This bundle's
// implementation is gmpi_sdk::MpString (sdk/MpString.h), which zrhost passes to getToolTip.
class IString : public IMpUnknown {
public:
    // Copies `size` bytes of `data`; a size of 0 or below, or null data, stores an empty text.
    // Always MP_OK.
    virtual int32_t setData(char const* data, int32_t size) = 0;                      // slot 3
    // The number of bytes stored.
    virtual int32_t getSize() = 0;                                                     // slot 4
    // The stored bytes, zero-terminated; the object owns them, valid until the next setData.
    virtual char const* getData() = 0;                                                 // slot 5
};

// The GUI module interface ({9CD06775-...}), implemented by the bundle's GUI modules and
// driven by the host. Slots that zrhost never calls are marked so, with this bundle's answer.
class IMpUserInterface2 : public IMpUnknown {
public:
    // [after creation, before initialize] Releases the host interfaces held so far and
    // queries the module's host interfaces from `host`, keeping one reference to each answer
    // until the next setHost or the module's end. MP_OK when the UI host (MP_IID_UI_HOST2)
    // was obtained, MP_NOSUPPORT otherwise (also for a null host).
    virtual int32_t setHost(IMpUnknown* host) = 0;                                     // slot 3
    // zrhost calls it once, after setHost. The bundle's modules do nothing here: MP_OK.
    virtual int32_t initialize() = 0;                                                  // slot 4
    // Stores a value in pin `pinIndex` without running its handler. `data` (`size` bytes) is
    // read only during the call: the pin copies it. The bundle's pins ignore `voice`. MP_FAIL
    // for an unknown pin, or when the copy could not be allocated.
    virtual int32_t setPin(int32_t pinIndex, int32_t voice, int32_t size, void const* data) = 0; // slot 5
    // Not called by zrhost. The bundle's modules take no messages: MP_FAIL, nothing read.
    virtual int32_t receiveMessageFromAudio(int32_t id, int32_t size, void const* messageData) = 0; // slot 6
    // Not called by zrhost. The bundle's modules add no menu items: MP_FAIL, the sink untouched.
    virtual int32_t populateContextMenu(float x, float y, IMpUnknown* contextMenuItemsSink) = 0;    // slot 7
    // Not called by zrhost. MP_FAIL in this bundle.
    virtual int32_t onContextMenu(int32_t selection) = 0;                              // slot 8
    // `returnString` is an IString. Not called by zrhost, which asks the graphics view
    // (IMpGraphics2::getToolTip); this form answers MP_FAIL in this bundle.
    virtual int32_t getToolTip(float x, float y, IMpUnknown* returnString) = 0;       // slot 9
};

// The interface the factory hands out for a GUI module ({21B0EC11-...}).
class IMpUserInterface2B : public IMpUserInterface2 {
public:
    // Runs the handler of pin `pinIndex`, every time, whether its value changed or not; the
    // handler may transmit pin values before it returns. MP_FAIL for an unknown pin, or when
    // the handler failed.
    virtual int32_t notifyPin(int32_t pinIndex, int32_t voice) = 0;                    // slot 10
};

// The UI host (MP_IID_UI_HOST2), implemented by the host and called by the GUI modules.
class IMpUserInterfaceHost2 : public IMpUnknown {
public:
    // The value reaches whatever is connected to pin `pinIndex`. `data` (`size` bytes) is read
    // only during the call: the host copies it. A host that echoes values may call the
    // module's setPin and notifyPin before it returns. zrhost answers MP_OK.
    virtual int32_t pinTransmit(int32_t pinIndex, int32_t size, void const* data, int32_t voice) = 0; // slot 3
    // Writes the full path of `shortName` as a terminated text of at most `maxChars`
    // characters, terminator included. zrhost: MP_FAIL for null arguments, maxChars below 1
    // or a path cut to fit. Callers zero a buffer one character longer than `maxChars`, so an
    // unwritten answer reads as empty and an unterminated one ends inside it.
    virtual int32_t resolveFilename(wchar_t const* shortName, int32_t maxChars,
                                    wchar_t* returnFullFilename) = 0;                 // slot 4
    // Writes the number of pins the host lists for the module. Callers initialise the answer
    // to 0, so an unwritten one reads as no pins.
    virtual int32_t getPinCount(int32_t* returnCount) = 0;                             // slot 5
};

// The older UI host (MP_IID_UI_HOST), implemented by the host. Its operations are those of
// IMpUserInterfaceHost2. The unused slots are never called by this bundle; zrhost answers
// MP_NOSUPPORT in each.
class IMpUserInterfaceHost : public IMpUnknown {
public:
    virtual int32_t pinTransmit(int32_t pinIndex, int32_t size, void const* data, int32_t voice) = 0; // slot 3
    virtual int32_t resolveFilename(wchar_t const* shortName, int32_t maxChars,
                                    wchar_t* returnFullFilename) = 0;                 // slot 4
    virtual int32_t unusedSlot5() = 0;                                                 // slot 5
    virtual int32_t unusedSlot6() = 0;                                                 // slot 6
    virtual int32_t unusedSlot7() = 0;                                                 // slot 7
    virtual int32_t unusedSlot8() = 0;                                                 // slot 8
    virtual int32_t unusedSlot9() = 0;                                                 // slot 9
    virtual int32_t unusedSlot10() = 0;                                                // slot 10
    virtual int32_t unusedSlot11() = 0;                                                // slot 11
    virtual int32_t getPinCount(int32_t* returnCount) = 0;                             // slot 12
};

} // namespace gmpi

namespace gmpi_gui {

// The graphics host (SE_IID_GRAPHICS_HOST), implemented by the host for modules that draw and
// called by them. The modules ignore the results of setCapture and releaseCapture; zrhost
// answers MP_OK to both.
class IMpGraphicsHost : public gmpi::IMpUnknown {
public:
    // Routes every pointer operation to the module until releaseCapture.
    virtual int32_t setCapture() = 0;                                                  // slot 3
    // Writes non-zero when the module holds the capture, else 0. Modules read an unwritten
    // answer as not held.
    virtual int32_t getCapture(int32_t* returnValue) = 0;                              // slot 4
    // Asks for OnRender; a null rectangle (the only one the modules pass) means the module's
    // whole area.
    virtual void invalidateRect(GmpiDrawing_API::MP1_RECT const* invalidRect) = 0;    // slot 5
    virtual int32_t releaseCapture() = 0;                                              // slot 6
};

} // namespace gmpi_gui

namespace gmpi_gui_api {

// Pointer flags.
inline constexpr int32_t GG_POINTER_FLAG_FIRSTBUTTON = 0x10;
inline constexpr int32_t GG_POINTER_KEY_CONTROL = 0x20000;

// The drawing module's views ({CE4448E5-...}, {4540C6EE-...}, {6AEF51B9-...}), implemented by
// the bundle's drawing modules (gmpi_gui::MpGuiGfxBase) and driven by the host. Anything a
// module throws comes back as MP_FAIL. Slots that zrhost never calls are marked so, with this
// bundle's answer.
class IMpGraphics : public gmpi::IMpUnknown {
public:
    // Writes the size the module wants within `availableSize`: in this bundle the available
    // size, at least 1 x 1. MP_FAIL for a null `returnDesiredSize`.
    virtual int32_t measure(GmpiDrawing_API::MP1_SIZE availableSize,
                            GmpiDrawing_API::MP1_SIZE* returnDesiredSize) = 0;        // slot 3
    // Gives the module its drawing rectangle; a changed one asks for a redraw. MP_OK.
    virtual int32_t arrange(GmpiDrawing_API::MP1_RECT finalRect) = 0;                 // slot 4
    // Draws a frame; `drawingContext` answers SE_IID_DEVICECONTEXT_MPGUI and is used only
    // during the call (objects made from it may be kept, sdk/DrawingApi.h). MP_OK in this
    // bundle, also when the context answers nothing and nothing is drawn.
    virtual int32_t OnRender(gmpi::IMpUnknown* drawingContext) = 0;                   // slot 5
    // Results of the three pointer operations: MP_FAIL refused, 0 taken, 1 taken and handled.
    virtual int32_t onPointerDown(int32_t flags, GmpiDrawing_API::MP1_POINT point) = 0; // slot 6
    virtual int32_t onPointerMove(int32_t flags, GmpiDrawing_API::MP1_POINT point) = 0; // slot 7
    virtual int32_t onPointerUp(int32_t flags, GmpiDrawing_API::MP1_POINT point) = 0;   // slot 8
};

class IMpGraphics2 : public IMpGraphics {
public:
    // MP_OK when the module takes the pointer at `point`, MP_FAIL when not.
    virtual int32_t hitTest(GmpiDrawing_API::MP1_POINT point) = 0;                    // slot 9
    // Stores the tooltip text through `returnString`, queried for its IString
    // (MP_IID_RETURNSTRING) and used only during the call. MP_FAIL when the module has no
    // tooltip or `returnString` is null or no IString.
    virtual int32_t getToolTip(GmpiDrawing_API::MP1_POINT point, gmpi::IMpUnknown* returnString) = 0; // slot 10
};

class IMpGraphics3 : public IMpGraphics2 {
public:
    // Not called by zrhost. In this bundle: hitTest(point), the flags ignored.
    virtual int32_t hitTest2(int32_t flags, GmpiDrawing_API::MP1_POINT point) = 0;    // slot 11
    // Not called by zrhost. MP_FAIL in this bundle: no module takes the wheel.
    virtual int32_t onMouseWheel(int32_t flags, int32_t delta, GmpiDrawing_API::MP1_POINT point) = 0; // slot 12
    // Not called by zrhost. MP_FAIL in this bundle.
    virtual int32_t setHover(bool isMouseOverMe) = 0;                                  // slot 13
};

} // namespace gmpi_gui_api

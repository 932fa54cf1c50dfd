#pragma once
// The host-facing interfaces of the GUI side: the module interfaces a host drives, the host
// interfaces a GUI module reaches, and the text out-parameter.
//
// As in sdk/Interfaces.h: each interface is a table of virtual operations whose slot order is
// the binary contract; no interface declares a virtual destructor (it would take two slots and
// shift every later operation). Every operation returns MP_OK (0) on success, MP_FAIL (-1) on
// failure and MP_NOSUPPORT (-2) for an identifier or operation the callee does not have.
// Exceptions never cross these interfaces.
//
// [ui thread] Every operation here runs on the host's user-interface thread, one call at a
// time per module.

#include <cstdint>

#include "sdk/DrawingApi.h"
#include "sdk/Interfaces.h"

namespace gmpi {

// A text out-parameter: the callee stores UTF-8 bytes into the caller's object.
class IString : public IMpUnknown {
public:
    // Stores `size` bytes; a size of 0 or below stores an empty text.
    virtual int32_t setData(char const* data, int32_t size) = 0;                      // slot 3
    virtual int32_t getSize() = 0;                                                     // slot 4
    virtual char const* getData() = 0;                                                 // slot 5
};

// The GUI module interface ({9CD06775-...}).
class IMpUserInterface2 : public IMpUnknown {
public:
    // Hands the host over; the module queries its host interfaces from it. MP_OK when the UI
    // host (MP_IID_UI_HOST2) was obtained, MP_NOSUPPORT otherwise (also for a null host).
    virtual int32_t setHost(IMpUnknown* host) = 0;                                     // slot 3
    virtual int32_t initialize() = 0;                                                  // slot 4
    // Stores a value in pin `pinIndex` without running its handler. MP_FAIL for an unknown pin.
    virtual int32_t setPin(int32_t pinIndex, int32_t voice, int32_t size, void const* data) = 0; // slot 5
    virtual int32_t receiveMessageFromAudio(int32_t id, int32_t size, void const* messageData) = 0; // slot 6
    virtual int32_t populateContextMenu(float x, float y, IMpUnknown* contextMenuItemsSink) = 0;    // slot 7
    virtual int32_t onContextMenu(int32_t selection) = 0;                              // slot 8
    // `returnString` is an IString.
    virtual int32_t getToolTip(float x, float y, IMpUnknown* returnString) = 0;       // slot 9
};

// The interface the factory hands out for a GUI module ({21B0EC11-...}).
class IMpUserInterface2B : public IMpUserInterface2 {
public:
    // Runs the handler of pin `pinIndex`, every time, whether its value changed or not.
    // MP_FAIL for an unknown pin, or when the handler failed.
    virtual int32_t notifyPin(int32_t pinIndex, int32_t voice) = 0;                    // slot 10
};

// The UI host (MP_IID_UI_HOST2), implemented by the host.
class IMpUserInterfaceHost2 : public IMpUnknown {
public:
    // The value reaches whatever is connected to pin `pinIndex`.
    virtual int32_t pinTransmit(int32_t pinIndex, int32_t size, void const* data, int32_t voice) = 0; // slot 3
    // Writes the full path of `shortName` as a terminated text of at most `maxChars`
    // characters, terminator included.
    virtual int32_t resolveFilename(wchar_t const* shortName, int32_t maxChars,
                                    wchar_t* returnFullFilename) = 0;                 // slot 4
    // Writes the number of pins the host describes for the module.
    virtual int32_t getPinCount(int32_t* returnCount) = 0;                             // slot 5
};

// The older UI host (MP_IID_UI_HOST), implemented by the host. Slots marked unused are not
// called by this bundle.
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

// The graphics host (SE_IID_GRAPHICS_HOST), implemented by the host for modules that draw.
class IMpGraphicsHost : public gmpi::IMpUnknown {
public:
    // Routes every pointer operation to the module until releaseCapture.
    virtual int32_t setCapture() = 0;                                                  // slot 3
    // Writes non-zero when the module holds the capture, else 0.
    virtual int32_t getCapture(int32_t* returnValue) = 0;                              // slot 4
    // Asks for OnRender; a null rectangle means the module's whole area.
    virtual void invalidateRect(GmpiDrawing_API::MP1_RECT const* invalidRect) = 0;    // slot 5
    virtual int32_t releaseCapture() = 0;                                              // slot 6
};

} // namespace gmpi_gui

namespace gmpi_gui_api {

// Pointer flags.
inline constexpr int32_t GG_POINTER_FLAG_FIRSTBUTTON = 0x10;
inline constexpr int32_t GG_POINTER_KEY_CONTROL = 0x20000;

// The drawing module's views ({CE4448E5-...}, {4540C6EE-...}, {6AEF51B9-...}).
class IMpGraphics : public gmpi::IMpUnknown {
public:
    // Writes the size the module wants within `availableSize`.
    virtual int32_t measure(GmpiDrawing_API::MP1_SIZE availableSize,
                            GmpiDrawing_API::MP1_SIZE* returnDesiredSize) = 0;        // slot 3
    // Gives the module its drawing rectangle.
    virtual int32_t arrange(GmpiDrawing_API::MP1_RECT finalRect) = 0;                 // slot 4
    // Draws a frame; `drawingContext` answers SE_IID_DEVICECONTEXT_MPGUI.
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
    // `returnString` is an IString.
    virtual int32_t getToolTip(GmpiDrawing_API::MP1_POINT point, gmpi::IMpUnknown* returnString) = 0; // slot 10
};

class IMpGraphics3 : public IMpGraphics2 {
public:
    virtual int32_t hitTest2(int32_t flags, GmpiDrawing_API::MP1_POINT point) = 0;    // slot 11
    virtual int32_t onMouseWheel(int32_t flags, int32_t delta, GmpiDrawing_API::MP1_POINT point) = 0; // slot 12
    virtual int32_t setHover(bool isMouseOverMe) = 0;                                  // slot 13
};

} // namespace gmpi_gui_api

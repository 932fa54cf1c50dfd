#pragma once
// What a window shows and how it reacts, in terms free of any window system: sizes in pixels,
// pointer and key events as plain values, and the picture to show as a cairo image surface.
// X11Window (host/window/X11Window.h) calls these; the client never sees Xlib.

#include <cstdint>
#include <string>

struct _cairo_surface;

namespace zr::window {

struct PointerEvent {
    float x = 0.0f; // pixels from the window's top-left corner
    float y = 0.0f;
    int button = 0; // 1 primary, 2 middle, 3 secondary; 0 for a move
    bool primaryHeld = false; // the primary button is down (during a move or a release)
    bool control = false;
    bool shift = false;
    uint32_t timeMilliseconds = 0; // the window system's clock; wraps around
};

struct KeyEvent {
    std::string key; // the key's name without modifiers: "s", "z", "Escape", "1"
    bool control = false;
    bool shift = false;
    uint32_t timeMilliseconds = 0;
};

class WindowClient {
public:
    virtual ~WindowClient() = default;

    // [ui thread] The window's drawable area became `width` x `height` pixels (at least 1 x 1).
    // Called once before the first picture.
    virtual void resized(int width, int height) = 0;
    // [ui thread] The picture to show, exactly the size last given to resized(); owned by the
    // client and valid until the next call into it. Null shows nothing new.
    virtual _cairo_surface* picture() = 0;
    // [ui thread] Whether the picture changed since it was last asked for.
    virtual bool wantsRedraw() const = 0;

    virtual void pointerPressed(PointerEvent const& event) = 0;
    virtual void pointerMoved(PointerEvent const& event) = 0;
    virtual void pointerReleased(PointerEvent const& event) = 0;
    virtual void keyPressed(KeyEvent const& event) = 0;
    // The person asked to close the window (the window manager's close button). The window
    // stays open; the client decides, and calls X11Window::stop() to end run().
    virtual void closeRequested() = 0;
};

} // namespace zr::window

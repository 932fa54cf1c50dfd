#pragma once
// One window on an X server, drawn with cairo: a single Display connection, one window (a
// child of the root window, or of a window another program gives, as a plug-in's interface
// gets one), and an event loop that turns X events into WindowClient calls. The client's
// picture is copied whole onto the window (cairo's Xlib surface as the target), so the window
// shows exactly the client's pixels and never a half-drawn frame.
//
// [ui thread] Every operation runs on the thread that made the window.

#include <cstdint>
#include <stdexcept>
#include <string>

#include <memory>

#include "host/window/ConnectionErrors.h"
#include "host/window/WindowClient.h"

struct _XDisplay;
struct _cairo_surface;

namespace zr::window {

// No X server could be reached: the message says which display and what to do.
class NoDisplayError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct WindowOptions {
    std::string title;
    int width = 400;
    int height = 200;
    // The X window to live in (e.g. a plug-in host's); 0: a top-level window on the root.
    unsigned long parent = 0;
    // The X display name; empty: the DISPLAY environment variable.
    std::string display;
};

class X11Window {
public:
    // Connects, makes and maps the window. Throws NoDisplayError when DISPLAY is unset or the
    // server cannot be reached, std::invalid_argument for a size below 1 x 1, and
    // std::runtime_error when the server refuses the window (e.g. a parent that is no window).
    // Protocol errors on the window's connection never reach the process's error handler:
    // once the window is made, requests to a window its parent's owner destroyed do nothing.
    X11Window(WindowOptions const& options, WindowClient& client);
    // Destroys the window and closes the connection.
    ~X11Window();
    X11Window(X11Window const&) = delete;
    X11Window& operator=(X11Window const&) = delete;

    // Handles events until stop(); draws the client's picture whenever no event is waiting
    // and the window or the client asks for it.
    void run();
    // Handles the events that have arrived, without waiting, and draws as run() does: for a
    // host that calls in from its own idle loop. Returns false once stop() was called.
    bool handlePendingEvents();
    // Ends run() after the current event.
    void stop() { running_ = false; }
    bool running() const { return running_; }

    // The title as the window manager shows it (UTF-8).
    void setTitle(std::string const& utf8);
    // The X window's id, for tools and for children of this window.
    unsigned long id() const { return window_; }
    int width() const { return width_; }
    int height() const { return height_; }

private:
    void dispatch(void* event);
    void resizeTo(int width, int height);
    void paint();

    WindowClient& client_;
    _XDisplay* display_ = nullptr;
    std::unique_ptr<ConnectionErrors> errors_;
    unsigned long window_ = 0;
    unsigned long deleteAtom_ = 0;
    _cairo_surface* target_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    bool exposed_ = false;
    bool running_ = true;
};

} // namespace zr::window

#include "host/window/X11Window.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo-xlib.h>
#include <cairo.h>
#include <unistd.h>

#include <cstdlib>

namespace zr::window {
namespace {

std::string displayNameOf(WindowOptions const& options) {
    if (!options.display.empty())
        return options.display;
    char const* variable = std::getenv("DISPLAY");
    return variable != nullptr ? variable : "";
}

Display* connect(std::string const& name) {
    if (name.empty())
        throw NoDisplayError("no display: DISPLAY is not set; run this on a desktop with an X display, or start a virtual one "
                             "(e.g. Xvfb :5 &) and set DISPLAY=:5");
    Display* display = XOpenDisplay(name.c_str());
    if (display == nullptr)
        throw NoDisplayError("cannot open display '" + name + "': no X server answers there; check DISPLAY, or start "
                             "one (e.g. Xvfb " + name + " &)");
    return display;
}

void setUtf8Property(Display* display, Window window, char const* property, std::string const& value) {
    Atom const name = XInternAtom(display, property, False);
    Atom const utf8 = XInternAtom(display, "UTF8_STRING", False);
    XChangeProperty(display, window, name, utf8, 8, PropModeReplace, reinterpret_cast<unsigned char const*>(value.data()),
                    static_cast<int>(value.size()));
}

// So that the window manager gives a top-level window the keyboard and tools find it by
// process id.
void describeToWindowManager(Display* display, Window window) {
    XWMHints hints{};
    hints.flags = InputHint | StateHint;
    hints.input = True;
    hints.initial_state = NormalState;
    XSetWMHints(display, window, &hints);
    XClassHint classHint{const_cast<char*>("zrhost"), const_cast<char*>("zrhost")};
    XSetClassHint(display, window, &classHint);
    long const pid = ::getpid();
    Atom const pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    XChangeProperty(display, window, pidAtom, XA_CARDINAL, 32, PropModeReplace, reinterpret_cast<unsigned char const*>(&pid), 1);
}

PointerEvent pointerEventOf(int x, int y, unsigned int state, unsigned int button, Time time) {
    PointerEvent event;
    event.x = static_cast<float>(x);
    event.y = static_cast<float>(y);
    event.button = static_cast<int>(button);
    event.primaryHeld = (state & Button1Mask) != 0;
    event.control = (state & ControlMask) != 0;
    event.shift = (state & ShiftMask) != 0;
    event.timeMilliseconds = static_cast<uint32_t>(time);
    return event;
}

} // namespace

X11Window::X11Window(WindowOptions const& options, WindowClient& client) : client_(client) {
    if (options.width < 1 || options.height < 1)
        throw std::invalid_argument("a window needs at least 1 x 1 pixels");
    display_ = connect(displayNameOf(options));
    errors_ = std::make_unique<ConnectionErrors>(display_);
    int const screen = DefaultScreen(display_);
    Window const parent = options.parent != 0 ? options.parent : RootWindow(display_, screen);
    XSetWindowAttributes attributes{};
    attributes.event_mask = ExposureMask | StructureNotifyMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            KeyPressMask;
    // The picture covers the whole window, so the server need not clear it first (no flicker).
    attributes.background_pixmap = None;
    attributes.bit_gravity = NorthWestGravity;
    window_ = XCreateWindow(display_, parent, 0, 0, static_cast<unsigned>(options.width), static_cast<unsigned>(options.height),
                            0, CopyFromParent, InputOutput, CopyFromParent, CWEventMask | CWBackPixmap | CWBitGravity,
                            &attributes);
    if (window_ == 0 || errors_->takeAfterSync() > 0) {
        errors_.reset();
        XCloseDisplay(display_);
        throw std::runtime_error(options.parent != 0 ? "the X server made no window inside window " +
                                                           std::to_string(options.parent) + " (is it a window?)"
                                                     : std::string("the X server made no window"));
    }
    deleteAtom_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
    Atom protocols[] = {deleteAtom_};
    XSetWMProtocols(display_, window_, protocols, 1);
    describeToWindowManager(display_, window_);
    setTitle(options.title);
    target_ = cairo_xlib_surface_create(display_, window_, DefaultVisual(display_, screen), options.width, options.height);
    resizeTo(options.width, options.height);
    XMapWindow(display_, window_);
    XFlush(display_);
}

X11Window::~X11Window() {
    cairo_surface_destroy(target_);
    XDestroyWindow(display_, window_);
    errors_->takeAfterSync(); // the window may be gone with its parent already
    errors_.reset();
    XCloseDisplay(display_);
}

void X11Window::setTitle(std::string const& utf8) {
    setUtf8Property(display_, window_, "_NET_WM_NAME", utf8);
    setUtf8Property(display_, window_, "WM_NAME", utf8);
    XFlush(display_);
}

void X11Window::run() {
    while (running_) {
        XEvent event;
        XNextEvent(display_, &event);
        dispatch(&event);
        if (XPending(display_) == 0)
            paint();
    }
}

bool X11Window::handlePendingEvents() {
    while (running_ && XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        dispatch(&event);
    }
    paint();
    return running_;
}

void X11Window::dispatch(void* raw) {
    XEvent const& event = *static_cast<XEvent*>(raw);
    switch (event.type) {
    case ConfigureNotify:
        resizeTo(event.xconfigure.width, event.xconfigure.height);
        break;
    case Expose:
        exposed_ = true;
        break;
    case ButtonPress: {
        XButtonEvent const& button = event.xbutton;
        client_.pointerPressed(pointerEventOf(button.x, button.y, button.state, button.button, button.time));
        break;
    }
    case ButtonRelease: {
        XButtonEvent const& button = event.xbutton;
        // The state is the one before the release; the released button is no longer held.
        unsigned int const state = button.button == Button1 ? button.state & ~Button1Mask : button.state;
        client_.pointerReleased(pointerEventOf(button.x, button.y, state, button.button, button.time));
        break;
    }
    case MotionNotify: {
        XMotionEvent const& motion = event.xmotion;
        client_.pointerMoved(pointerEventOf(motion.x, motion.y, motion.state, 0, motion.time));
        break;
    }
    case KeyPress: {
        XKeyEvent key = event.xkey;
        // The key's own name, whatever the modifiers: ctrl+shift+z arrives as "z" with shift.
        KeySym const symbol = XLookupKeysym(&key, 0);
        char const* name = symbol != NoSymbol ? XKeysymToString(symbol) : nullptr;
        if (name != nullptr)
            client_.keyPressed({name, (key.state & ControlMask) != 0, (key.state & ShiftMask) != 0,
                                static_cast<uint32_t>(key.time)});
        break;
    }
    case ClientMessage:
        if (static_cast<Atom>(event.xclient.data.l[0]) == deleteAtom_)
            client_.closeRequested();
        break;
    default:
        break;
    }
}

void X11Window::resizeTo(int width, int height) {
    if (width < 1 || height < 1 || (width == width_ && height == height_))
        return;
    width_ = width;
    height_ = height;
    cairo_xlib_surface_set_size(target_, width, height);
    client_.resized(width, height);
    exposed_ = true;
}

void X11Window::paint() {
    if (!exposed_ && !client_.wantsRedraw())
        return;
    exposed_ = false;
    cairo_surface_t* picture = client_.picture();
    if (picture == nullptr)
        return;
    cairo_t* cr = cairo_create(target_);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, picture, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(target_);
    XFlush(display_);
}

} // namespace zr::window

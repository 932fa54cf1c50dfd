#pragma once
// Keeps the X protocol errors of the window layer's own connections away from Xlib's
// process-wide error handler, whose default ends the process: inside a plug-in host, a window
// the host destroys before our interface's clean-up (taking our child window with it) must
// not end the host. Errors on other connections go on to the handler that was there before.
//
// [ui thread] Every operation, on the thread that makes the windows.

struct _XDisplay;

namespace zr::window {

class ConnectionErrors {
public:
    // Starts keeping the errors of `display` (the first instance installs the handler).
    explicit ConnectionErrors(_XDisplay* display);
    // Stops keeping them; the last instance gives the handler back, unless another was
    // installed over it since.
    ~ConnectionErrors();
    ConnectionErrors(ConnectionErrors const&) = delete;
    ConnectionErrors& operator=(ConnectionErrors const&) = delete;

    // How many errors the server reported for this connection since the last call, after
    // waiting for the answers to every request sent so far.
    int takeAfterSync();

private:
    _XDisplay* display_;
};

} // namespace zr::window

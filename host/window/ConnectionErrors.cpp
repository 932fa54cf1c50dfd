#include "host/window/ConnectionErrors.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <vector>

namespace zr::window {
namespace {

struct Kept {
    Display* display;
    int errors;
};

std::vector<Kept>& keptConnections() {
    static std::vector<Kept> kept;
    return kept;
}

XErrorHandler& handlerBefore() {
    static XErrorHandler before = nullptr;
    return before;
}

int keepOrPassOn(Display* display, XErrorEvent* error) {
    for (Kept& kept : keptConnections()) {
        if (kept.display == display) {
            ++kept.errors;
            return 0;
        }
    }
    return handlerBefore() != nullptr ? handlerBefore()(display, error) : 0;
}

Kept* find(Display* display) {
    auto& kept = keptConnections();
    auto const found = std::find_if(kept.begin(), kept.end(), [&](Kept const& k) { return k.display == display; });
    return found == kept.end() ? nullptr : &*found;
}

} // namespace

ConnectionErrors::ConnectionErrors(_XDisplay* display) : display_(display) {
    if (keptConnections().empty())
        handlerBefore() = XSetErrorHandler(keepOrPassOn);
    keptConnections().push_back({display, 0});
}

ConnectionErrors::~ConnectionErrors() {
    auto& kept = keptConnections();
    kept.erase(std::remove_if(kept.begin(), kept.end(), [&](Kept const& k) { return k.display == display_; }), kept.end());
    if (!kept.empty())
        return;
    XErrorHandler const current = XSetErrorHandler(handlerBefore());
    if (current != keepOrPassOn)
        XSetErrorHandler(current); // someone installed theirs over ours: leave it
    handlerBefore() = nullptr;
}

int ConnectionErrors::takeAfterSync() {
    XSync(display_, False);
    Kept* kept = find(display_);
    if (kept == nullptr)
        return 0;
    int const errors = kept->errors;
    kept->errors = 0;
    return errors;
}

} // namespace zr::window

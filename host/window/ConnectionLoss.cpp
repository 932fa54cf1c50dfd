#include "host/window/ConnectionLoss.h"

#include <X11/Xlib.h>

#include <utility>

namespace zr::window {
namespace {

std::function<void()>& installedRescue() {
    static std::function<void()> rescue;
    return rescue;
}

int rescueThenLetXlibExit(Display*) {
    std::function<void()> const rescue = std::exchange(installedRescue(), {});
    if (rescue) {
        try {
            rescue();
        } catch (...) {
        }
    }
    return 0; // Xlib exits after the handler returns
}

} // namespace

void onConnectionLost(std::function<void()> rescue) {
    installedRescue() = std::move(rescue);
    XSetIOErrorHandler(installedRescue() ? rescueThenLetXlibExit : nullptr);
}

} // namespace zr::window

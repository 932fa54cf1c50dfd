#include "host/window/ModuleView.h"

#include <stdexcept>

namespace zr::window {
namespace {

int32_t pointerFlags(PointerEvent const& event, bool primary) {
    int32_t flags = 0;
    if (primary)
        flags |= gmpi_gui_api::GG_POINTER_FLAG_FIRSTBUTTON;
    if (event.control)
        flags |= gmpi_gui_api::GG_POINTER_KEY_CONTROL;
    return flags;
}

GmpiDrawing_API::MP1_POINT pointOf(PointerEvent const& event) { return {event.x, event.y}; }

} // namespace

ModuleView::ModuleView(host::GuiModule& module) : module_(module) {
    if (module.graphics() == nullptr)
        throw std::invalid_argument("this module draws nothing, so no window can show it");
}

int32_t ModuleView::deliver(int32_t pin, void const* data, int32_t size) {
    int32_t const result = module_.deliver(pin, data, size);
    collectModuleRequests();
    return result;
}

void ModuleView::collectModuleRequests() {
    host::GuiHost& host = module_.host();
    if (host.invalidations() > 0)
        stale_ = true;
    if (transmitted_)
        for (host::HostRecord const& record : host.transmissions())
            transmitted_(record);
    host.clearRecords();
}

// The module may want less than the window; it is given what it asked for, from the top left.
void ModuleView::resized(int width, int height) {
    GmpiDrawing_API::MP1_SIZE const available{static_cast<float>(width), static_cast<float>(height)};
    GmpiDrawing_API::MP1_SIZE desired = available;
    if (module_.measure(available, desired) != gmpi::MP_OK)
        desired = available;
    module_.arrange({0.0f, 0.0f, desired.width, desired.height});
    width_ = width;
    height_ = height;
    drawing_.reset();
    stale_ = true;
    collectModuleRequests();
}

_cairo_surface* ModuleView::picture() {
    if (width_ < 1 || height_ < 1)
        return nullptr;
    if (stale_ || !drawing_) {
        drawing_ = std::make_unique<host::CairoDrawing>(width_, height_);
        module_.render(drawing_->context());
        module_.host().clearRecords();
        stale_ = false;
    }
    return drawing_->surface();
}

void ModuleView::followEventClock(uint32_t timeMilliseconds) {
    if (lastEventTime_) {
        // Unsigned difference: right across the window system clock's wrap-around.
        uint32_t const elapsed = timeMilliseconds - *lastEventTime_;
        if (elapsed < 0x80000000u)
            module_.advanceClockMilliseconds(elapsed);
    }
    lastEventTime_ = timeMilliseconds;
}

// A press the module does not take at that point goes nowhere, unless it holds the capture.
void ModuleView::pointerPressed(PointerEvent const& event) {
    followEventClock(event.timeMilliseconds);
    bool const primary = event.button == 1;
    if (module_.host().captureHeld() || module_.hitTest(pointOf(event)) == gmpi::MP_OK)
        module_.pointerDown(pointerFlags(event, primary), pointOf(event));
    collectModuleRequests();
}

void ModuleView::pointerMoved(PointerEvent const& event) {
    followEventClock(event.timeMilliseconds);
    module_.pointerMove(pointerFlags(event, event.primaryHeld), pointOf(event));
    collectModuleRequests();
}

void ModuleView::pointerReleased(PointerEvent const& event) {
    followEventClock(event.timeMilliseconds);
    module_.pointerUp(pointerFlags(event, event.button == 1), pointOf(event));
    collectModuleRequests();
    if (event.button == 1 && gestureEnd_)
        gestureEnd_();
}

void ModuleView::keyPressed(KeyEvent const& event) {
    followEventClock(event.timeMilliseconds);
    if (key_)
        key_(event);
}

void ModuleView::closeRequested() {
    if (close_)
        close_();
}

} // namespace zr::window

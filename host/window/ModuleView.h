#pragma once
// A GUI module with a drawing surface shown in a window: the window's size is the module's
// layout (measure, then arrange), its pointer events reach the module as the graphics
// interface takes them (hit test, press, move, release; the host's capture follows the
// module's requests), and the module's redraw requests make a new picture. Each picture is
// drawn by the cairo back end (host/drawing/CairoDrawing.h) into a fresh transparent image,
// as `zrhost draw` draws one, so the window shows the same pixels.
//
// The module's host clock follows the window system's event times, so that what the module
// times (a double click) runs on the times of the person's own presses.
//
// [ui thread] Every operation.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "host/GuiModule.h"
#include "host/HostRecord.h"
#include "host/drawing/CairoDrawing.h"
#include "host/window/WindowClient.h"

namespace zr::window {

class ModuleView final : public WindowClient {
public:
    // The module must have a graphics view (GuiModule::graphics()); throws std::invalid_argument
    // otherwise. The module stays the caller's and must outlive this view.
    explicit ModuleView(host::GuiModule& module);

    // Receives every value the module transmits, in order, after the call that sent it.
    void onTransmission(std::function<void(host::HostRecord const&)> receiver) { transmitted_ = std::move(receiver); }
    // Receives the keys and the close request; without one a key does nothing and closing
    // is ignored.
    void onKey(std::function<void(KeyEvent const&)> receiver) { key_ = std::move(receiver); }
    void onClose(std::function<void()> receiver) { close_ = std::move(receiver); }
    // Runs after each pointer gesture ends (the primary button released).
    void onGestureEnd(std::function<void()> receiver) { gestureEnd_ = std::move(receiver); }

    // Delivers a value to the module as a host does (setPin, notifyPin), then passes on what
    // it transmitted and notes its redraw requests. The module's result.
    int32_t deliver(int32_t pin, void const* data, int32_t size);

    void resized(int width, int height) override;
    _cairo_surface* picture() override;
    bool wantsRedraw() const override { return stale_; }
    void pointerPressed(PointerEvent const& event) override;
    void pointerMoved(PointerEvent const& event) override;
    void pointerReleased(PointerEvent const& event) override;
    void keyPressed(KeyEvent const& event) override;
    void closeRequested() override;

private:
    void followEventClock(uint32_t timeMilliseconds);
    // Passes on the transmissions and redraw requests of the module call just made.
    void collectModuleRequests();

    host::GuiModule& module_;
    std::function<void(host::HostRecord const&)> transmitted_;
    std::function<void(KeyEvent const&)> key_;
    std::function<void()> close_;
    std::function<void()> gestureEnd_;
    std::unique_ptr<host::CairoDrawing> drawing_;
    int width_ = 0;
    int height_ = 0;
    bool stale_ = true;
    std::optional<uint32_t> lastEventTime_;
};

} // namespace zr::window

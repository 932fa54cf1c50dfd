#pragma once
// Several window clients side by side in one window, each under a small label: the window's
// width is shared equally, and every pointer gesture goes to the client it started in, in
// that client's own coordinates, until the primary button is released. The window shows
// the clients' pictures composed over a plain background.
//
// [ui thread] Every operation.

#include <memory>
#include <string>
#include <vector>

#include "host/window/WindowClient.h"

namespace zr::lv2 {

class EditorPanel final : public window::WindowClient {
public:
    static constexpr int kLabelHeight = 18;

    // `panes` must outlive the panel; labels are UTF-8.
    struct Pane {
        std::string label;
        window::WindowClient* client;
    };
    explicit EditorPanel(std::vector<Pane> panes);
    ~EditorPanel() override;

    void resized(int width, int height) override;
    _cairo_surface* picture() override;
    bool wantsRedraw() const override;
    void pointerPressed(window::PointerEvent const& event) override;
    void pointerMoved(window::PointerEvent const& event) override;
    void pointerReleased(window::PointerEvent const& event) override;
    void keyPressed(window::KeyEvent const&) override {}
    void closeRequested() override {}

private:
    // The pane under `x`, and the event moved into its coordinates.
    size_t paneAt(float x) const;
    window::PointerEvent inPane(window::PointerEvent event, size_t pane) const;
    int paneLeft(size_t pane) const;

    std::vector<Pane> panes_;
    _cairo_surface* composed_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    bool stale_ = true;
    size_t gesturePane_ = 0;
    bool gestureHeld_ = false;
};

} // namespace zr::lv2

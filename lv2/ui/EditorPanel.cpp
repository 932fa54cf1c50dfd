#include "lv2/ui/EditorPanel.h"

#include <algorithm>

#include <cairo.h>

namespace zr::lv2 {
namespace {

constexpr double kBackground[] = {0.16, 0.16, 0.18};
constexpr double kLabelColor[] = {0.85, 0.85, 0.85};

} // namespace

EditorPanel::EditorPanel(std::vector<Pane> panes) : panes_(std::move(panes)) {}

EditorPanel::~EditorPanel() {
    if (composed_)
        cairo_surface_destroy(composed_);
}

int EditorPanel::paneLeft(size_t pane) const {
    return static_cast<int>(static_cast<long>(width_) * static_cast<long>(pane) / static_cast<long>(panes_.size()));
}

void EditorPanel::resized(int width, int height) {
    width_ = width;
    height_ = height;
    for (size_t i = 0; i < panes_.size(); ++i)
        panes_[i].client->resized(std::max(1, paneLeft(i + 1) - paneLeft(i)), std::max(1, height - kLabelHeight));
    if (composed_)
        cairo_surface_destroy(composed_);
    composed_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    stale_ = true;
}

bool EditorPanel::wantsRedraw() const {
    return stale_ || std::any_of(panes_.begin(), panes_.end(), [](Pane const& pane) { return pane.client->wantsRedraw(); });
}

_cairo_surface* EditorPanel::picture() {
    if (!composed_)
        return nullptr;
    cairo_t* cr = cairo_create(composed_);
    cairo_set_source_rgb(cr, kBackground[0], kBackground[1], kBackground[2]);
    cairo_paint(cr);
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, kLabelHeight * 0.65);
    for (size_t i = 0; i < panes_.size(); ++i) {
        double const left = paneLeft(i);
        cairo_set_source_rgb(cr, kLabelColor[0], kLabelColor[1], kLabelColor[2]);
        cairo_move_to(cr, left + 6.0, kLabelHeight * 0.75);
        cairo_show_text(cr, panes_[i].label.c_str());
        if (cairo_surface_t* pane = panes_[i].client->picture()) {
            cairo_set_source_surface(cr, pane, left, kLabelHeight);
            cairo_paint(cr);
        }
    }
    cairo_destroy(cr);
    cairo_surface_flush(composed_);
    stale_ = false;
    return composed_;
}

size_t EditorPanel::paneAt(float x) const {
    for (size_t i = 1; i < panes_.size(); ++i)
        if (x < paneLeft(i))
            return i - 1;
    return panes_.size() - 1;
}

window::PointerEvent EditorPanel::inPane(window::PointerEvent event, size_t pane) const {
    event.x -= static_cast<float>(paneLeft(pane));
    event.y -= static_cast<float>(kLabelHeight);
    return event;
}

void EditorPanel::pointerPressed(window::PointerEvent const& event) {
    if (panes_.empty())
        return;
    size_t const pane = gestureHeld_ ? gesturePane_ : paneAt(event.x);
    if (event.button == 1) {
        gesturePane_ = pane;
        gestureHeld_ = true;
    }
    panes_[pane].client->pointerPressed(inPane(event, pane));
}

void EditorPanel::pointerMoved(window::PointerEvent const& event) {
    if (panes_.empty())
        return;
    size_t const pane = gestureHeld_ ? gesturePane_ : paneAt(event.x);
    panes_[pane].client->pointerMoved(inPane(event, pane));
}

void EditorPanel::pointerReleased(window::PointerEvent const& event) {
    if (panes_.empty())
        return;
    size_t const pane = gestureHeld_ ? gesturePane_ : paneAt(event.x);
    if (event.button == 1)
        gestureHeld_ = false;
    panes_[pane].client->pointerReleased(inPane(event, pane));
}

} // namespace zr::lv2

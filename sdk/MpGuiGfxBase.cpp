#include "sdk/MpGuiGfxBase.h"

namespace gmpi_gui {
namespace {

using GmpiDrawing_API::MP1_POINT;
using GmpiDrawing_API::MP1_RECT;
using GmpiDrawing_API::MP1_SIZE;

// Runs one module operation for the host: whatever it throws becomes MP_FAIL.
template <typename Operation>
int32_t guarded(Operation&& operation) {
    try {
        return operation();
    } catch (...) {
        return gmpi::MP_FAIL;
    }
}

} // namespace

int32_t MpGuiGfxBase::queryInterface(gmpi::MpGuid const& iid, void** returnInterface) {
    if (returnInterface == nullptr)
        return gmpi::MP_FAIL;
    if (iid == SE_IID_GRAPHICS_MPGUI || iid == SE_IID_GRAPHICS_MPGUI2 || iid == SE_IID_GRAPHICS_MPGUI3) {
        *returnInterface = static_cast<gmpi_gui_api::IMpGraphics3*>(&graphicsView_);
        addRef();
        return gmpi::MP_OK;
    }
    return MpGuiBase2::queryInterface(iid, returnInterface);
}

int32_t MpGuiGfxBase::release() {
    int32_t const remaining = --referenceCount_;
    if (remaining == 0)
        delete this;
    return remaining;
}

MpGuiGfxBase::~MpGuiGfxBase() {
    if (graphicsHost_ != nullptr)
        graphicsHost_->release();
}

int32_t MpGuiGfxBase::setHost(gmpi::IMpUnknown* host) {
    if (graphicsHost_ != nullptr)
        graphicsHost_->release();
    graphicsHost_ = nullptr;
    void* graphicsHost = nullptr;
    if (host != nullptr && host->queryInterface(SE_IID_GRAPHICS_HOST, &graphicsHost) == gmpi::MP_OK)
        graphicsHost_ = static_cast<gmpi_gui::IMpGraphicsHost*>(graphicsHost);
    return MpGuiBase2::setHost(host);
}

int32_t MpGuiGfxBase::measure(MP1_SIZE availableSize, MP1_SIZE* returnDesiredSize) {
    if (returnDesiredSize == nullptr)
        return gmpi::MP_FAIL;
    // Written so that a NaN size asks for 1 as well.
    returnDesiredSize->width = availableSize.width > 1.0f ? availableSize.width : 1.0f;
    returnDesiredSize->height = availableSize.height > 1.0f ? availableSize.height : 1.0f;
    return gmpi::MP_OK;
}

int32_t MpGuiGfxBase::arrange(MP1_RECT finalRect) {
    bool const same = finalRect.left == layoutRect_.left && finalRect.top == layoutRect_.top &&
                      finalRect.right == layoutRect_.right && finalRect.bottom == layoutRect_.bottom;
    if (same)
        return gmpi::MP_OK;
    layoutRect_ = finalRect;
    invalidateRect();
    return gmpi::MP_OK;
}

void MpGuiGfxBase::invalidateRect() {
    if (graphicsHost_ != nullptr)
        graphicsHost_->invalidateRect(nullptr);
}

void MpGuiGfxBase::setCapture() {
    if (graphicsHost_ != nullptr)
        graphicsHost_->setCapture();
}

bool MpGuiGfxBase::getCapture() {
    int32_t held = 0;
    if (graphicsHost_ != nullptr)
        graphicsHost_->getCapture(&held);
    return held != 0;
}

void MpGuiGfxBase::releaseCapture() {
    if (graphicsHost_ != nullptr)
        graphicsHost_->releaseCapture();
}

int32_t MpGuiGfxBase::GraphicsView::measure(MP1_SIZE availableSize, MP1_SIZE* returnDesiredSize) {
    return guarded([&] { return module_.measure(availableSize, returnDesiredSize); });
}
int32_t MpGuiGfxBase::GraphicsView::arrange(MP1_RECT finalRect) {
    return guarded([&] { return module_.arrange(finalRect); });
}
int32_t MpGuiGfxBase::GraphicsView::OnRender(gmpi::IMpUnknown* drawingContext) {
    return guarded([&] { return module_.OnRender(drawingContext); });
}
int32_t MpGuiGfxBase::GraphicsView::onPointerDown(int32_t flags, MP1_POINT point) {
    return guarded([&] { return module_.onPointerDown(flags, point); });
}
int32_t MpGuiGfxBase::GraphicsView::onPointerMove(int32_t flags, MP1_POINT point) {
    return guarded([&] { return module_.onPointerMove(flags, point); });
}
int32_t MpGuiGfxBase::GraphicsView::onPointerUp(int32_t flags, MP1_POINT point) {
    return guarded([&] { return module_.onPointerUp(flags, point); });
}
int32_t MpGuiGfxBase::GraphicsView::hitTest(MP1_POINT point) {
    return guarded([&] { return module_.hitTest(point); });
}
int32_t MpGuiGfxBase::GraphicsView::getToolTip(MP1_POINT point, gmpi::IMpUnknown* returnString) {
    return guarded([&] { return module_.getToolTip(point, returnString); });
}
int32_t MpGuiGfxBase::GraphicsView::hitTest2(int32_t flags, MP1_POINT point) {
    return guarded([&] { return module_.hitTest2(flags, point); });
}
int32_t MpGuiGfxBase::GraphicsView::onMouseWheel(int32_t flags, int32_t delta, MP1_POINT point) {
    return guarded([&] { return module_.onMouseWheel(flags, delta, point); });
}
int32_t MpGuiGfxBase::GraphicsView::setHover(bool isMouseOverMe) {
    return guarded([&] { return module_.setHover(isMouseOverMe); });
}

} // namespace gmpi_gui

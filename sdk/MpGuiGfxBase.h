#pragma once
// The base of GUI modules that draw and take pointer input. Besides MpGuiBase2 it answers the
// three graphics identifiers with its graphics view, keeps the layout rectangle, and reaches
// the graphics host (invalidate, pointer capture).
//
// The graphics view is a small member object that implements gmpi_gui_api::IMpGraphics3 by
// forwarding each call to the operations below in the same order, and that turns anything
// they throw into MP_FAIL, so that no exception reaches the host. Modules override the
// operations below, never the view.

#include "sdk/GuiInterfaces.h"
#include "sdk/MpGuiBase2.h"

namespace gmpi_gui {

class MpGuiGfxBase : public MpGuiBase2 {
public:
    MpGuiGfxBase() : graphicsView_(*this) {}

    // [ui thread] MpGuiBase2's identifiers give the module; SE_IID_GRAPHICS_MPGUI, ..2 and ..3
    // give the graphics view.
    int32_t queryInterface(gmpi::MpGuid const& iid, void** returnInterface) override;
    int32_t addRef() override { return ++referenceCount_; }
    int32_t release() override;
    // Obtains the graphics host first (held like the UI hosts), then the UI hosts as
    // MpGuiBase2 does, whose result it answers.
    int32_t setHost(gmpi::IMpUnknown* host) override;

    ~MpGuiGfxBase() override;

    // [ui thread] The graphics operations, in the graphics view's slot order, with the
    // contracts of gmpi_gui_api::IMpGraphics3; the defaults below are what a module that
    // overrides none answers.
    // Desired size: the available size, at least 1 x 1; MP_FAIL for a null out-pointer.
    virtual int32_t measure(GmpiDrawing_API::MP1_SIZE availableSize, GmpiDrawing_API::MP1_SIZE* returnDesiredSize);
    // Stores a changed rectangle (a NaN coordinate always counts as changed) and redraws.
    // MP_OK.
    virtual int32_t arrange(GmpiDrawing_API::MP1_RECT finalRect);
    virtual int32_t OnRender(gmpi::IMpUnknown* /*drawingContext*/) { return gmpi::MP_OK; }
    virtual int32_t onPointerDown(int32_t /*flags*/, GmpiDrawing_API::MP1_POINT point) { return hitTest(point); }
    virtual int32_t onPointerMove(int32_t /*flags*/, GmpiDrawing_API::MP1_POINT point) { return hitTest(point); }
    virtual int32_t onPointerUp(int32_t /*flags*/, GmpiDrawing_API::MP1_POINT point) { return hitTest(point); }
    virtual int32_t hitTest(GmpiDrawing_API::MP1_POINT /*point*/) { return gmpi::MP_OK; }
    virtual int32_t getToolTip(GmpiDrawing_API::MP1_POINT /*point*/, gmpi::IMpUnknown* /*returnString*/) {
        return gmpi::MP_FAIL;
    }
    virtual int32_t hitTest2(int32_t /*flags*/, GmpiDrawing_API::MP1_POINT point) { return hitTest(point); }
    virtual int32_t onMouseWheel(int32_t, int32_t, GmpiDrawing_API::MP1_POINT) { return gmpi::MP_FAIL; }
    virtual int32_t setHover(bool) { return gmpi::MP_FAIL; }

    using MpGuiBase2::getToolTip;

protected:
    GmpiDrawing_API::MP1_RECT const& getRect() const { return layoutRect_; }
    // Graphics host calls; each does nothing (or answers "not held") without a graphics host.
    void invalidateRect();
    void setCapture();
    bool getCapture();
    void releaseCapture();

private:
    class GraphicsView final : public gmpi_gui_api::IMpGraphics3 {
    public:
        explicit GraphicsView(MpGuiGfxBase& module) : module_(module) {}
        int32_t queryInterface(gmpi::MpGuid const& iid, void** returnInterface) override {
            return module_.queryInterface(iid, returnInterface);
        }
        int32_t addRef() override { return module_.addRef(); }
        int32_t release() override { return module_.release(); }
        int32_t measure(GmpiDrawing_API::MP1_SIZE availableSize, GmpiDrawing_API::MP1_SIZE* returnDesiredSize) override;
        int32_t arrange(GmpiDrawing_API::MP1_RECT finalRect) override;
        int32_t OnRender(gmpi::IMpUnknown* drawingContext) override;
        int32_t onPointerDown(int32_t flags, GmpiDrawing_API::MP1_POINT point) override;
        int32_t onPointerMove(int32_t flags, GmpiDrawing_API::MP1_POINT point) override;
        int32_t onPointerUp(int32_t flags, GmpiDrawing_API::MP1_POINT point) override;
        int32_t hitTest(GmpiDrawing_API::MP1_POINT point) override;
        int32_t getToolTip(GmpiDrawing_API::MP1_POINT point, gmpi::IMpUnknown* returnString) override;
        int32_t hitTest2(int32_t flags, GmpiDrawing_API::MP1_POINT point) override;
        int32_t onMouseWheel(int32_t flags, int32_t delta, GmpiDrawing_API::MP1_POINT point) override;
        int32_t setHover(bool isMouseOverMe) override;

    private:
        MpGuiGfxBase& module_;
    };

    int32_t referenceCount_ = 1;
    gmpi_gui::IMpGraphicsHost* graphicsHost_ = nullptr;
    GmpiDrawing_API::MP1_RECT layoutRect_{0.0f, 0.0f, 0.0f, 0.0f};
    GraphicsView graphicsView_;
};

} // namespace gmpi_gui

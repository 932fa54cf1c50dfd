#pragma once
// A drawing back end for tests: implements the drawing interfaces without drawing, and records
// every call a module makes, with its arguments, in call order. Every object it hands out has
// a number (the device context is 1), so a test can tell which target a line went into, which
// brush it used and which geometry a sink belongs to. It can also be told to fail the next
// few creations of each kind of object.

#include <cstdint>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

#include "sdk/DrawingApi.h"

namespace zr::host {

enum class DrawOp {
    CreateCompatibleRenderTarget,
    CreateSolidColorBrush,
    CreateLinearGradientBrush,
    GetFactory,
    BeginDraw,
    EndDraw,
    Clear,
    DrawLine,
    FillRectangle,
    DrawRectangle,
    FillEllipse,
    DrawEllipse,
    PushAxisAlignedClip,
    PopAxisAlignedClip,
    FillGeometry,
    DrawGeometry,
    DrawBitmap,
    GetBitmap,
    CreatePathGeometry,
    Open,
    BeginFigure,
    AddLine,
    EndFigure,
    Close,
};

std::string_view drawOpName(DrawOp op);

// One call. Numbers, in argument order: points as x, y; sizes as width, height; rectangles as
// left, top, right, bottom; ellipses as centre x, y and the two radii; colours as r, g, b, a;
// then stroke width, opacity, interpolation mode, figure begin or end as the call has them.
// CreateLinearGradientBrush: start x, y, end x, y, opacity, then each stop's position and
// colour. FillGeometry: the opacity brush's number (0 for none).
struct DrawCall {
    DrawOp op = DrawOp::BeginDraw;
    int32_t on = 0;               // the object called (1: the device context)
    std::vector<float> numbers;
    int32_t brush = 0;            // the brush passed, 0 for none
    int32_t subject = 0;          // the bitmap or geometry passed, or the object made (0: none)
    bool strokeStyle = false;     // a stroke style was passed
};

struct BrushRecord {
    bool gradient = false;
    std::vector<GmpiDrawing_API::MP1_GRADIENT_STOP> stops; // a solid brush: one stop, its colour
    GmpiDrawing_API::MP1_POINT start{0.0f, 0.0f};
    GmpiDrawing_API::MP1_POINT end{0.0f, 0.0f};
};

// How many of the next creations of each kind fail (MP_FAIL, null out-pointer).
struct DrawingFailures {
    int renderTargets = 0;
    int brushes = 0;
    int factories = 0;
    int geometries = 0;
    int sinks = 0;
    int bitmaps = 0;
    bool refuseDeviceContext = false; // the context does not answer SE_IID_DEVICECONTEXT_MPGUI
};

class RecordingDrawing {
public:
    static constexpr int32_t deviceContextNumber = 1;

    RecordingDrawing();
    ~RecordingDrawing();
    RecordingDrawing(RecordingDrawing const&) = delete;
    RecordingDrawing& operator=(RecordingDrawing const&) = delete;

    // The drawing context to hand to OnRender.
    gmpi::IMpUnknown* context() const;

    std::vector<DrawCall> const& calls() const;
    // The calls of one kind, optionally only those made on object `on`.
    std::vector<DrawCall> callsOf(DrawOp op, int32_t on = 0) const;
    int count(DrawOp op) const;
    // Throws std::out_of_range for a number that is no brush.
    BrushRecord const& brush(int32_t number) const;
    // Forgets the calls so far (objects, brushes and numbers stay).
    void clear();

    DrawingFailures& failures();
    // Objects handed out and not yet released, the device context not counted.
    int liveObjects() const;

    struct State;

private:
    std::shared_ptr<State> state_;
    gmpi::IMpUnknown* context_ = nullptr;
};

} // namespace zr::host

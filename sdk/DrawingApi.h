#pragma once
// The drawing interfaces: implemented by the host, used by modules that draw (the shape
// editor). A module receives a device context in OnRender and creates everything else from it.
//
// Slot order (counted after the three gmpi::IMpUnknown slots 0-2) is the binary contract and
// never changes; a changed interface gets a new identifier (sdk/Identifiers.h):
//
//   IMpBrush                 (SE_IID_BRUSH_MPGUI)              no operations of its own
//   IMpBitmap                (SE_IID_BITMAP_MPGUI)             no operations of its own
//   IMpGeometrySink          (SE_IID_GEOMETRYSINK_MPGUI)       3 BeginFigure, 4 AddLine,
//                                                              5 EndFigure, 6 Close
//   IMpPathGeometry          (SE_IID_PATHGEOMETRY_MPGUI)       3 Open
//   IMpFactory               (SE_IID_FACTORY_MPGUI)            3 CreatePathGeometry
//   IMpRenderTarget          (SE_IID_RENDERTARGET_MPGUI)       3 GetFactory,
//        4 CreateSolidColorBrush, 5 CreateLinearGradientBrush, 6 CreateCompatibleRenderTarget,
//        7 BeginDraw, 8 EndDraw, 9 Clear, 10 DrawLine, 11 FillRectangle, 12 DrawRectangle,
//        13 FillEllipse, 14 DrawEllipse, 15 PushAxisAlignedClip, 16 PopAxisAlignedClip,
//        17 FillGeometry, 18 DrawGeometry, 19 DrawBitmap
//   IMpBitmapRenderTarget    (SE_IID_BITMAP_RENDERTARGET_MPGUI) IMpRenderTarget, then 20 GetBitmap
//   IMpDeviceContext         (SE_IID_DEVICECONTEXT_MPGUI)      IMpRenderTarget, nothing added
//
// [ui thread] Every operation runs on the host's user-interface thread, inside OnRender.
// Results: MP_OK (0) success; MP_FAIL (-1) the object could not be made or the call failed,
// in which case an out-pointer is left null. Every object an operation hands out carries one
// reference that the caller owns and gives back with release(). Objects made by one host's
// device context are only ever passed back to that same host.
//
// Colours are linear-light red, green and blue with alpha 0..1; the host converts them for
// its surface. Coordinates are pixels of the target, (0, 0) top left, y downwards.

#include <cstdint>

#include "sdk/Interfaces.h"

namespace GmpiDrawing_API {

struct MP1_POINT {
    float x;
    float y;
};

struct MP1_SIZE {
    float width;
    float height;
};

struct MP1_RECT {
    float left;
    float top;
    float right;
    float bottom;
};

struct MP1_COLOR {
    float r;
    float g;
    float b;
    float a;
};

struct MP1_ELLIPSE {
    MP1_POINT point; // centre
    float radiusX;
    float radiusY;
};

// A 2 x 3 affine transform: x' = _11 x + _21 y + _31, y' = _12 x + _22 y + _32.
struct MP1_MATRIX_3X2 {
    float _11, _12, _21, _22, _31, _32;
};

struct MP1_GRADIENT_STOP {
    float position; // 0..1 along the gradient
    MP1_COLOR color;
};

struct MP1_BRUSH_PROPERTIES {
    float opacity;
    MP1_MATRIX_3X2 transform;
};

struct MP1_LINEAR_GRADIENT_BRUSH_PROPERTIES {
    MP1_POINT startPoint;
    MP1_POINT endPoint;
};

enum MP1_FIGURE_BEGIN : int32_t {
    MP1_FIGURE_BEGIN_FILLED = 0,
    MP1_FIGURE_BEGIN_HOLLOW = 1,
};

enum MP1_FIGURE_END : int32_t {
    MP1_FIGURE_END_OPEN = 0,
    MP1_FIGURE_END_CLOSED = 1,
};

enum MP1_BITMAP_INTERPOLATION_MODE : int32_t {
    MP1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR = 0,
    MP1_BITMAP_INTERPOLATION_MODE_LINEAR = 1,
};

class IMpBrush : public gmpi::IMpUnknown {};

// A picture: the content of an offscreen render target, taken with GetBitmap.
class IMpBitmap : public gmpi::IMpUnknown {};

// Stroke styles are not used: every stroke operation takes null, the host's plain stroke.
class IMpStrokeStyle : public gmpi::IMpUnknown {};

// Collects one path's figures. Every figure starts with BeginFigure and ends with EndFigure;
// Close finishes the geometry, after which the sink takes nothing more.
class IMpGeometrySink : public gmpi::IMpUnknown {
public:
    virtual void BeginFigure(MP1_POINT startPoint, MP1_FIGURE_BEGIN figureBegin) = 0;  // slot 3
    virtual void AddLine(MP1_POINT point) = 0;                                         // slot 4
    virtual void EndFigure(MP1_FIGURE_END figureEnd) = 0;                              // slot 5
    virtual int32_t Close() = 0;                                                       // slot 6
};

class IMpPathGeometry : public gmpi::IMpUnknown {
public:
    // Hands out the sink that fills this geometry; a geometry is opened once.
    virtual int32_t Open(IMpGeometrySink** returnGeometrySink) = 0;                    // slot 3
};

class IMpFactory : public gmpi::IMpUnknown {
public:
    // An empty path geometry.
    virtual int32_t CreatePathGeometry(IMpPathGeometry** returnPathGeometry) = 0;     // slot 3
};

class IMpBitmapRenderTarget;

class IMpRenderTarget : public gmpi::IMpUnknown {
public:
    virtual void GetFactory(IMpFactory** returnFactory) = 0;                           // slot 3
    virtual int32_t CreateSolidColorBrush(MP1_COLOR const* color,
                                          IMpBrush** returnBrush) = 0;                 // slot 4
    // A gradient of `stopCount` stops along the line given by `gradientProperties`.
    virtual int32_t CreateLinearGradientBrush(MP1_LINEAR_GRADIENT_BRUSH_PROPERTIES const* gradientProperties,
                                              MP1_BRUSH_PROPERTIES const* brushProperties,
                                              MP1_GRADIENT_STOP const* stops, uint32_t stopCount,
                                              IMpBrush** returnBrush) = 0;             // slot 5
    // An offscreen target of `desiredSize` pixels, transparent until drawn. Fails for a size
    // the host cannot hold (not finite, below one pixel, or beyond its limit).
    virtual int32_t CreateCompatibleRenderTarget(MP1_SIZE const* desiredSize,
                                                 IMpBitmapRenderTarget** returnTarget) = 0; // slot 6
    // All drawing into a target happens between BeginDraw and EndDraw.
    virtual void BeginDraw() = 0;                                                      // slot 7
    virtual int32_t EndDraw() = 0;                                                     // slot 8
    // Replaces every pixel (inside the current clip) with `clearColor`.
    virtual void Clear(MP1_COLOR const* clearColor) = 0;                               // slot 9
    virtual void DrawLine(MP1_POINT point0, MP1_POINT point1, IMpBrush const* brush, float strokeWidth,
                          IMpStrokeStyle const* strokeStyle) = 0;                      // slot 10
    virtual void FillRectangle(MP1_RECT const* rect, IMpBrush const* brush) = 0;      // slot 11
    virtual void DrawRectangle(MP1_RECT const* rect, IMpBrush const* brush, float strokeWidth,
                               IMpStrokeStyle const* strokeStyle) = 0;                 // slot 12
    virtual void FillEllipse(MP1_ELLIPSE const* ellipse, IMpBrush const* brush) = 0;  // slot 13
    virtual void DrawEllipse(MP1_ELLIPSE const* ellipse, IMpBrush const* brush, float strokeWidth,
                             IMpStrokeStyle const* strokeStyle) = 0;                   // slot 14
    // Clips all drawing to `clipRect` until the matching pop.
    virtual void PushAxisAlignedClip(MP1_RECT const* clipRect) = 0;                   // slot 15
    virtual void PopAxisAlignedClip() = 0;                                             // slot 16
    virtual void FillGeometry(IMpPathGeometry const* geometry, IMpBrush const* brush,
                              IMpBrush const* opacityBrush) = 0;                       // slot 17
    virtual void DrawGeometry(IMpPathGeometry const* geometry, IMpBrush const* brush, float strokeWidth,
                              IMpStrokeStyle const* strokeStyle) = 0;                  // slot 18
    // Copies `sourceRectangle` of `bitmap` onto `destinationRectangle`.
    virtual void DrawBitmap(IMpBitmap const* bitmap, MP1_RECT const* destinationRectangle, float opacity,
                            MP1_BITMAP_INTERPOLATION_MODE interpolationMode,
                            MP1_RECT const* sourceRectangle) = 0;                      // slot 19
};

class IMpBitmapRenderTarget : public IMpRenderTarget {
public:
    // The target's picture so far; the bitmap keeps it after the target is released.
    virtual int32_t GetBitmap(IMpBitmap** returnBitmap) = 0;                           // slot 20
};

// The surface a frame is drawn on, handed to OnRender (queried from its argument).
class IMpDeviceContext : public IMpRenderTarget {};

} // namespace GmpiDrawing_API

#pragma once
// GmpiDrawing: the module-side wrapper of the drawing interfaces (sdk/DrawingApi.h). Ref<T>
// owns one reference to a host object; Graphics_base wraps a render target (the device
// context or an offscreen target) and hands out owned objects. An object the host could not
// make comes back as an empty Ref, which callers test before use.

#include <cstdint>
#include <utility>

#include "sdk/DrawingApi.h"

namespace GmpiDrawing {

using GmpiDrawing_API::MP1_COLOR;
using GmpiDrawing_API::MP1_ELLIPSE;
using GmpiDrawing_API::MP1_POINT;
using GmpiDrawing_API::MP1_RECT;
using GmpiDrawing_API::MP1_SIZE;

template <typename Interface>
class Ref {
public:
    Ref() = default;
    ~Ref() { reset(); }
    Ref(Ref const&) = delete;
    Ref& operator=(Ref const&) = delete;
    Ref(Ref&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    Ref& operator=(Ref&& other) noexcept {
        if (this != &other) {
            reset();
            object_ = std::exchange(other.object_, nullptr);
        }
        return *this;
    }

    Interface* get() const { return object_; }
    Interface* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    // Gives the reference back to the host.
    void reset() {
        if (object_ != nullptr)
            object_->release();
        object_ = nullptr;
    }
    // Out-parameter for an operation that hands out one reference.
    Interface** put() {
        reset();
        return &object_;
    }
    void** putVoid() { return reinterpret_cast<void**>(put()); }

private:
    Interface* object_ = nullptr;
};

// The identity transform of a brush.
inline constexpr GmpiDrawing_API::MP1_MATRIX_3X2 kIdentity{1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f};

class Graphics_base {
public:
    // Does not take a reference: the caller keeps `target` alive while this is used.
    explicit Graphics_base(GmpiDrawing_API::IMpRenderTarget* target) : target_(target) {}

    GmpiDrawing_API::IMpRenderTarget* get() const { return target_; }

    Ref<GmpiDrawing_API::IMpFactory> GetFactory() {
        Ref<GmpiDrawing_API::IMpFactory> factory;
        target_->GetFactory(factory.put());
        return factory;
    }
    Ref<GmpiDrawing_API::IMpBrush> CreateSolidColorBrush(MP1_COLOR color) {
        Ref<GmpiDrawing_API::IMpBrush> brush;
        target_->CreateSolidColorBrush(&color, brush.put());
        return brush;
    }
    // A two-stop gradient: `color1` at `point1` (stop 0) to `color2` at `point2` (stop 1),
    // opacity 1, identity transform.
    Ref<GmpiDrawing_API::IMpBrush> CreateLinearGradientBrush(MP1_COLOR color1, MP1_COLOR color2, MP1_POINT point1,
                                                             MP1_POINT point2) {
        GmpiDrawing_API::MP1_GRADIENT_STOP const stops[2] = {{0.0f, color1}, {1.0f, color2}};
        GmpiDrawing_API::MP1_LINEAR_GRADIENT_BRUSH_PROPERTIES const line{point1, point2};
        GmpiDrawing_API::MP1_BRUSH_PROPERTIES const properties{1.0f, kIdentity};
        Ref<GmpiDrawing_API::IMpBrush> brush;
        target_->CreateLinearGradientBrush(&line, &properties, stops, 2, brush.put());
        return brush;
    }
    Ref<GmpiDrawing_API::IMpBitmapRenderTarget> CreateCompatibleRenderTarget(MP1_SIZE desiredSize) {
        Ref<GmpiDrawing_API::IMpBitmapRenderTarget> target;
        target_->CreateCompatibleRenderTarget(&desiredSize, target.put());
        return target;
    }

    void BeginDraw() { target_->BeginDraw(); }
    int32_t EndDraw() { return target_->EndDraw(); }
    void Clear(MP1_COLOR color) { target_->Clear(&color); }
    void DrawLine(MP1_POINT point0, MP1_POINT point1, GmpiDrawing_API::IMpBrush const* brush, float strokeWidth) {
        target_->DrawLine(point0, point1, brush, strokeWidth, nullptr);
    }
    void FillRectangle(MP1_RECT rect, GmpiDrawing_API::IMpBrush const* brush) { target_->FillRectangle(&rect, brush); }
    void DrawRectangle(MP1_RECT rect, GmpiDrawing_API::IMpBrush const* brush, float strokeWidth) {
        target_->DrawRectangle(&rect, brush, strokeWidth, nullptr);
    }
    void FillEllipse(MP1_ELLIPSE ellipse, GmpiDrawing_API::IMpBrush const* brush) {
        target_->FillEllipse(&ellipse, brush);
    }
    void DrawEllipse(MP1_ELLIPSE ellipse, GmpiDrawing_API::IMpBrush const* brush, float strokeWidth) {
        target_->DrawEllipse(&ellipse, brush, strokeWidth, nullptr);
    }
    void PushAxisAlignedClip(MP1_RECT clipRect) { target_->PushAxisAlignedClip(&clipRect); }
    void PopAxisAlignedClip() { target_->PopAxisAlignedClip(); }
    void FillGeometry(GmpiDrawing_API::IMpPathGeometry const* geometry, GmpiDrawing_API::IMpBrush const* brush) {
        target_->FillGeometry(geometry, brush, nullptr);
    }
    void DrawGeometry(GmpiDrawing_API::IMpPathGeometry const* geometry, GmpiDrawing_API::IMpBrush const* brush,
                      float strokeWidth) {
        target_->DrawGeometry(geometry, brush, strokeWidth, nullptr);
    }
    void DrawBitmap(GmpiDrawing_API::IMpBitmap const* bitmap, MP1_RECT destination, float opacity,
                    GmpiDrawing_API::MP1_BITMAP_INTERPOLATION_MODE mode, MP1_RECT source) {
        target_->DrawBitmap(bitmap, &destination, opacity, mode, &source);
    }

private:
    GmpiDrawing_API::IMpRenderTarget* target_;
};

// An offscreen target, owned, with the picture it holds.
class BitmapRenderTarget : public Graphics_base {
public:
    explicit BitmapRenderTarget(Ref<GmpiDrawing_API::IMpBitmapRenderTarget> target)
        : Graphics_base(target.get()), target_(std::move(target)) {}

    Ref<GmpiDrawing_API::IMpBitmap> GetBitmap() {
        Ref<GmpiDrawing_API::IMpBitmap> bitmap;
        target_->GetBitmap(bitmap.put());
        return bitmap;
    }

private:
    Ref<GmpiDrawing_API::IMpBitmapRenderTarget> target_;
};

// Linear-light value of an 8-bit sRGB channel, from the table built when the bundle loads.
float linearFromSrgb8(uint8_t srgb);

} // namespace GmpiDrawing

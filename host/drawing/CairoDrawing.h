#pragma once
// A drawing back end that rasterises on cairo into an 8-bit sRGB picture with alpha. Colours
// arrive linear-light on the drawing interfaces and are converted to sRGB for the picture;
// offscreen targets and bitmaps are cairo image surfaces.

#include <cstdint>

#include "sdk/DrawingApi.h"

struct _cairo_surface;

namespace zr::host {

class CairoDrawing {
public:
    // Largest offscreen target the back end makes; larger (or not finite) sizes fail.
    static constexpr float maxTargetSide = 16384.0f;

    // A transparent picture of `width` x `height` pixels. Throws std::invalid_argument for a
    // size outside 1..maxTargetSide and std::runtime_error when cairo cannot make it.
    CairoDrawing(int width, int height);
    ~CairoDrawing();
    CairoDrawing(CairoDrawing const&) = delete;
    CairoDrawing& operator=(CairoDrawing const&) = delete;

    // The drawing context to hand to OnRender.
    gmpi::IMpUnknown* context() const;

    struct Pixel {
        uint8_t r, g, b, a; // sRGB, not premultiplied
        bool operator==(Pixel const&) const = default;
    };
    // Throws std::out_of_range outside the picture.
    Pixel pixel(int x, int y) const;
    int width() const { return width_; }
    int height() const { return height_; }

    // The picture's cairo image surface, owned by this object, for writing it out.
    _cairo_surface* surface() const { return surface_; }

private:
    int width_;
    int height_;
    _cairo_surface* surface_ = nullptr;
    gmpi::IMpUnknown* context_ = nullptr;
};

// The 8-bit sRGB value of a linear-light channel (clamped to 0..1).
uint8_t srgb8FromLinear(float linear);

} // namespace zr::host

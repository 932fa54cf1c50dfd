#include "host/drawing/CairoDrawing.h"

#include <cairo.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/drawing/CountedObject.h"

namespace zr::host {

using namespace GmpiDrawing_API;

uint8_t srgb8FromLinear(float linear) {
    float const c = linear > 0.0f ? (linear < 1.0f ? linear : 1.0f) : 0.0f; // NaN gives 0
    float const srgb = c <= 0.0031308f ? 12.92f * c : 1.055f * std::pow(c, 1.0f / 2.4f) - 0.055f;
    return static_cast<uint8_t>(std::lround(srgb * 255.0f));
}

namespace {

double srgbChannel(float linear) { return srgb8FromLinear(linear) / 255.0; }

void addStop(cairo_pattern_t* pattern, double position, MP1_COLOR const& color, double opacity) {
    cairo_pattern_add_color_stop_rgba(pattern, position, srgbChannel(color.r), srgbChannel(color.g),
                                      srgbChannel(color.b), color.a * opacity);
}

class CairoBrush final : public drawing::CountedObject<IMpBrush> {
public:
    explicit CairoBrush(cairo_pattern_t* pattern) : CountedObject({SE_IID_BRUSH_MPGUI}), pattern_(pattern) {}
    ~CairoBrush() override { cairo_pattern_destroy(pattern_); }
    cairo_pattern_t* pattern() const { return pattern_; }

private:
    cairo_pattern_t* pattern_;
};

class CairoBitmap final : public drawing::CountedObject<IMpBitmap> {
public:
    explicit CairoBitmap(cairo_surface_t* surface)
        : CountedObject({SE_IID_BITMAP_MPGUI}), surface_(cairo_surface_reference(surface)) {}
    ~CairoBitmap() override { cairo_surface_destroy(surface_); }
    cairo_surface_t* surface() const { return surface_; }

private:
    cairo_surface_t* surface_;
};

struct Figure {
    std::vector<MP1_POINT> points;
    bool closed = false;
};

class CairoGeometry final : public drawing::CountedObject<IMpPathGeometry> {
public:
    CairoGeometry() : CountedObject({SE_IID_PATHGEOMETRY_MPGUI}) {}
    int32_t Open(IMpGeometrySink** returnSink) override;
    std::vector<Figure> figures;

    void appendPath(cairo_t* cr) const {
        for (Figure const& figure : figures) {
            if (figure.points.empty())
                continue;
            cairo_move_to(cr, figure.points[0].x, figure.points[0].y);
            for (std::size_t i = 1; i < figure.points.size(); ++i)
                cairo_line_to(cr, figure.points[i].x, figure.points[i].y);
            if (figure.closed)
                cairo_close_path(cr);
        }
    }
};

// Holds a reference to its geometry, so that the two may be released in either order.
class CairoSink final : public drawing::CountedObject<IMpGeometrySink> {
public:
    explicit CairoSink(CairoGeometry* geometry) : CountedObject({SE_IID_GEOMETRYSINK_MPGUI}), geometry_(geometry) {
        geometry_->addRef();
    }
    ~CairoSink() override { geometry_->release(); }
    void BeginFigure(MP1_POINT start, MP1_FIGURE_BEGIN) override {
        if (!closed_)
            geometry_->figures.push_back({{start}, false});
    }
    void AddLine(MP1_POINT point) override {
        if (!closed_ && !geometry_->figures.empty())
            geometry_->figures.back().points.push_back(point);
    }
    void EndFigure(MP1_FIGURE_END end) override {
        if (!closed_ && !geometry_->figures.empty())
            geometry_->figures.back().closed = end == MP1_FIGURE_END_CLOSED;
    }
    int32_t Close() override {
        closed_ = true;
        return gmpi::MP_OK;
    }

private:
    CairoGeometry* geometry_;
    bool closed_ = false;
};

int32_t CairoGeometry::Open(IMpGeometrySink** returnSink) {
    if (returnSink == nullptr)
        return gmpi::MP_FAIL;
    *returnSink = new CairoSink(this);
    return gmpi::MP_OK;
}

class CairoFactory final : public drawing::CountedObject<IMpFactory> {
public:
    CairoFactory() : CountedObject({SE_IID_FACTORY_MPGUI}) {}
    int32_t CreatePathGeometry(IMpPathGeometry** returnGeometry) override {
        if (returnGeometry == nullptr)
            return gmpi::MP_FAIL;
        *returnGeometry = new CairoGeometry;
        return gmpi::MP_OK;
    }
};

cairo_pattern_t* patternOf(IMpBrush const* brush) {
    auto const* cairoBrush = dynamic_cast<CairoBrush const*>(brush);
    return cairoBrush != nullptr ? cairoBrush->pattern() : nullptr;
}

// A one-pixel-wide (or any odd width) line along a pixel row or column is centred on the
// pixel, so that it covers whole pixels instead of two half-lit rows.
double alignedToPixel(double coordinate, float strokeWidth) {
    long const width = std::lround(strokeWidth);
    if (width % 2 == 0 || std::fabs(strokeWidth - static_cast<float>(width)) > 1e-3f)
        return coordinate;
    return std::floor(coordinate) + 0.5;
}

template <typename Interface>
class CairoTarget : public drawing::CountedObject<Interface> {
public:
    CairoTarget(cairo_surface_t* surface, std::initializer_list<gmpi::MpGuid> identifiers)
        : drawing::CountedObject<Interface>(identifiers), surface_(cairo_surface_reference(surface)),
          cr_(cairo_create(surface)) {
        cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
    }
    ~CairoTarget() override {
        cairo_destroy(cr_);
        cairo_surface_destroy(surface_);
    }

    void GetFactory(IMpFactory** returnFactory) override {
        if (returnFactory != nullptr)
            *returnFactory = new CairoFactory;
    }
    int32_t CreateSolidColorBrush(MP1_COLOR const* color, IMpBrush** returnBrush) override {
        if (returnBrush == nullptr)
            return gmpi::MP_FAIL;
        *returnBrush = nullptr;
        if (color == nullptr)
            return gmpi::MP_FAIL;
        *returnBrush = new CairoBrush(cairo_pattern_create_rgba(srgbChannel(color->r), srgbChannel(color->g),
                                                                srgbChannel(color->b), color->a));
        return gmpi::MP_OK;
    }
    int32_t CreateLinearGradientBrush(MP1_LINEAR_GRADIENT_BRUSH_PROPERTIES const* line,
                                      MP1_BRUSH_PROPERTIES const* properties, MP1_GRADIENT_STOP const* stops,
                                      uint32_t stopCount, IMpBrush** returnBrush) override {
        if (returnBrush == nullptr)
            return gmpi::MP_FAIL;
        *returnBrush = nullptr;
        if (line == nullptr || (stops == nullptr && stopCount > 0))
            return gmpi::MP_FAIL;
        cairo_pattern_t* pattern = cairo_pattern_create_linear(line->startPoint.x, line->startPoint.y,
                                                               line->endPoint.x, line->endPoint.y);
        double const opacity = properties != nullptr ? properties->opacity : 1.0;
        for (uint32_t i = 0; i < stopCount; ++i)
            addStop(pattern, stops[i].position, stops[i].color, opacity);
        if (properties != nullptr) {
            // The pattern's matrix maps user space to pattern space: the brush transform inverted.
            MP1_MATRIX_3X2 const& m = properties->transform;
            cairo_matrix_t matrix;
            cairo_matrix_init(&matrix, m._11, m._12, m._21, m._22, m._31, m._32);
            if (cairo_matrix_invert(&matrix) == CAIRO_STATUS_SUCCESS)
                cairo_pattern_set_matrix(pattern, &matrix);
        }
        *returnBrush = new CairoBrush(pattern);
        return gmpi::MP_OK;
    }
    int32_t CreateCompatibleRenderTarget(MP1_SIZE const* size, IMpBitmapRenderTarget** returnTarget) override;

    void BeginDraw() override {}
    int32_t EndDraw() override {
        for (; clipDepth_ > 0; --clipDepth_)
            cairo_restore(cr_);
        cairo_surface_flush(surface_);
        return cairo_status(cr_) == CAIRO_STATUS_SUCCESS ? gmpi::MP_OK : gmpi::MP_FAIL;
    }
    void Clear(MP1_COLOR const* color) override {
        if (color == nullptr)
            return;
        cairo_save(cr_);
        cairo_set_operator(cr_, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_rgba(cr_, srgbChannel(color->r), srgbChannel(color->g), srgbChannel(color->b), color->a);
        cairo_paint(cr_);
        cairo_restore(cr_);
    }
    void DrawLine(MP1_POINT p0, MP1_POINT p1, IMpBrush const* brush, float width, IMpStrokeStyle const*) override {
        double x0 = p0.x, y0 = p0.y, x1 = p1.x, y1 = p1.y;
        if (p0.x == p1.x)
            x0 = x1 = alignedToPixel(p0.x, width);
        if (p0.y == p1.y)
            y0 = y1 = alignedToPixel(p0.y, width);
        cairo_move_to(cr_, x0, y0);
        cairo_line_to(cr_, x1, y1);
        stroke(brush, width);
    }
    void FillRectangle(MP1_RECT const* rect, IMpBrush const* brush) override {
        if (rect == nullptr)
            return;
        cairo_rectangle(cr_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
        fill(brush);
    }
    void DrawRectangle(MP1_RECT const* rect, IMpBrush const* brush, float width, IMpStrokeStyle const*) override {
        if (rect == nullptr)
            return;
        cairo_rectangle(cr_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
        stroke(brush, width);
    }
    void FillEllipse(MP1_ELLIPSE const* ellipse, IMpBrush const* brush) override {
        if (ellipse != nullptr && addEllipse(*ellipse))
            fill(brush);
    }
    void DrawEllipse(MP1_ELLIPSE const* ellipse, IMpBrush const* brush, float width, IMpStrokeStyle const*) override {
        if (ellipse != nullptr && addEllipse(*ellipse))
            stroke(brush, width);
    }
    void PushAxisAlignedClip(MP1_RECT const* rect) override {
        if (rect == nullptr)
            return;
        cairo_save(cr_);
        ++clipDepth_;
        cairo_rectangle(cr_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
        cairo_clip(cr_);
    }
    void PopAxisAlignedClip() override {
        if (clipDepth_ == 0)
            return;
        cairo_restore(cr_);
        --clipDepth_;
    }
    void FillGeometry(IMpPathGeometry const* geometry, IMpBrush const* brush, IMpBrush const*) override {
        auto const* path = dynamic_cast<CairoGeometry const*>(geometry);
        if (path == nullptr)
            return;
        path->appendPath(cr_);
        fill(brush);
    }
    void DrawGeometry(IMpPathGeometry const* geometry, IMpBrush const* brush, float width, IMpStrokeStyle const*) override {
        auto const* path = dynamic_cast<CairoGeometry const*>(geometry);
        if (path == nullptr)
            return;
        path->appendPath(cr_);
        stroke(brush, width);
    }
    void DrawBitmap(IMpBitmap const* bitmap, MP1_RECT const* destination, float opacity,
                    MP1_BITMAP_INTERPOLATION_MODE mode, MP1_RECT const* source) override {
        auto const* picture = dynamic_cast<CairoBitmap const*>(bitmap);
        if (picture == nullptr || destination == nullptr || source == nullptr)
            return;
        double const sourceWidth = source->right - source->left;
        double const sourceHeight = source->bottom - source->top;
        double const width = destination->right - destination->left;
        double const height = destination->bottom - destination->top;
        if (!(sourceWidth > 0.0 && sourceHeight > 0.0 && width > 0.0 && height > 0.0))
            return;
        cairo_save(cr_);
        cairo_rectangle(cr_, destination->left, destination->top, width, height);
        cairo_clip(cr_);
        cairo_translate(cr_, destination->left, destination->top);
        cairo_scale(cr_, width / sourceWidth, height / sourceHeight);
        cairo_set_source_surface(cr_, picture->surface(), -source->left, -source->top);
        cairo_pattern_set_filter(cairo_get_source(cr_), mode == MP1_BITMAP_INTERPOLATION_MODE_LINEAR
                                                            ? CAIRO_FILTER_BILINEAR
                                                            : CAIRO_FILTER_NEAREST);
        cairo_paint_with_alpha(cr_, opacity);
        cairo_restore(cr_);
    }

protected:
    cairo_surface_t* surface_;

private:
    bool addEllipse(MP1_ELLIPSE const& ellipse) {
        if (!(ellipse.radiusX > 0.0f && ellipse.radiusY > 0.0f))
            return false;
        cairo_save(cr_);
        cairo_translate(cr_, ellipse.point.x, ellipse.point.y);
        cairo_scale(cr_, ellipse.radiusX, ellipse.radiusY);
        cairo_new_sub_path(cr_);
        cairo_arc(cr_, 0.0, 0.0, 1.0, 0.0, 2.0 * std::numbers::pi);
        cairo_restore(cr_);
        return true;
    }
    // A call without a brush of this back end draws nothing.
    void fill(IMpBrush const* brush) {
        cairo_pattern_t* pattern = patternOf(brush);
        if (pattern != nullptr) {
            cairo_set_source(cr_, pattern);
            cairo_fill(cr_);
        }
        cairo_new_path(cr_);
    }
    void stroke(IMpBrush const* brush, float width) {
        cairo_pattern_t* pattern = patternOf(brush);
        if (pattern != nullptr && width > 0.0f) {
            cairo_set_source(cr_, pattern);
            cairo_set_line_width(cr_, width);
            cairo_stroke(cr_);
        }
        cairo_new_path(cr_);
    }

    cairo_t* cr_;
    int clipDepth_ = 0;
};

class CairoBitmapTarget final : public CairoTarget<IMpBitmapRenderTarget> {
public:
    explicit CairoBitmapTarget(cairo_surface_t* surface)
        : CairoTarget(surface, {SE_IID_BITMAP_RENDERTARGET_MPGUI, SE_IID_RENDERTARGET_MPGUI}) {}
    int32_t GetBitmap(IMpBitmap** returnBitmap) override {
        if (returnBitmap == nullptr)
            return gmpi::MP_FAIL;
        cairo_surface_flush(surface_);
        *returnBitmap = new CairoBitmap(surface_);
        return gmpi::MP_OK;
    }
};

template <typename Interface>
int32_t CairoTarget<Interface>::CreateCompatibleRenderTarget(MP1_SIZE const* size, IMpBitmapRenderTarget** returnTarget) {
    if (returnTarget == nullptr)
        return gmpi::MP_FAIL;
    *returnTarget = nullptr;
    if (size == nullptr || !(size->width >= 1.0f && size->width <= CairoDrawing::maxTargetSide) ||
        !(size->height >= 1.0f && size->height <= CairoDrawing::maxTargetSide))
        return gmpi::MP_FAIL;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(std::ceil(size->width)),
                                                          static_cast<int>(std::ceil(size->height)));
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return gmpi::MP_FAIL;
    }
    *returnTarget = new CairoBitmapTarget(surface);
    cairo_surface_destroy(surface); // the target holds its own reference
    return gmpi::MP_OK;
}

class CairoDeviceContext final : public CairoTarget<IMpDeviceContext> {
public:
    explicit CairoDeviceContext(cairo_surface_t* surface)
        : CairoTarget(surface, {SE_IID_DEVICECONTEXT_MPGUI, SE_IID_RENDERTARGET_MPGUI}) {}
};

} // namespace

CairoDrawing::CairoDrawing(int width, int height) : width_(width), height_(height) {
    if (width < 1 || height < 1 || width > maxTargetSide || height > maxTargetSide)
        throw std::invalid_argument("picture of " + std::to_string(width) + " x " + std::to_string(height) +
                                    " pixels: each side must be 1.." + std::to_string(static_cast<int>(maxTargetSide)));
    surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface_);
        throw std::runtime_error("cairo could not make a picture of " + std::to_string(width) + " x " +
                                 std::to_string(height) + " pixels");
    }
    context_ = static_cast<IMpDeviceContext*>(new CairoDeviceContext(surface_));
}

CairoDrawing::~CairoDrawing() {
    context_->release();
    cairo_surface_destroy(surface_);
}

gmpi::IMpUnknown* CairoDrawing::context() const { return context_; }

CairoDrawing::Pixel CairoDrawing::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        throw std::out_of_range("pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") is outside the picture");
    cairo_surface_flush(surface_);
    unsigned char const* row = cairo_image_surface_get_data(surface_) + y * cairo_image_surface_get_stride(surface_);
    uint32_t argb = 0;
    std::memcpy(&argb, row + 4 * x, 4);
    auto const alpha = static_cast<uint8_t>(argb >> 24);
    // Stored premultiplied; undo it for the colour as seen.
    auto const unpremultiply = [alpha](uint32_t channel) {
        return alpha == 0 ? uint8_t{0} : static_cast<uint8_t>((channel * 255 + alpha / 2) / alpha);
    };
    return {unpremultiply((argb >> 16) & 0xFF), unpremultiply((argb >> 8) & 0xFF), unpremultiply(argb & 0xFF), alpha};
}

} // namespace zr::host

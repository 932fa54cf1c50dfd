// ZR_ShapeEditor5: the frame. The picture is two cached bitmaps of the editor's size, the
// grid (background, grid and reference lines) and the curve (fill, curve, node markers); each
// is drawn again only after something it shows changed, so most frames just copy the two.

#include "editor/ShapeEditor5.h"
#include "shapes/Clamp.h"

namespace {

using namespace GmpiDrawing_API;
using GmpiDrawing::Graphics_base;
using GmpiDrawing::Ref;
using zr::editor::isVisible;

// Widest curve drawn column by column; a wider (or not finite) rectangle from the host gets
// no table and no columns rather than an absurd allocation or an endless loop.
constexpr float kMaxCurveColumns = 65536.0f;
constexpr MP1_COLOR kTransparent{0.0f, 0.0f, 0.0f, 0.0f};

// Begins drawing into a new target of the editor's size, cleared to transparent; empty when
// the host could not make one.
Ref<IMpBitmapRenderTarget> beginBitmap(Graphics_base& context, MP1_SIZE size) {
    Ref<IMpBitmapRenderTarget> target = context.CreateCompatibleRenderTarget(size);
    if (target) {
        target->BeginDraw();
        target->Clear(&kTransparent);
    }
    return target;
}

Ref<IMpBitmap> endBitmap(GmpiDrawing::BitmapRenderTarget& target) {
    target.EndDraw();
    return target.GetBitmap();
}

} // namespace

int32_t ZR_ShapeEditor5::OnRender(gmpi::IMpUnknown* drawingContext) {
    MP1_RECT const rect = getRect();
    viewSize = {rect.right - rect.left, rect.bottom - rect.top};
    Ref<IMpDeviceContext> context;
    if (drawingContext == nullptr ||
        drawingContext->queryInterface(SE_IID_DEVICECONTEXT_MPGUI, context.putVoid()) != gmpi::MP_OK || !context)
        return gmpi::MP_OK;
    if (viewSize.width != renderedSize.width || viewSize.height != renderedSize.height) {
        renderedSize = viewSize;
        computeViewMapping();
        releaseBothBitmaps();
    }

    Graphics_base frame(context.get());
    MP1_RECT const whole{0.0f, 0.0f, viewSize.width, viewSize.height};
    if (!gridBitmap)
        drawGridBitmap(frame);
    if (gridBitmap)
        frame.DrawBitmap(gridBitmap.get(), whole, 1.0f, MP1_BITMAP_INTERPOLATION_MODE_LINEAR, rect);
    if (!curveBitmap)
        drawCurveBitmap(frame);
    if (curveBitmap)
        frame.DrawBitmap(curveBitmap.get(), whole, 1.0f, MP1_BITMAP_INTERPOLATION_MODE_LINEAR, rect);
    return gmpi::MP_OK;
}

void ZR_ShapeEditor5::drawGridBitmap(Graphics_base& context) {
    Ref<IMpBitmapRenderTarget> made = beginBitmap(context, viewSize);
    if (!made)
        return;
    GmpiDrawing::BitmapRenderTarget target(std::move(made));
    float const width = viewSize.width;
    float const height = viewSize.height;
    using zr::editor::ColorSlot;

    if (isVisible(colors[ColorSlot::BackgroundTop]) || isVisible(colors[ColorSlot::BackgroundBottom])) {
        auto brush = target.CreateLinearGradientBrush(colors[ColorSlot::BackgroundTop], colors[ColorSlot::BackgroundBottom],
                                                      {0.0f, 0.0f}, {0.0f, height});
        if (brush)
            target.FillRectangle({0.0f, 0.0f, width, height}, brush.get());
    }
    if (isVisible(colors[ColorSlot::Grid]))
        drawGridLines(target);
    auto const line = [&](ColorSlot slot, MP1_POINT from, MP1_POINT to) {
        if (!isVisible(colors[slot]))
            return;
        if (auto brush = target.CreateSolidColorBrush(colors[slot]))
            target.DrawLine(from, to, brush.get(), 1.0f);
    };
    line(ColorSlot::Diagonal, {0.0f, height}, {width, 0.0f});
    line(ColorSlot::CentreLine, {width * 0.5f, 0.0f}, {width * 0.5f, height});
    float const baseLineRow = view.pixelY(baseLine);
    line(ColorSlot::BaseLine, {0.0f, baseLineRow}, {width, baseLineRow});
    gridBitmap = endBitmap(target);
}

void ZR_ShapeEditor5::drawCurveBitmap(Graphics_base& context) {
    Ref<IMpBitmapRenderTarget> made = beginBitmap(context, viewSize);
    if (!made)
        return;
    GmpiDrawing::BitmapRenderTarget target(std::move(made));
    using zr::editor::ColorSlot;
    bool const line = isVisible(colors[ColorSlot::Curve]);
    bool const fill = isVisible(colors[ColorSlot::FillOuter]) || isVisible(colors[ColorSlot::FillInner]);
    bool const markers = isVisible(colors[ColorSlot::NodeMarker]) || isVisible(colors[ColorSlot::ActiveNodeMarker]);

    if (shape().interpolation == zr::None) {
        if (line)
            drawSpikes(target);
    } else if (line || fill) {
        drawCurveAndFill(target, line, fill);
    }
    if (markers)
        drawMarkers(target);
    curveBitmap = endBitmap(target);
}

// Lines run through the border to the rectangle's edges; x positions are accumulated.
void ZR_ShapeEditor5::drawGridLines(Graphics_base& target) {
    auto brush = target.CreateSolidColorBrush(colors[zr::editor::ColorSlot::Grid]);
    if (!brush)
        return;
    if (gridX > 0) {
        float const step = ((view.ox + view.sx) - view.ox) / static_cast<float>(gridX);
        float x = view.ox;
        for (int32_t k = 0; k <= gridX; ++k, x += step)
            target.DrawLine({x, 0.0f}, {x, viewSize.height}, brush.get(), 1.0f);
    }
    for (int32_t k = 0; gridY > 0 && k <= gridY; ++k) {
        float const y = view.oy + static_cast<float>(k) * view.sy / static_cast<float>(gridY);
        target.DrawLine({0.0f, y}, {viewSize.width, y}, brush.get(), 1.0f);
    }
}

// Mode None has no curve: a spike from the baseline up (or down) to each node.
void ZR_ShapeEditor5::drawSpikes(Graphics_base& target) {
    auto brush = target.CreateSolidColorBrush(colors[zr::editor::ColorSlot::Curve]);
    if (!brush)
        return;
    float const baseLineRow = view.pixelY(baseLine);
    for (int32_t i = 0; i < shape().nodeCount; ++i) {
        float const px = view.pixelX(shape().nodes[i].x);
        target.DrawLine({px, baseLineRow}, {px, view.pixelY(shape().nodes[i].y)}, brush.get(), shapeThickness);
    }
}

// The inner width in pixel columns, one table entry each; 0 for a rectangle the host should
// not have given (not finite, or wider than any screen).
int32_t ZR_ShapeEditor5::curveColumnCount() const {
    float const x0 = view.ox;
    float const x1 = view.ox + view.sx;
    float const columns = x1 - x0 + 1.0f;
    if (!(columns >= 0.0f && columns <= kMaxCurveColumns))
        return 0;
    return static_cast<int32_t>(columns);
}

void ZR_ShapeEditor5::drawCurveAndFill(Graphics_base& target, bool line, bool fill) {
    int32_t const columns = curveColumnCount();
    if (columns != interpolator.tableSize)
        interpolator.setTableSize(columns);
    interpolator.render();
    auto const values = interpolator.rendered();

    auto factory = target.GetFactory();
    if (!factory)
        return;
    float const limit = borderClip ? 1.0f : 10.0f;
    float const x0 = view.ox;
    float const baseLineRow = view.pixelY(baseLine);
    Ref<IMpPathGeometry> curve, area;
    Ref<IMpGeometrySink> curveSink, areaSink;
    if (line && factory->CreatePathGeometry(curve.put()) == gmpi::MP_OK && curve && curve->Open(curveSink.put()) == gmpi::MP_OK &&
        curveSink) {
        float const first = zr::clampf(values.value(0), -limit, limit);
        curveSink->BeginFigure({x0, view.pixelY(first)}, MP1_FIGURE_BEGIN_HOLLOW);
    }
    if (fill && factory->CreatePathGeometry(area.put()) == gmpi::MP_OK && area && area->Open(areaSink.put()) == gmpi::MP_OK &&
        areaSink)
        areaSink->BeginFigure({x0, baseLineRow}, MP1_FIGURE_BEGIN_FILLED);

    // Column k shows table entry k; a table too small to render reads as 0, a flat curve.
    float lastX = x0;
    for (int32_t k = 0; k < columns; ++k) {
        lastX = x0 + static_cast<float>(k);
        MP1_POINT const point{lastX, view.pixelY(zr::clampf(values.value(k), -limit, limit))};
        if (curveSink)
            curveSink->AddLine(point);
        if (areaSink)
            areaSink->AddLine(point);
    }
    if (areaSink) {
        areaSink->AddLine({lastX, baseLineRow});
        areaSink->EndFigure(MP1_FIGURE_END_CLOSED);
        areaSink->Close();
        fillUnderCurve(target, area.get());
    }
    if (curveSink) {
        curveSink->EndFigure(MP1_FIGURE_END_OPEN);
        curveSink->Close();
        if (auto brush = target.CreateSolidColorBrush(colors[zr::editor::ColorSlot::Curve]))
            target.DrawGeometry(curve.get(), brush.get(), shapeThickness);
    }
}

// The fill fades from the outer colour at the top and bottom edges to the inner colour at the
// baseline, on each side of it; the pixel row between B and B + 1 stays unfilled.
void ZR_ShapeEditor5::fillUnderCurve(Graphics_base& target, IMpPathGeometry const* area) {
    using zr::editor::ColorSlot;
    float const width = viewSize.width;
    float const height = viewSize.height;
    float const baseLineRow = view.pixelY(baseLine);
    auto const fillBetween = [&](MP1_RECT clip, MP1_COLOR fromColor, MP1_POINT from, MP1_COLOR toColor, MP1_POINT to) {
        auto brush = target.CreateLinearGradientBrush(fromColor, toColor, from, to);
        if (!brush)
            return;
        target.PushAxisAlignedClip(clip);
        target.FillGeometry(area, brush.get());
        target.PopAxisAlignedClip();
    };
    if (baseLine < 1.0f)
        fillBetween({0.0f, 0.0f, width, baseLineRow}, colors[ColorSlot::FillOuter], {0.0f, 0.0f},
                    colors[ColorSlot::FillInner], {0.0f, baseLineRow + 1.0f});
    if (baseLine > -1.0f)
        fillBetween({0.0f, baseLineRow + 1.0f, width, height}, colors[ColorSlot::FillInner], {0.0f, baseLineRow - 1.0f},
                    colors[ColorSlot::FillOuter], {0.0f, height});
}

// Later markers paint over earlier ones, the active one included.
void ZR_ShapeEditor5::drawMarkers(Graphics_base& target) {
    using zr::editor::ColorSlot;
    auto nodeBrush = target.CreateSolidColorBrush(colors[ColorSlot::NodeMarker]);
    auto activeBrush = target.CreateSolidColorBrush(colors[ColorSlot::ActiveNodeMarker]);
    float const r = nodeSize * 0.5f;
    for (int32_t i = 0; i < shape().nodeCount; ++i) {
        IMpBrush const* brush = i == activeNode ? activeBrush.get() : nodeBrush.get();
        if (brush == nullptr)
            continue;
        float const px = view.pixelX(shape().nodes[i].x);
        float const py = view.pixelY(shape().nodes[i].y);
        MP1_ELLIPSE const ellipse{{px, py}, r, r};
        MP1_RECT const square{px - r, py - r, px - r + nodeSize - 1.0f, py - r + nodeSize - 1.0f};
        if (circularNodes && fillNodes)
            target.FillEllipse(ellipse, brush);
        else if (circularNodes)
            target.DrawEllipse(ellipse, brush, nodeThickness);
        else if (fillNodes)
            target.FillRectangle(square, brush);
        else
            target.DrawRectangle(square, brush, nodeThickness);
    }
}

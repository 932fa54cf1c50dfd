#pragma once
// The affine mapping between a shape's normalised coordinates (x 0..1 left to right, y -1..+1
// bottom to top) and the editor's pixels ((0, 0) top left, y downwards), with a border of
// `borderFactor` of the view's size on every side.

namespace zr::editor {

struct ViewMapping {
    float sx = 0.0f; // inner width: x 0 lies at ox, x 1 at ox + sx
    float sy = 0.0f; // inner height: y +1 lies at oy, y -1 at oy + sy
    float ox = 0.0f;
    float oy = 0.0f;
    float pixelXScale = 0.0f, pixelXOffset = 0.0f;
    float pixelYScale = 0.0f, pixelYOffset = 0.0f;
    float recordXScale = 0.0f, recordXOffset = 0.0f;
    float recordYScale = 0.0f, recordYOffset = 0.0f;

    // In single precision, as stored tables of positions depend on it. A view of 1 or 2
    // pixels gives a zero inner size and so non-finite record coordinates, which the pointer
    // operations refuse.
    static ViewMapping compute(float width, float height, float borderFactor) {
        ViewMapping m;
        m.sx = (1.0f - 2.0f * borderFactor) * width - 1.0f;
        m.sy = (1.0f - 2.0f * borderFactor) * height - 1.0f;
        m.ox = borderFactor * width;
        m.oy = borderFactor * height;
        m.pixelXScale = m.sx;
        m.pixelXOffset = m.ox;
        m.pixelYScale = -0.5f * m.sy;
        m.pixelYOffset = m.oy + 0.5f * m.sy;
        m.recordXScale = 1.0f / m.sx;
        m.recordXOffset = -m.ox / m.sx;
        m.recordYScale = -2.0f / m.sy;
        m.recordYOffset = 1.0f + 2.0f * m.oy / m.sy;
        return m;
    }

    float pixelX(float x) const { return pixelXScale * x + pixelXOffset; }
    float pixelY(float y) const { return pixelYScale * y + pixelYOffset; }
    float recordX(float px) const { return recordXScale * px + recordXOffset; }
    float recordY(float py) const { return recordYScale * py + recordYOffset; }
};

} // namespace zr::editor

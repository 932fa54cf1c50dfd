#include "editor/EditorColors.h"

#include <cstdint>

#include "sdk/Drawing.h"
#include "shapes/NumberText.h"

namespace zr::editor {

Color colorFromSrgb8(unsigned red, unsigned green, unsigned blue, unsigned alpha) {
    auto const channel = [](unsigned value) { return GmpiDrawing::linearFromSrgb8(static_cast<uint8_t>(value & 0xFF)); };
    return {channel(red), channel(green), channel(blue), static_cast<float>(alpha & 0xFF) * 0.003921569f};
}

ColorSet defaultColors() {
    ColorSet colors{};
    colors[BackgroundTop] = colorFromSrgb8(48, 48, 48, 255);
    colors[BackgroundBottom] = colorFromSrgb8(0, 0, 0, 255);
    colors[Grid] = colorFromSrgb8(56, 56, 56, 255);
    colors[BaseLine] = colorFromSrgb8(80, 80, 80, 255);
    colors[CentreLine] = colorFromSrgb8(80, 80, 80, 255);
    colors[Diagonal] = colorFromSrgb8(0, 0, 0, 0);
    colors[Curve] = colorFromSrgb8(0, 160, 192, 255);
    colors[FillOuter] = colorFromSrgb8(0, 128, 160, 192);
    colors[FillInner] = colorFromSrgb8(0, 128, 160, 32);
    colors[NodeMarker] = colorFromSrgb8(0, 160, 192, 255);
    colors[ActiveNodeMarker] = colorFromSrgb8(255, 255, 255, 255);
    return colors;
}

uint32_t argbFromText(std::wstring const& text) { return static_cast<uint32_t>(zr::readHexNumber(text.c_str())); }

Color colorFromPinText(std::wstring const& text, Color fallback) {
    if (text.empty())
        return fallback;
    uint32_t const argb = argbFromText(text);
    return colorFromSrgb8(argb >> 16, argb >> 8, argb, argb >> 24);
}

} // namespace zr::editor

#pragma once
// The editor's eleven colours: what each is for, its built-in default, and how a colour pin's
// hexadecimal AARRGGBB text becomes a linear-light colour.

#include <array>
#include <cstdint>
#include <string>

#include "sdk/DrawingApi.h"

namespace zr::editor {

using Color = GmpiDrawing_API::MP1_COLOR;

// Slot k is set by colour pin 23 + k.
enum ColorSlot : int {
    BackgroundTop,
    BackgroundBottom,
    Grid,
    BaseLine,
    CentreLine,
    Diagonal,
    Curve,
    FillOuter,
    FillInner,
    NodeMarker,
    ActiveNodeMarker,
    kColorCount
};

using ColorSet = std::array<Color, kColorCount>;

// The built-in colours, from their 8-bit sRGB values.
ColorSet defaultColors();

// A colour from 8-bit sRGB channels and 8-bit alpha.
Color colorFromSrgb8(unsigned red, unsigned green, unsigned blue, unsigned alpha);

// The low 32 bits of `text` read as an unsigned hexadecimal number: leading blanks, a sign
// and 0x allowed, reading stops at the first non-digit, no digits give 0. The same under
// every process locale.
uint32_t argbFromText(std::wstring const& text);

// The colour a pin text gives: its default when empty, otherwise argbFromText's bits, alpha
// in bits 24-31, then red, green, blue.
Color colorFromPinText(std::wstring const& text, Color fallback);

inline bool isVisible(Color const& color) { return color.a > 0.0f; }

} // namespace zr::editor

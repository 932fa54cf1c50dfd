// Fuzz target: the editor's colour pin text. The first byte picks how the remaining bytes
// become characters: one byte each, or 4 bytes each as raw 32-bit characters (so that blanks
// of other alphabets and values beyond Unicode are tried too).
// Oracle: the text is read as an unsigned long in base 16, as the C library does it under the
// "C" rules, written out here independently: blanks (space, tab to carriage return), an
// optional sign, an optional 0x before a digit, then hexadecimal digits up to the first
// other character; no digits give 0, too many give the largest unsigned long, a minus sign
// negates. The colour holds the low 32 bits as alpha, red, green, blue; empty text gives the
// fallback colour.

#include <cstring>
#include <limits>
#include <string>

#include "editor/EditorColors.h"
#include "fuzz/FuzzCheck.h"

namespace {

int hexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

uint32_t expectedArgb(std::wstring const& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
        negative = text[i++] == L'-';
    if (i + 2 < text.size() && text[i] == L'0' && (text[i + 1] == L'x' || text[i + 1] == L'X') && hexDigit(text[i + 2]) >= 0)
        i += 2;
    unsigned long value = 0;
    bool overflow = false;
    for (; i < text.size() && hexDigit(text[i]) >= 0; ++i) {
        overflow |= value > std::numeric_limits<unsigned long>::max() >> 4;
        value = value << 4 | static_cast<unsigned long>(hexDigit(text[i]));
    }
    if (overflow)
        return std::numeric_limits<uint32_t>::max();
    return static_cast<uint32_t>(negative ? 0ul - value : value);
}

bool sameColor(zr::editor::Color const& a, zr::editor::Color const& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, std::size_t size) {
    if (size == 0 || size > 1u << 12)
        return 0;
    std::wstring const text = zr::fuzz::decodeText(data + 1, size - 1, (data[0] & 1) != 0);
    zr::editor::Color const fallback{0.25f, 0.5f, 0.75f, 1.0f};

    uint32_t const argb = zr::editor::argbFromText(text);
    uint32_t const expected = expectedArgb(text);
    FUZZ_CHECK(argb == expected, "\"" + zr::fuzz::narrow(text) + "\" read as " + std::to_string(argb) + ", expected " +
                                     std::to_string(expected));
    zr::editor::Color const color = zr::editor::colorFromPinText(text, fallback);
    if (text.empty()) {
        FUZZ_CHECK(sameColor(color, fallback), "empty text does not give the fallback colour");
        return 0;
    }
    zr::editor::Color const fromBytes = zr::editor::colorFromSrgb8(argb >> 16 & 0xFF, argb >> 8 & 0xFF, argb & 0xFF, argb >> 24);
    FUZZ_CHECK(sameColor(color, fromBytes), "the colour does not hold the bytes read");
    FUZZ_CHECK(color.a >= 0.0f && color.a <= 1.0f, "alpha " + std::to_string(color.a));
    return 0;
}

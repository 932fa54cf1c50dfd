#include "shapes/Utf8.h"

namespace zr {

namespace {

bool hasUtf8Form(char32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

void appendUtf8(std::string& out, char32_t c) {
    auto const byte = [](char32_t v) { return static_cast<char>(v); };
    if (c < 0x80) {
        out += byte(c);
    } else if (c < 0x800) {
        out += byte(0xC0 | (c >> 6));
        out += byte(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += byte(0xE0 | (c >> 12));
        out += byte(0x80 | ((c >> 6) & 0x3F));
        out += byte(0x80 | (c & 0x3F));
    } else {
        out += byte(0xF0 | (c >> 18));
        out += byte(0x80 | ((c >> 12) & 0x3F));
        out += byte(0x80 | ((c >> 6) & 0x3F));
        out += byte(0x80 | (c & 0x3F));
    }
}

} // namespace

std::optional<std::string> toUtf8(std::wstring const& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t character : text) {
        auto const c = static_cast<char32_t>(character);
        if (!hasUtf8Form(c))
            return std::nullopt;
        appendUtf8(out, c);
    }
    return out;
}

} // namespace zr

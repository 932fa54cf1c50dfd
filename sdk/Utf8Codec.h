#pragma once
// The UTF-8 rules, written once: how a code point is encoded and how one sequence is read.
// Callers choose what to do with text that breaks them: the GUI pins throw, file paths fail,
// our host's messages substitute.

#include <cstddef>
#include <string>
#include <string_view>

namespace gmpi_sdk::utf8 {

// A code point with a UTF-8 form: not a surrogate, not beyond U+10FFFF.
constexpr bool isEncodable(char32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

// Appends the UTF-8 form of an encodable code point (others are the caller's to reject).
inline void append(std::string& out, char32_t c) {
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

// Reads the sequence that starts at `at` (which must lie inside `text`) into `codePoint` and
// answers its length, or 0 when it is malformed, truncated, overlong, a surrogate or beyond
// U+10FFFF; `codePoint` is then unspecified.
inline std::size_t decode(std::string_view text, std::size_t at, char32_t& codePoint) {
    auto const lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    if (lead < 0x80) { codePoint = lead; length = 1; }
    else if ((lead & 0xE0) == 0xC0) { codePoint = lead & 0x1F; length = 2; }
    else if ((lead & 0xF0) == 0xE0) { codePoint = lead & 0x0F; length = 3; }
    else if ((lead & 0xF8) == 0xF0) { codePoint = lead & 0x07; length = 4; }
    if (length == 0 || length > text.size() - at)
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        auto const continuation = static_cast<unsigned char>(text[at + k]);
        if ((continuation & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (continuation & 0x3F);
    }
    // The smallest code point that needs a sequence of each length: shorter forms are overlong.
    constexpr char32_t smallestOfLength[5] = {0, 0, 0x80, 0x800, 0x10000};
    return codePoint >= smallestOfLength[length] && isEncodable(codePoint) ? length : 0;
}

} // namespace gmpi_sdk::utf8

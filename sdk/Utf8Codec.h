#pragma once
// The UTF-8 rules, written once: how a code point is encoded and how one sequence is read.
// Callers choose what to do with text that breaks them: the GUI pins throw, file paths fail,
// our host's messages substitute.

#include <cstddef>
#include <optional>
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

// What a whole-text conversion makes of what breaks the rules: a malformed, truncated,
// overlong or surrogate sequence when decoding; a character without a UTF-8 form (a lone
// surrogate, or a value beyond U+10FFFF) when encoding. Every caller names its policy.
enum class OnInvalid {
    Refuse,  // the conversion fails and gives no text
    Replace, // U+FFFD takes its place; decoding goes on at the byte after the one refused
};

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// UTF-8 to one wide character per code point. With Refuse: nothing for a text with an
// invalid sequence, whose byte offset then goes to `invalidAt` when that is not null.
inline std::optional<std::wstring> decodeText(std::string_view utf8, OnInvalid policy,
                                              std::size_t* invalidAt = nullptr) {
    std::wstring wide;
    wide.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t codePoint = 0;
        std::size_t length = decode(utf8, i, codePoint);
        if (length == 0) {
            if (policy == OnInvalid::Refuse) {
                if (invalidAt != nullptr)
                    *invalidAt = i;
                return std::nullopt;
            }
            codePoint = kReplacementCharacter;
            length = 1;
        }
        wide.push_back(static_cast<wchar_t>(codePoint));
        i += length;
    }
    return wide;
}

// One code point per wide character to UTF-8. With Refuse: nothing for a text with a
// character that has no UTF-8 form.
inline std::optional<std::string> encodeText(std::wstring_view wide, OnInvalid policy) {
    std::string utf8;
    utf8.reserve(wide.size());
    for (wchar_t const character : wide) {
        auto codePoint = static_cast<char32_t>(character);
        if (!isEncodable(codePoint)) {
            if (policy == OnInvalid::Refuse)
                return std::nullopt;
            codePoint = kReplacementCharacter;
        }
        append(utf8, codePoint);
    }
    return utf8;
}

} // namespace gmpi_sdk::utf8

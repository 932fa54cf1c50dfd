#include "sdk/Utf8.h"

#include <stdexcept>

namespace gmpi_sdk {
namespace {

constexpr char32_t kLastCodePoint = 0x10FFFF;

bool isSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

[[noreturn]] void fromBytesError() { throw std::range_error("wstring_convert: from_bytes error"); }
[[noreturn]] void toBytesError() { throw std::range_error("wstring_convert: to_bytes error"); }

// Length of the sequence a lead byte starts, and the bits it contributes; 0 for a byte that
// cannot start one.
int sequenceLength(unsigned char lead, char32_t& bits) {
    if (lead < 0x80) { bits = lead; return 1; }
    if ((lead & 0xE0) == 0xC0) { bits = lead & 0x1F; return 2; }
    if ((lead & 0xF0) == 0xE0) { bits = lead & 0x0F; return 3; }
    if ((lead & 0xF8) == 0xF0) { bits = lead & 0x07; return 4; }
    return 0;
}

// The smallest code point that needs a sequence of each length: shorter forms are overlong.
constexpr char32_t kSmallestOfLength[5] = {0, 0, 0x80, 0x800, 0x10000};

} // namespace

std::wstring wideFromUtf8(std::string_view utf8) {
    std::wstring wide;
    wide.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c = 0;
        int const length = sequenceLength(static_cast<unsigned char>(utf8[i]), c);
        if (length == 0 || i + static_cast<std::size_t>(length) > utf8.size())
            fromBytesError();
        for (int k = 1; k < length; ++k) {
            auto const continuation = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
            if ((continuation & 0xC0) != 0x80)
                fromBytesError();
            c = (c << 6) | (continuation & 0x3F);
        }
        if (c < kSmallestOfLength[length] || c > kLastCodePoint || isSurrogate(c))
            fromBytesError();
        wide.push_back(static_cast<wchar_t>(c));
        i += static_cast<std::size_t>(length);
    }
    return wide;
}

std::string utf8FromWide(std::wstring_view wide) {
    std::string utf8;
    utf8.reserve(wide.size());
    for (wchar_t const character : wide) {
        auto const c = static_cast<char32_t>(character);
        if (c > kLastCodePoint || isSurrogate(c))
            toBytesError();
        if (c < 0x80) {
            utf8.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            utf8.push_back(static_cast<char>(0xC0 | (c >> 6)));
            utf8.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            utf8.push_back(static_cast<char>(0xE0 | (c >> 12)));
            utf8.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            utf8.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            utf8.push_back(static_cast<char>(0xF0 | (c >> 18)));
            utf8.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            utf8.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            utf8.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return utf8;
}

} // namespace gmpi_sdk

#include "host/TextConversion.h"

#include <stdexcept>

namespace zr::host {
namespace {

constexpr char32_t replacementCharacter = 0xFFFD;

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

[[noreturn]] void throwMalformed(std::size_t offset) {
    throw std::invalid_argument("malformed UTF-8 at byte " + std::to_string(offset));
}

// Length of the sequence led by `lead` and the payload bits of the lead byte; 0 = invalid lead.
int sequenceLength(unsigned char lead, char32_t& bits) {
    if (lead < 0x80) { bits = lead; return 1; }
    if ((lead & 0xE0) == 0xC0) { bits = lead & 0x1F; return 2; }
    if ((lead & 0xF0) == 0xE0) { bits = lead & 0x0F; return 3; }
    if ((lead & 0xF8) == 0xF0) { bits = lead & 0x07; return 4; }
    return 0;
}

bool isShortestForm(char32_t codePoint, int length) {
    constexpr char32_t smallestOfLength[] = {0, 0, 0x80, 0x800, 0x10000};
    return codePoint >= smallestOfLength[length];
}

bool isEncodable(char32_t codePoint) {
    return codePoint <= 0x10FFFF && (codePoint < 0xD800 || codePoint > 0xDFFF);
}

void appendUtf8(std::string& out, char32_t c) {
    if (!isEncodable(c))
        c = replacementCharacter;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

std::wstring wideFromUtf8(std::string_view utf8) {
    std::wstring wide;
    wide.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t codePoint = 0;
        int const length = sequenceLength(static_cast<unsigned char>(utf8[i]), codePoint);
        if (length == 0 || i + length > utf8.size())
            throwMalformed(i);
        for (int k = 1; k < length; ++k) {
            auto const byte = static_cast<unsigned char>(utf8[i + k]);
            if (!isContinuation(byte))
                throwMalformed(i + k);
            codePoint = (codePoint << 6) | (byte & 0x3F);
        }
        if (!isShortestForm(codePoint, length) || !isEncodable(codePoint))
            throwMalformed(i);
        wide += static_cast<wchar_t>(codePoint);
        i += length;
    }
    return wide;
}

std::string utf8FromWide(std::wstring_view wide) {
    std::string utf8;
    utf8.reserve(wide.size());
    for (wchar_t c : wide)
        appendUtf8(utf8, static_cast<char32_t>(c));
    return utf8;
}

} // namespace zr::host

// The shape file: the text form of the nodes, a newline, and "ITP=" with the interpolation
// mode, e.g. "(-5,0)(5,0)\nITP=10". One byte per character; all content is ASCII.

#include <climits>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>

#include "sdk/Utf8Codec.h"
#include "shapes/Shape.h"

namespace zr {

namespace {

// Far beyond any shape file (100 nodes take a few kilobytes); a larger file is refused
// rather than read into memory.
constexpr std::streamsize kLargestFile = 1 << 20;

constexpr wchar_t kModePrefix[] = L"ITP=";

// As with a wide read in the "C" locale, a file's text ends at its first byte outside ASCII.
bool endsText(char byte) { return static_cast<unsigned char>(byte) >= 0x80; }

// The file's bytes up to the end of its text. Empty when the file cannot be read or is too large.
std::optional<std::string> readFileText(std::string const& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    std::string text;
    char byte;
    while (file.get(byte) && !endsText(byte)) {
        if (static_cast<std::streamsize>(text.size()) >= kLargestFile)
            return std::nullopt;
        text += byte;
    }
    if (file.bad())
        return std::nullopt;
    return text;
}

bool isBlank(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

// The decimal integer at `from` (leading blanks and a sign allowed), or -1 when there is
// none or it does not fit in 32 bits.
int32_t readMode(std::wstring const& text, std::size_t from) {
    std::size_t i = from;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
        negative = text[i++] == L'-';
    int64_t value = 0;
    std::size_t const firstDigit = i;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > int64_t{INT32_MAX} + 1)
            return -1;
    }
    if (i == firstDigit)
        return -1;
    value = negative ? -value : value;
    return value >= INT32_MIN && value <= INT32_MAX ? static_cast<int32_t>(value) : -1;
}

// The mode named after the first "ITP=" following the first newline; -1 when there is none.
int32_t modeLine(std::wstring const& text, std::size_t newline) {
    if (newline == std::wstring::npos)
        return -1;
    std::size_t const prefix = text.find(kModePrefix, newline);
    return prefix == std::wstring::npos ? -1 : readMode(text, prefix + std::size(kModePrefix) - 1);
}

} // namespace

std::string Shape::shpContent() const {
    std::wstring const nodeText = getString(); // ASCII only
    return std::string(nodeText.begin(), nodeText.end()) + "\nITP=" + std::to_string(interpolation);
}

bool Shape::readShpContent(std::string_view content) {
    invalid = 1;
    std::wstring text;
    for (std::size_t i = 0; i < content.size() && !endsText(content[i]); ++i)
        text += static_cast<wchar_t>(content[i]);
    std::size_t const newline = text.find(L'\n');
    int32_t const mode = modeLine(text, newline);
    bool const changedNodes = setString(newline == std::wstring::npos ? text : text.substr(0, newline));
    if (invalid)
        return false; // rejected nodes: the mode stays too
    bool const changedMode = setInterpolation(mode);
    return changedNodes || changedMode;
}

bool Shape::saveShp(std::wstring const& path) const {
    try {
        auto const fileName = gmpi_sdk::utf8::encodeText(path, gmpi_sdk::utf8::OnInvalid::Refuse);
        if (path.empty() || !fileName)
            return false;
        std::ofstream file(*fileName, std::ios::binary | std::ios::trunc);
        if (!file)
            return false;
        file << shpContent();
        file.close();
        return !file.fail(); // a full disk must not pass for a saved file
    } catch (...) {
        return false;
    }
}

bool Shape::loadShp(std::wstring const& path) {
    invalid = 1;
    try {
        auto const fileName = gmpi_sdk::utf8::encodeText(path, gmpi_sdk::utf8::OnInvalid::Refuse);
        if (path.empty() || !fileName)
            return false;
        auto const content = readFileText(*fileName);
        return content && readShpContent(*content);
    } catch (...) {
        return false;
    }
}

} // namespace zr

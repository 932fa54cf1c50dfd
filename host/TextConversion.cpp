#include "host/TextConversion.h"

#include <stdexcept>

#include "sdk/Utf8Codec.h"

namespace zr::host {

std::wstring wideFromUtf8(std::string_view utf8) {
    std::wstring wide;
    wide.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t codePoint = 0;
        std::size_t const length = gmpi_sdk::utf8::decode(utf8, i, codePoint);
        if (length == 0)
            throw std::invalid_argument("malformed UTF-8 at byte " + std::to_string(i));
        wide += static_cast<wchar_t>(codePoint);
        i += length;
    }
    return wide;
}

std::string utf8FromWide(std::wstring_view wide) {
    constexpr char32_t replacementCharacter = 0xFFFD;
    std::string utf8;
    utf8.reserve(wide.size());
    for (wchar_t character : wide) {
        auto const c = static_cast<char32_t>(character);
        gmpi_sdk::utf8::append(utf8, gmpi_sdk::utf8::isEncodable(c) ? c : replacementCharacter);
    }
    return utf8;
}

} // namespace zr::host

#include "sdk/Utf8.h"

#include <stdexcept>

#include "sdk/Utf8Codec.h"

namespace gmpi_sdk {

std::wstring wideFromUtf8(std::string_view utf8) {
    std::wstring wide;
    wide.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c = 0;
        std::size_t const length = utf8::decode(utf8, i, c);
        if (length == 0)
            throw std::range_error("wstring_convert: from_bytes error");
        wide.push_back(static_cast<wchar_t>(c));
        i += length;
    }
    return wide;
}

std::string utf8FromWide(std::wstring_view wide) {
    std::string out;
    out.reserve(wide.size());
    for (wchar_t const character : wide) {
        auto const c = static_cast<char32_t>(character);
        if (!utf8::isEncodable(c))
            throw std::range_error("wstring_convert: to_bytes error");
        utf8::append(out, c);
    }
    return out;
}

} // namespace gmpi_sdk

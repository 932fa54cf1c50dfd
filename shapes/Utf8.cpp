#include "shapes/Utf8.h"

#include "sdk/Utf8Codec.h"

namespace zr {

std::optional<std::string> toUtf8(std::wstring const& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t character : text) {
        auto const c = static_cast<char32_t>(character);
        if (!gmpi_sdk::utf8::isEncodable(c))
            return std::nullopt;
        gmpi_sdk::utf8::append(out, c);
    }
    return out;
}

} // namespace zr

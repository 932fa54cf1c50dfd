#include "sdk/Utf8.h"

#include <optional>
#include <stdexcept>
#include <utility>

#include "sdk/Utf8Codec.h"

namespace gmpi_sdk {

std::wstring wideFromUtf8(std::string_view utf8) {
    std::optional<std::wstring> wide = utf8::decodeText(utf8, utf8::OnInvalid::Refuse);
    if (!wide)
        throw std::range_error("wstring_convert: from_bytes error");
    return std::move(*wide);
}

std::string utf8FromWide(std::wstring_view wide) {
    std::optional<std::string> out = utf8::encodeText(wide, utf8::OnInvalid::Refuse);
    if (!out)
        throw std::range_error("wstring_convert: to_bytes error");
    return std::move(*out);
}

} // namespace gmpi_sdk

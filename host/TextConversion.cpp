#include "host/TextConversion.h"

#include <optional>
#include <stdexcept>
#include <utility>

#include "sdk/Utf8Codec.h"

namespace zr::host {

using gmpi_sdk::utf8::OnInvalid;

std::wstring wideFromUtf8(std::string_view utf8) {
    std::size_t invalidAt = 0;
    std::optional<std::wstring> wide = gmpi_sdk::utf8::decodeText(utf8, OnInvalid::Refuse, &invalidAt);
    if (!wide)
        throw std::invalid_argument("malformed UTF-8 at byte " + std::to_string(invalidAt));
    return std::move(*wide);
}

std::string utf8FromWide(std::wstring_view wide) {
    // Replace always gives a text.
    return std::move(*gmpi_sdk::utf8::encodeText(wide, OnInvalid::Replace));
}

} // namespace zr::host

#pragma once
// UTF-8 <-> wide text (one wide character per code point, up to U+10FFFF) for GUI text pins.
// Both throw std::range_error on text they cannot convert: a malformed, truncated, overlong or
// surrogate UTF-8 sequence ("wstring_convert: from_bytes error"), or a character beyond
// U+10FFFF or a surrogate ("wstring_convert: to_bytes error"). Callers that the host reaches
// catch it.

#include <string>
#include <string_view>

namespace gmpi_sdk {

std::wstring wideFromUtf8(std::string_view utf8);
std::string utf8FromWide(std::wstring_view wide);

} // namespace gmpi_sdk

#pragma once
// UTF-8 <-> wide text for descriptions (UTF-8 JSON) and messages. Text pins carry 32-bit
// wide characters, one code point each.

#include <string>
#include <string_view>

namespace zr::host {

// Throws std::invalid_argument on malformed UTF-8.
std::wstring wideFromUtf8(std::string_view utf8);

// Code points that cannot be encoded (surrogates, beyond U+10FFFF) become U+FFFD.
std::string utf8FromWide(std::wstring_view wide);

} // namespace zr::host

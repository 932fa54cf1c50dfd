#pragma once
// UTF-8 encoding of wide texts for file-system paths. No exceptions: a character that has no
// UTF-8 form (a surrogate, or beyond U+10FFFF) makes the conversion fail.

#include <optional>
#include <string>

namespace zr {

std::optional<std::string> toUtf8(std::wstring const& text);

} // namespace zr

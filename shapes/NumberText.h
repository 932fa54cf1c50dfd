#pragma once
// Reading numbers out of shape texts and writing them in, with the "C" rules, whatever locale
// the host process has set: under a decimal-comma locale "2.5" would otherwise read as 2 and a
// stored shape would come back changed. The process locale is never touched.

#include <string>

namespace zr {

// Appends `value` with `significantDigits` significant digits as a stream in the classic locale
// at that precision writes it (printf's %g): "0.33333334", "5e-09", "-0". Allocates only when
// `text` lacks room for the digits.
void appendNumber(std::wstring& text, float value, int significantDigits);

// The longest number prefix at `field` (blanks before it skipped); 0 when there is none.
// `field` must lead to a terminator: the reader runs until a non-number character.
float readNumber(wchar_t const* field);

// The C library's base-16 reading of `text` as an unsigned long (blanks, a sign and 0x
// before the digits; 0 without digits), with the blanks of the "C" rules only.
unsigned long readHexNumber(wchar_t const* text);

} // namespace zr

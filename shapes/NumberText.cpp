#include "shapes/NumberText.h"

#include <array>
#include <charconv>
#include <cwchar>
#include <locale.h>

namespace zr {

namespace {

locale_t numberLocale() {
    static locale_t const locale = newlocale(LC_ALL_MASK, "C", locale_t{});
    return locale;
}

// Created while the library loads, so that no parse on the audio thread pays for it.
[[maybe_unused]] locale_t const numberLocaleAtLoad = numberLocale();

} // namespace

void appendNumber(std::wstring& text, float value, int significantDigits) {
    std::array<char, 32> digits{};
    char const* const end = std::to_chars(digits.data(), digits.data() + digits.size(), value,
                                          std::chars_format::general, significantDigits).ptr;
    // Character by character: a text with room enough takes the digits without allocating.
    for (char const* digit = digits.data(); digit != end; ++digit)
        text += static_cast<wchar_t>(*digit);
}

float readNumber(wchar_t const* field) {
    locale_t const locale = numberLocale();
    return locale != locale_t{} ? wcstof_l(field, nullptr, locale) : std::wcstof(field, nullptr);
}

unsigned long readHexNumber(wchar_t const* text) {
    locale_t const locale = numberLocale();
    return locale != locale_t{} ? wcstoul_l(text, nullptr, 16, locale) : std::wcstoul(text, nullptr, 16);
}

} // namespace zr

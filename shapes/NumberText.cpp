#include "shapes/NumberText.h"

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

float readNumber(wchar_t const* field) {
    locale_t const locale = numberLocale();
    return locale != locale_t{} ? wcstof_l(field, nullptr, locale) : std::wcstof(field, nullptr);
}

unsigned long readHexNumber(wchar_t const* text) {
    locale_t const locale = numberLocale();
    return locale != locale_t{} ? wcstoul_l(text, nullptr, 16, locale) : std::wcstoul(text, nullptr, 16);
}

} // namespace zr

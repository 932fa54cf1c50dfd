// The UTF-8 codec's two policies on both directions: what a refused text reports and what a
// replaced one holds. The front ends (GUI pins, host messages, file paths) only pick one; the
// GUI pins' converters, which throw on what the codec refuses, are checked on the same rows.

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>

#include "sdk/Utf8.h"
#include "sdk/Utf8Codec.h"

namespace {

using gmpi_sdk::utf8::OnInvalid;

struct DecodeCase {
    char const* name;
    std::string utf8;
    std::wstring replaced;                 // the text under Replace
    std::optional<std::size_t> refusedAt;  // the offset Refuse reports; nothing for a valid text
};

TEST(Utf8Codec, DecodingRefusesAtTheFirstInvalidSequenceOrReplacesEachRefusedByte) {
    DecodeCase const cases[] = {
        {"valid", "a\xC3\xA9\xF0\x9F\x98\x80", L"a\u00e9\U0001F600", std::nullopt},
        {"truncated at the end", "ab\xC3", L"ab\uFFFD", 2},
        {"overlong", "\xC0\xAFz", L"\uFFFD\uFFFDz", 0},
        {"surrogate", "x\xED\xA0\x80", L"x\uFFFD\uFFFD\uFFFD", 1},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD", 0},
        {"stray continuation", "\xE2\x82\xAC\x80", L"\u20ac\uFFFD", 3},
        {"a lone lead byte", "\xC3", L"\uFFFD", 0},       {"a lone continuation", "\x80", L"\uFFFD", 0},
        {"overlong alone", "\xC0\xAF", L"\uFFFD\uFFFD", 0}, {"surrogate alone", "\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD", 0},
        {"three-byte form cut short", "\xE2\x82", L"\uFFFD\uFFFD", 0},
        {"a byte no sequence starts with", "a\xFF", L"a\uFFFD", 1},
    };
    for (DecodeCase const& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(gmpi_sdk::utf8::decodeText(c.utf8, OnInvalid::Replace), c.replaced);
        std::size_t invalidAt = 12345;
        std::optional<std::wstring> const refused = gmpi_sdk::utf8::decodeText(c.utf8, OnInvalid::Refuse, &invalidAt);
        if (c.refusedAt) {
            EXPECT_FALSE(refused.has_value());
            EXPECT_EQ(invalidAt, *c.refusedAt);
            EXPECT_THROW(gmpi_sdk::wideFromUtf8(c.utf8), std::range_error);
        } else {
            EXPECT_EQ(gmpi_sdk::wideFromUtf8(c.utf8), c.replaced);
            EXPECT_EQ(refused, c.replaced);
            EXPECT_EQ(invalidAt, 12345u) << "a valid text leaves the offset alone";
        }
    }
}

TEST(Utf8Codec, EncodingRefusesOrReplacesLoneSurrogatesAndValuesBeyondUnicode) {
    std::wstring const valid = L"A\u00e9\u20ac\U0010FFFF";
    std::string const encoded = "A\xC3\xA9\xE2\x82\xAC\xF4\x8F\xBF\xBF";
    EXPECT_EQ(gmpi_sdk::utf8::encodeText(valid, OnInvalid::Refuse), encoded);
    EXPECT_EQ(gmpi_sdk::utf8::encodeText(valid, OnInvalid::Replace), encoded);
    EXPECT_EQ(gmpi_sdk::utf8FromWide(valid), encoded);
    EXPECT_EQ(gmpi_sdk::wideFromUtf8(encoded), valid);
    for (char32_t const bad : {char32_t{0xD800}, char32_t{0xDFFF}, char32_t{0x110000}}) {
        SCOPED_TRACE(static_cast<unsigned>(bad));
        std::wstring const text = L"a" + std::wstring(1, static_cast<wchar_t>(bad)) + L"b";
        EXPECT_FALSE(gmpi_sdk::utf8::encodeText(text, OnInvalid::Refuse).has_value());
        EXPECT_EQ(gmpi_sdk::utf8::encodeText(text, OnInvalid::Replace), "a\xEF\xBF\xBD" "b");
        EXPECT_THROW(gmpi_sdk::utf8FromWide(text), std::range_error);
    }
}

} // namespace

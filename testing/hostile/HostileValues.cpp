#include "testing/hostile/HostileValues.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "shapes/NumberText.h"

namespace zr::hostile {
namespace {

using limits = std::numeric_limits<float>;

constexpr std::array kFiniteHostile = {
    limits::max(),        -limits::max(),        limits::denorm_min(), -limits::denorm_min(),
    limits::min() * 0.5f, -limits::min() * 0.5f, limits::min(),        -limits::min(),
    0.0f,                 -0.0f,                 1e-38f,               3e38f,
    -3e38f,               16777217.0f,           -5.0f,                5.0f,
};

std::array<float, 5> const kNonFinite = {
    limits::quiet_NaN(),
    -limits::quiet_NaN(),
    std::bit_cast<float>(0x7FA00001u), // signalling NaN with a payload
    limits::infinity(),
    -limits::infinity(),
};

constexpr std::array<int32_t, 22> kHostileInts = {
    0,  10, 20, 30,  15,  -1,  1,   2,   3,   9,          11,
    31, 99, 100, 101, 127, 128, 255, 4096, -10, INT32_MIN, INT32_MAX,
};

// Whether every number read as a text starts finite. A read from a blank gives what the read
// from the first character after the blanks gives, and a number starts only with a sign, a
// digit, a point, or the "inf" and "nan" words, so reads start only there.
bool textNumbersFinite(std::span<uint8_t const> bytes) {
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    if (!text.empty())
        std::memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
    static constexpr std::wstring_view kNumberStarts = L"+-.0123456789iInN";
    for (std::size_t at = 0; at < text.size(); ++at)
        if (kNumberStarts.find(text[at]) != std::wstring_view::npos && !std::isfinite(zr::readNumber(text.c_str() + at)))
            return false;
    return true;
}

} // namespace

std::span<float const> finiteHostileFloats() { return kFiniteHostile; }
std::span<float const> nonFiniteFloats() { return kNonFinite; }
std::span<int32_t const> hostileInts() { return kHostileInts; }

float chooseFloat(Choices& choices, bool allowNonFinite) {
    switch (choices.below(8)) {
    case 0:
    case 1:
    case 2:
    case 3:
        // Ordinary volts, a little beyond the -10..+10 V any pin expects.
        return static_cast<float>(static_cast<int32_t>(choices.below(24001)) - 12000) * 0.001f;
    case 4:
    case 5:
        return choices.pick(finiteHostileFloats());
    case 6: {
        float const any = choices.anyFloat();
        return allowNonFinite || std::isfinite(any) ? any : choices.pick(finiteHostileFloats());
    }
    default:
        return allowNonFinite ? choices.pick(nonFiniteFloats()) : choices.pick(finiteHostileFloats());
    }
}

int32_t chooseInt(Choices& choices) {
    return choices.oneIn(4) ? static_cast<int32_t>(choices.bits()) : choices.pick(hostileInts());
}

bool onlyFiniteWords(std::span<uint8_t const> bytes) {
    for (std::size_t offset = 0; offset + sizeof(float) <= bytes.size(); offset += sizeof(float)) {
        float word;
        std::memcpy(&word, bytes.data() + offset, sizeof word);
        if (!std::isfinite(word))
            return false;
    }
    return true;
}

bool holdsOnlyFiniteNumbers(std::span<uint8_t const> bytes) { return onlyFiniteWords(bytes) && textNumbersFinite(bytes); }

} // namespace zr::hostile

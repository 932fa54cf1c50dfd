#pragma once
// 2^e without a library power function: a degree-7 polynomial for the fraction, and the
// integer part added straight to the exponent field. Pitch-to-frequency conversion relies on
// these exact single-precision results.

#include <bit>
#include <cstdint>

namespace zr {

// For e in -127..128 (the caller clamps): 2^-127 comes out as 0 and 2^128 as +inf.
inline float fastExp2(float e) {
    auto whole = static_cast<int32_t>(e); // toward zero
    float fraction = e - static_cast<float>(whole);
    if (fraction < 0.0f) {
        fraction += 1.0f;
        whole -= 1;
    }
    float p = 2.16324e-5f * fraction + 0.0001429277f;
    p = p * fraction + 0.0013432892f;
    p = p * fraction + 0.009613149f;
    p = p * fraction + 0.055505503f;
    p = p * fraction + 0.24022631f;
    p = p * fraction + 0.6931472f;
    p = p * fraction + 1.0f;
    uint32_t const bits = std::bit_cast<uint32_t>(p) + (static_cast<uint32_t>(whole) << 23);
    return std::bit_cast<float>(bits);
}

} // namespace zr

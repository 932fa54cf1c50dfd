// The colour-conversion table of the drawing side, built once while the bundle loads.

#include <array>
#include <cmath>

#include "sdk/Drawing.h"

namespace GmpiDrawing {
namespace {

// Entry i: the linear-light value of the sRGB value i / 255 (entry 0 is 0).
std::array<float, 256> buildSrgbToLinear() {
    std::array<float, 256> table{};
    for (int i = 1; i < 256; ++i) {
        double const c = i / 255.0;
        table[i] = static_cast<float>(c <= 0.0404482362771082 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
    }
    return table;
}

std::array<float, 256> const srgbToLinear = buildSrgbToLinear();

} // namespace

float linearFromSrgb8(uint8_t srgb) { return srgbToLinear[srgb]; }

} // namespace GmpiDrawing

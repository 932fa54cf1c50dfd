// Fuzz target: the lenient parser of the older modules (parseNodes). The first byte picks the
// rectangle the nodes are mapped into; the rest are the text's characters, one byte each.
// Oracle: the result is 0 or 2..100. An accepted text gives finite nodes inside the
// rectangle, the first at its left edge and the last at its right edge, x never decreasing (strictly in volts, but the
// mapping may round neighbours together), and the nodes beyond the result untouched. A
// refused text leaves the whole node array as it was.

#include <cmath>
#include <cstring>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "shapes/LegacyParser.h"

namespace {

struct Rectangle {
    float xMin, xMax, yMin, yMax;
};

// The rectangles the older modules use: volts, unit tables, and a 4096-entry table.
constexpr Rectangle kRectangles[] = {
    {-5.0f, 5.0f, -5.0f, 5.0f}, {0.0f, 1.0f, -1.0f, 1.0f}, {0.0f, 4095.0f, -1.0f, 1.0f}, {0.0f, 1.0f, 1.0f, -1.0f}};

// Within the rectangle, allowing for the rounding of the mapping at its far edge.
bool inside(float value, float a, float b) {
    float const slack = (std::fabs(a) + std::fabs(b)) * 1e-6f;
    return value >= std::fmin(a, b) - slack && value <= std::fmax(a, b) + slack;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, std::size_t size) {
    if (size == 0 || size > 1u << 16)
        return 0;
    Rectangle const r = kRectangles[data[0] % std::size(kRectangles)];
    std::wstring const text(data + 1, data + size);

    zr::Node out[zr::shapes::kMaxLegacyNodes];
    for (int32_t i = 0; i < zr::shapes::kMaxLegacyNodes; ++i)
        out[i] = {static_cast<float>(i) * 7.0f, -static_cast<float>(i)}; // recognisable stale values
    zr::Node before[zr::shapes::kMaxLegacyNodes];
    std::memcpy(before, out, sizeof out);

    int32_t const count = zr::shapes::parseNodes(text, r.xMin, r.xMax, r.yMin, r.yMax, out);
    FUZZ_CHECK(count == 0 || (count >= 2 && count <= zr::shapes::kMaxLegacyNodes), "count " + std::to_string(count));
    FUZZ_CHECK(std::memcmp(out + count, before + count, (zr::shapes::kMaxLegacyNodes - count) * sizeof(zr::Node)) == 0,
               "nodes beyond the result of \"" + zr::fuzz::narrow(text) + "\" changed");
    if (count == 0)
        return 0;
    FUZZ_CHECK(out[0].x == r.xMin, zr::fuzz::nodeText(out, 0));
    FUZZ_CHECK(inside(out[count - 1].x, r.xMax, r.xMax), zr::fuzz::nodeText(out, count - 1) + " is not at the right edge");
    for (int32_t i = 0; i < count; ++i) {
        FUZZ_CHECK(std::isfinite(out[i].x) && std::isfinite(out[i].y), zr::fuzz::nodeText(out, i));
        FUZZ_CHECK(inside(out[i].x, r.xMin, r.xMax) && inside(out[i].y, r.yMin, r.yMax), zr::fuzz::nodeText(out, i));
        FUZZ_CHECK(i == 0 || out[i].x >= out[i - 1].x, zr::fuzz::nodeText(out, i) + " is left of the node before");
    }
    return 0;
}

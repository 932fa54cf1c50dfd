// Fuzz target: render() over arbitrary accepted images. Bytes 0-3 pick two table sizes in
// 8..8192 (the second for a resize; bit 15 set: the whole range, else up to 1024), byte 4
// the mode (the four modes, or a value no pin would store, as a record written by hand may
// hold); the rest are the nodes of an image that the blob reader accepts whatever the values.
// Oracle: the table is exactly N + 1 entries, so AddressSanitizer sees any write past the
// guard entry N; render() returns; a table below 16 entries and an unknown mode write
// nothing; otherwise every entry 0..N-1 is finite, the last one is the last node's y (in
// the three curve modes, when that y is finite) and, for a shape that keeps the node rules,
// every entry 0..N-1 is written. A second render without a change does nothing; in-order
// reads give the table, then 0.

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "testing/hostile/ShapeRules.h"
#include "shapes/Interpolator.h"

namespace {

// A finite value no renderer computes for these inputs (about -4.1e29 with a payload-like
// mantissa); finite, so that it is told apart from what the renderers write.
constexpr uint32_t kMarkerBits = 0xF0A5A5A5u;
constexpr int32_t kSmallestSize = 8, kLargestSize = 8192;

bool isMarker(float value) { return std::bit_cast<uint32_t>(value) == kMarkerBits; }

// Half the inputs take a size up to 1024, so that most executions are quick; the other
// half range over the whole 8..8192.
int32_t tableSize(uint8_t const* bytes) {
    int32_t const raw = bytes[0] | bytes[1] << 8;
    int32_t const largest = (raw & 0x8000) != 0 ? kLargestSize : 1024;
    return kSmallestSize + (raw & 0x7FFF) % (largest - kSmallestSize + 1);
}

int32_t chooseMode(uint8_t byte) {
    constexpr std::array<int32_t, 8> modes = {zr::None, zr::Linear, zr::VarekSpline, zr::NaturalSpline,
                                              zr::Linear, zr::VarekSpline, zr::NaturalSpline, 15};
    return modes[byte % modes.size()];
}

std::vector<uint8_t> acceptedImage(uint8_t const* nodeBytes, std::size_t size) {
    int32_t const count = std::clamp(static_cast<int32_t>(size / 8), 2, 100);
    std::vector<uint8_t> image(8 + 8 * static_cast<std::size_t>(count), 0);
    uint32_t const magic = zr::Shape::kMagic;
    std::memcpy(image.data(), &magic, 4);
    std::memcpy(image.data() + 4, &count, 4);
    std::memcpy(image.data() + 8, nodeBytes, std::min(size, image.size() - 8));
    return image;
}

void renderAndCheck(zr::Shape::Interpolator& interpolator, int32_t size, int32_t mode) {
    std::string const where = " (table " + std::to_string(size) + ", mode " + std::to_string(mode) + ")";
    // Exact capacity, so that AddressSanitizer reports a write past the guard entry.
    interpolator.table.shrink_to_fit();
    FUZZ_CHECK(interpolator.table.size() == static_cast<std::size_t>(size) + 1, "table size" + where);
    std::fill(interpolator.table.begin(), interpolator.table.end(), std::bit_cast<float>(kMarkerBits));

    FUZZ_CHECK(interpolator.render(), "a first render did nothing" + where);
    FUZZ_CHECK(interpolator.table.size() == static_cast<std::size_t>(size) + 1, "render resized the table" + where);
    std::vector<float> const& table = interpolator.table;
    auto const entries = static_cast<std::size_t>(size);
    bool const unknownMode = !zr::isValidInterpolation(mode);
    if (size < 16 || unknownMode) {
        FUZZ_CHECK(interpolator.renderedSize == (size < 16 ? 0 : size), "rendered size" + where);
        for (float entry : table)
            FUZZ_CHECK(isMarker(entry), "an entry was written" + where);
        return;
    }
    FUZZ_CHECK(interpolator.renderedSize == size, "rendered size" + where);
    zr::Shape const& shape = interpolator.shape;
    float const lastY = shape.nodes[shape.nodeCount - 1].y;
    if (mode != zr::None && std::isfinite(lastY))
        FUZZ_CHECK(std::bit_cast<uint32_t>(table[entries - 1]) == std::bit_cast<uint32_t>(lastY),
                   "the last entry is not the last node's y" + where);
    bool const valid = zr::hostile::keepsNodeRules(shape);
    for (std::size_t k = 0; k < entries; ++k) {
        FUZZ_CHECK(std::isfinite(table[k]), "entry " + std::to_string(k) + " is not finite" + where);
        FUZZ_CHECK(!valid || !isMarker(table[k]), "entry " + std::to_string(k) + " of a valid shape was not written" + where);
    }

    std::vector<float> const rendered = table;
    FUZZ_CHECK(!interpolator.render(), "a second render without a change rendered" + where);
    FUZZ_CHECK(std::memcmp(rendered.data(), table.data(), table.size() * sizeof(float)) == 0,
               "a second render changed the table" + where);
    for (std::size_t k = 0; k < entries; ++k) {
        float const next = interpolator.readNext();
        FUZZ_CHECK(std::bit_cast<uint32_t>(next) == std::bit_cast<uint32_t>(table[k]), "in-order read" + where);
    }
    FUZZ_CHECK(interpolator.readNext() == 0.0f, "a read past the table is not 0" + where);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, std::size_t size) {
    if (size < 5 || size > 4096)
        return 0;
    int32_t const firstSize = tableSize(data);
    int32_t const secondSize = tableSize(data + 2);
    int32_t const mode = chooseMode(data[4]);
    std::vector<uint8_t> const image = acceptedImage(data + 5, size - 5);

    zr::Shape::Interpolator interpolator(firstSize);
    interpolator.shape.readBlob(image.data(), static_cast<int32_t>(image.size()));
    FUZZ_CHECK(interpolator.shape.invalid == 0, "the blob reader rejected a well-formed image");
    interpolator.shape.interpolation = mode; // a hand-written record may hold any value
    renderAndCheck(interpolator, firstSize, mode);

    interpolator.setTableSize(secondSize);
    interpolator.shape.changed = 1; // new input, so that the same size renders again too
    renderAndCheck(interpolator, secondSize, mode);
    return 0;
}

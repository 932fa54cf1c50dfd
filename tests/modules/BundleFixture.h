#pragma once
// The built bundle and its module descriptions, loaded once for all module tests, and the
// helpers the tests use to make and read shape images in the wire format.

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/AudioModule.h"
#include "testing/BuiltBundle.h"

namespace zr::test {

using built::bundle;
using built::descriptions;
using built::makeModule;
using built::running;
using built::shapeImage;

inline constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
inline constexpr float kInf = std::numeric_limits<float>::infinity();

// The flat default shape and the rising ramp, as node pairs with x 0..1 and y -1..1.
inline std::vector<std::pair<float, float>> const kFlat = {{0.0f, 0.0f}, {1.0f, 0.0f}};
inline std::vector<std::pair<float, float>> const kRamp = {{0.0f, -1.0f}, {1.0f, 1.0f}};

// A runner for `id` whose repeatable pin the host gives `copies` times, as a user who adds
// inputs does: makeModuleWithCopies(L"ZR_ShapeMorpher2", 5) has five shape inputs.
inline std::unique_ptr<host::AudioModule> makeModuleWithCopies(std::wstring const& id, int32_t copies,
                                                               host::AudioModuleOptions options = {}) {
    options.repeatedPins = copies;
    return makeModule(id, std::move(options));
}

// Magic, a node count of 2..100, and exactly 8 + 8 x count bytes.
inline bool isWellFormedImage(std::vector<uint8_t> const& image) {
    if (image.size() < 24 || image.size() > 808 || image.size() % 8 != 0)
        return false;
    uint32_t magic = 0;
    int32_t count = 0;
    std::memcpy(&magic, image.data(), 4);
    std::memcpy(&count, image.data() + 4, 4);
    return magic == 0x53484150 && count == static_cast<int32_t>((image.size() - 8) / 8);
}

// The nodes of an image, read back as shapeImage writes them.
inline std::vector<std::pair<float, float>> nodesOf(std::vector<uint8_t> const& image) {
    std::vector<std::pair<float, float>> nodes(image.size() < 8 ? 0 : (image.size() - 8) / 8);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        std::memcpy(&nodes[i].first, image.data() + 8 + 8 * i, 4);
        std::memcpy(&nodes[i].second, image.data() + 12 + 8 * i, 4);
    }
    return nodes;
}

} // namespace zr::test

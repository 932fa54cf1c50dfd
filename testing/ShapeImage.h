#pragma once
// Shape images written in the wire format independently of the shape core, so that tests of
// the core and of the bundle check its reader against a writer of their own.

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace zr::built {

// The blob image of nodes given in normalised coordinates (x 0..1, y -1..+1): magic, count,
// then the nodes as float pairs.
inline std::vector<uint8_t> shapeImage(std::vector<std::pair<float, float>> const& nodes) {
    std::vector<uint8_t> image(8 + 8 * nodes.size());
    uint32_t const magic = 0x53484150;
    auto const count = static_cast<int32_t>(nodes.size());
    std::memcpy(image.data(), &magic, 4);
    std::memcpy(image.data() + 4, &count, 4);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        std::memcpy(image.data() + 8 + 8 * i, &nodes[i].first, 4);
        std::memcpy(image.data() + 12 + 8 * i, &nodes[i].second, 4);
    }
    return image;
}

} // namespace zr::built

#pragma once
// Helpers shared by the shape core tests and the engine tests that render shapes.

#include "shapes/Shape.h"
#include "testing/ShapeImage.h"
#include "tests/shapes/RandomShapes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

namespace zr::test {

inline constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
inline constexpr float kInf = std::numeric_limits<float>::infinity();

// Plain (x, y) pairs as shape nodes.
inline std::vector<Node> nodesOf(NodePairs const& pairs) {
    std::vector<Node> nodes;
    for (auto const& [x, y] : pairs)
        nodes.push_back({x, y});
    return nodes;
}

// A record holding `nodes` and `mode`, with `changed` cleared as an owner would leave it.
inline Shape shapeWith(std::vector<Node> const& nodes, int32_t mode = Linear) {
    Shape shape;
    shape.assignNodes(nodes.data(), static_cast<int32_t>(nodes.size()));
    shape.setInterpolation(mode);
    shape.changed = 0;
    return shape;
}

// The bytes of a blob image of `nodes`, written as testing/ShapeImage.h writes them; a given
// `count` or `magic` replaces the one written, for images the reader must refuse.
inline std::vector<unsigned char> blobImage(std::vector<Node> const& nodes, std::optional<int32_t> count = {},
                                            std::optional<uint32_t> magic = {}) {
    std::vector<std::pair<float, float>> pairs;
    for (Node const& node : nodes)
        pairs.emplace_back(node.x, node.y);
    std::vector<unsigned char> bytes = built::shapeImage(pairs);
    if (magic)
        std::memcpy(bytes.data(), &*magic, 4);
    if (count)
        std::memcpy(bytes.data() + 4, &*count, 4);
    return bytes;
}

// Node bytes compared exactly, so that -0, NaN and stale entries all count.
inline void expectNodes(Shape const& shape, std::vector<Node> const& expected) {
    ASSERT_EQ(shape.nodeCount, static_cast<int32_t>(expected.size()));
    EXPECT_EQ(std::memcmp(shape.nodes, expected.data(), expected.size() * sizeof(Node)), 0) << "node bytes differ";
}

// Everything that a rejected input must leave exactly as it was (flags aside from `invalid`).
inline void expectSameCurve(Shape const& actual, Shape const& expected) {
    EXPECT_EQ(actual.changed, expected.changed);
    EXPECT_EQ(actual.interpolation, expected.interpolation);
    EXPECT_EQ(actual.magic, expected.magic);
    EXPECT_EQ(std::memcmp(actual.nodes, expected.nodes, sizeof actual.nodes), 0) << "node bytes differ";
    EXPECT_EQ(actual.nodeCount, expected.nodeCount);
}

} // namespace zr::test

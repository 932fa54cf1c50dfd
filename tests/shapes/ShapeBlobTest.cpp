#include "ShapeTestSupport.h"

#include <climits>
#include <cstring>
#include <limits>

namespace {

using zr::Node;
using zr::Shape;
using zr::test::blobImage;
using zr::test::expectNodes;
using zr::test::expectSameCurve;
using zr::test::shapeWith;

std::vector<Node> evenNodes(int32_t count) {
    std::vector<Node> nodes;
    for (int32_t i = 0; i < count; ++i)
        nodes.push_back({static_cast<float>(i) / static_cast<float>(count - 1), 0.25f});
    return nodes;
}

std::vector<unsigned char> withSize(std::vector<unsigned char> bytes, std::size_t size) {
    bytes.resize(size, 0);
    return bytes;
}

// Every header check on its own; a rejected image keeps nodes, count, mode and `changed`.
TEST(ShapeBlob, AcceptsOnlyWellFormedImages) {
    uint32_t const swappedMagic = 0x50414853;
    struct Case {
        char const* name;
        std::vector<unsigned char> bytes;
        bool accepted;
    };
    Case const cases[] = {
        {"2 nodes, 24 bytes", blobImage(evenNodes(2)), true},
        {"3 nodes, 32 bytes", blobImage(evenNodes(3)), true},
        {"100 nodes, 808 bytes", blobImage(evenNodes(100)), true},
        {"1 node, 16 bytes", blobImage(evenNodes(1)), false},
        {"101 nodes, 816 bytes", blobImage(evenNodes(101)), false},
        {"header only", blobImage(Shape::kMagic, 0, {}), false},
        {"count 2 in 32 bytes", blobImage(Shape::kMagic, 2, evenNodes(3)), false},
        {"count 3 in 24 bytes", blobImage(Shape::kMagic, 3, evenNodes(2)), false},
        {"28 bytes", withSize(blobImage(Shape::kMagic, 2, evenNodes(2)), 28), false},
        {"count -1", blobImage(Shape::kMagic, -1, evenNodes(2)), false},
        {"magic in the other byte order", blobImage(swappedMagic, 2, evenNodes(2)), false},
        {"magic zero", blobImage(0, 2, evenNodes(2)), false},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        Shape shape = shapeWith({{0.0f, 0.1f}, {0.3f, 0.7f}, {0.6f, -0.2f}, {1.0f, 0.4f}}, zr::VarekSpline);
        Shape const before = shape;
        bool const changed = shape.readBlob(c.bytes.data(), static_cast<int32_t>(c.bytes.size()));
        EXPECT_EQ(shape.invalid, c.accepted ? 0 : 1);
        if (c.accepted) {
            EXPECT_TRUE(changed);
            EXPECT_EQ(shape.changed, 1);
            EXPECT_EQ(shape.blobSize(), static_cast<int32_t>(c.bytes.size()));
            EXPECT_EQ(std::memcmp(shape.blobData(), c.bytes.data(), c.bytes.size()), 0);
        } else {
            EXPECT_FALSE(changed);
            expectSameCurve(shape, before);
        }
    }
}

TEST(ShapeBlob, RejectsSizesAndPointersThatCannotHoldAnImage) {
    std::vector<unsigned char> const image = blobImage(evenNodes(2));
    struct Case {
        char const* name;
        void const* data;
        int32_t size;
    };
    Case const cases[] = {
        {"null data", nullptr, 24}, {"size 0", image.data(), 0}, {"negative size", image.data(), -24},
        {"size below the image", image.data(), 8}, {"most negative size", image.data(), INT32_MIN},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        Shape shape;
        Shape const before = shape;
        EXPECT_FALSE(shape.readBlob(c.data, c.size));
        EXPECT_EQ(shape.invalid, 1);
        expectSameCurve(shape, before);
    }
}

// Host buffers and text pin storage need not be aligned for the header's 32-bit fields.
TEST(ShapeBlob, ReadsAnImageAtAnOddAddress) {
    std::vector<Node> const nodes = {{0.0f, -1.0f}, {0.4f, 0.5f}, {1.0f, 1.0f}};
    std::vector<unsigned char> const image = blobImage(nodes);
    std::vector<unsigned char> buffer(image.size() + 1);
    std::memcpy(buffer.data() + 1, image.data(), image.size());
    Shape shape;
    EXPECT_TRUE(shape.readBlob(buffer.data() + 1, static_cast<int32_t>(image.size())));
    EXPECT_EQ(shape.invalid, 0);
    expectNodes(shape, nodes);
}

TEST(ShapeBlob, ReportsAChangeOnlyWhenANodeDiffers) {
    float const nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<Node> const stored = {{0.0f, 0.0f}, {0.5f, 0.5f}, {1.0f, 0.0f}};
    struct Case {
        char const* name;
        std::vector<Node> image;
        bool changes;
    };
    Case const cases[] = {
        {"same nodes", stored, false},
        {"negative zeros", {{-0.0f, -0.0f}, {0.5f, 0.5f}, {1.0f, -0.0f}}, false},
        {"y 0.5 becomes -0.5", {{0.0f, 0.0f}, {0.5f, -0.5f}, {1.0f, 0.0f}}, true},
        {"NaN y", {{0.0f, 0.0f}, {0.5f, nan}, {1.0f, 0.0f}}, true},
        {"different count", {{0.0f, 0.0f}, {1.0f, 0.0f}}, true},
        // The reader trusts the producer: node values are never checked.
        {"unordered x, first x not 0", {{0.3f, 0.0f}, {0.9f, 0.5f}, {0.2f, 0.0f}}, true},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        Shape shape = shapeWith(stored);
        shape.invalid = 1;
        std::vector<unsigned char> const image = blobImage(c.image);
        EXPECT_EQ(shape.readBlob(image.data(), static_cast<int32_t>(image.size())), c.changes);
        EXPECT_EQ(shape.invalid, 0);
        EXPECT_EQ(shape.changed, c.changes ? 1 : 0);
        ASSERT_EQ(shape.nodeCount, static_cast<int32_t>(c.image.size()));
        EXPECT_EQ(std::memcmp(shape.nodes, c.image.data(), c.image.size() * sizeof(Node)), 0);
    }
}

} // namespace

#include "ShapeTestSupport.h"

#include <climits>
#include <cstring>
#include <new>
#include <optional>

namespace {

using zr::Node;
using zr::Shape;
using zr::test::blobImage;
using zr::test::expectNodes;
using zr::test::shapeWith;

// Modules compare and send these bytes, so none may be left uninitialised. The constructor
// given a rejected or null text leaves the same record, flagged invalid.
TEST(ShapeRecord, DefaultRecordHasExactBytes) {
    unsigned char const header[] = {
        0x00, 0x00, 0x00, 0x00, 0x0A, 0x00, 0x00, 0x00, // changed, invalid, padding; mode 10
        0x50, 0x41, 0x48, 0x53, 0x02, 0x00, 0x00, 0x00, // magic, two nodes
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, // (0, 0)
        0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x00, // (1, 0)
    };
    unsigned char expected[sizeof(Shape)] = {};
    std::memcpy(expected, header, sizeof header);
    alignas(Shape) unsigned char storage[sizeof(Shape)];
    std::memset(storage, 0xA5, sizeof storage);
    Shape* shape = new (storage) Shape();
    EXPECT_EQ(std::memcmp(shape, expected, sizeof(Shape)), 0);
    EXPECT_EQ(shape->blobSize(), 24);
    EXPECT_EQ(std::memcmp(shape->blobData(), header + 8, 24), 0);

    expected[1] = 1;
    for (wchar_t const* rejected : {L"(-5,0)", static_cast<wchar_t const*>(nullptr)}) {
        std::memset(storage, 0xA5, sizeof storage);
        EXPECT_EQ(std::memcmp(new (storage) Shape(rejected), expected, sizeof(Shape)), 0);
    }
    Shape const rising(L"(-5,-5)(5,5)");
    EXPECT_EQ(rising.changed, 0);
    expectNodes(rising, {{0.0f, -1.0f}, {1.0f, 1.0f}});
}

// Every header check on its own; a rejected image keeps nodes, count, mode and `changed`.
// Images are read at an odd address: host buffers need not be aligned for the header fields.
TEST(ShapeRecord, BlobReaderAcceptsOnlyWellFormedImages) {
    struct Case {
        char const* name;
        std::vector<unsigned char> bytes;
        bool accepted;
        std::optional<int32_t> size = {}; // when not the size of `bytes`
        bool nullData = false;
    };
    auto const nodes = [](int32_t count) { return std::vector<Node>(std::size_t(count), Node{0.5f, 0.25f}); };
    std::vector<unsigned char> const two = blobImage(nodes(2));
    Case const cases[] = {
        {"2 nodes, 24 bytes", two, true},
        {"3 nodes, 32 bytes", blobImage(nodes(3)), true},
        {"100 nodes, 808 bytes", blobImage(nodes(100)), true},
        {"1 node, 16 bytes", blobImage(nodes(1)), false},
        {"101 nodes, 816 bytes", blobImage(nodes(101)), false},
        {"header only", blobImage(Shape::kMagic, 0, {}), false},
        {"count 2 in 32 bytes", blobImage(Shape::kMagic, 2, nodes(3)), false},
        {"count 3 in 24 bytes", blobImage(Shape::kMagic, 3, nodes(2)), false},
        {"28 bytes", two, false, 28},
        {"count -1", blobImage(Shape::kMagic, -1, nodes(2)), false},
        {"magic in the other byte order", blobImage(0x50414853, 2, nodes(2)), false},
        {"magic zero", blobImage(0, 2, nodes(2)), false},
        {"null data", two, false, {}, true},
        {"size 0", two, false, 0},
        {"negative size", two, false, -24},
        {"most negative size", two, false, INT32_MIN},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<unsigned char> buffer(c.bytes.size() + 8, 0);
        std::memcpy(buffer.data() + 1, c.bytes.data(), c.bytes.size());
        int32_t const size = c.size.value_or(static_cast<int32_t>(c.bytes.size()));
        Shape shape = shapeWith({{0.0f, 0.1f}, {0.3f, 0.7f}, {0.6f, -0.2f}, {1.0f, 0.4f}}, zr::VarekSpline);
        Shape const before = shape;
        bool const changed = shape.readBlob(c.nullData ? nullptr : buffer.data() + 1, size);
        EXPECT_EQ(shape.invalid, c.accepted ? 0 : 1);
        EXPECT_EQ(changed, c.accepted);
        if (!c.accepted) {
            zr::test::expectSameCurve(shape, before);
            continue;
        }
        EXPECT_EQ(shape.changed, 1);
        EXPECT_EQ(shape.blobSize(), size);
        EXPECT_EQ(std::memcmp(shape.blobData(), c.bytes.data(), c.bytes.size()), 0);
    }
}

// Includes values that a bit-mask test without a range check would wrap onto a valid bit.
TEST(ShapeRecord, OnlyTheFourModesAreAccepted) {
    for (int32_t mode : {INT32_MIN, INT32_MIN + 10, -10, -1, 0, 1, 5, 10, 20, 30, 40, 42, 52, 62, 64, 74, INT32_MAX}) {
        SCOPED_TRACE(mode);
        bool const valid = mode == 0 || mode == 10 || mode == 20 || mode == 30;
        EXPECT_EQ(zr::isValidInterpolation(mode), valid);
        Shape shape; // mode 10
        EXPECT_EQ(shape.setInterpolation(mode), valid && mode != 10);
        EXPECT_EQ(shape.interpolation, valid ? mode : zr::Linear);
    }
}

// Counts outside the record are refused and leave it as it was.
TEST(ShapeRecord, AssignNodesRefusesCountsOutsideTheRecord) {
    std::vector<Node> const many(101, Node{0.5f, 0.5f});
    for (int32_t count : {1, 0, -3, 101}) {
        SCOPED_TRACE(count);
        Shape shape;
        EXPECT_FALSE(shape.assignNodes(many.data(), count));
        zr::test::expectSameCurve(shape, Shape());
    }
    EXPECT_FALSE(Shape().assignNodes(nullptr, 2));
}

} // namespace

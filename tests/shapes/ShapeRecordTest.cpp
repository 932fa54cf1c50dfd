#include "ShapeTestSupport.h"

#include <climits>
#include <cstring>
#include <limits>
#include <new>
#include <set>

namespace {

using zr::Node;
using zr::Shape;
using zr::test::expectNodes;
using zr::test::shapeWith;

// The whole default record, padding and unused nodes included: modules compare and send
// these bytes, so nothing may be left uninitialised.
TEST(ShapeRecord, DefaultRecordHasExactBytes) {
    unsigned char expected[sizeof(Shape)] = {};
    unsigned char const header[] = {
        0x00, 0x00, 0x00, 0x00,             // changed, invalid, padding
        0x0A, 0x00, 0x00, 0x00,             // interpolation 10
        0x50, 0x41, 0x48, 0x53,             // magic
        0x02, 0x00, 0x00, 0x00,             // two nodes
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, // (0, 0)
        0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x00, // (1, 0)
    };
    std::memcpy(expected, header, sizeof header);

    alignas(Shape) unsigned char storage[sizeof(Shape)];
    std::memset(storage, 0xA5, sizeof storage); // prove the constructor writes every byte
    Shape* shape = new (storage) Shape();
    EXPECT_EQ(std::memcmp(shape, expected, sizeof(Shape)), 0);
    EXPECT_EQ(std::memcmp(shape->blobData(), header + 8, 24), 0);
    EXPECT_EQ(shape->blobSize(), 24);
}

TEST(ShapeRecord, TextConstructorAppliesTextWithoutMarkingAChange) {
    Shape const rising(L"(-5,-5)(0,1)(5,5)");
    EXPECT_EQ(rising.changed, 0);
    EXPECT_EQ(rising.invalid, 0);
    EXPECT_EQ(rising.interpolation, zr::Linear);
    expectNodes(rising, {{0.0f, -1.0f}, {0.5f, 0.2f}, {1.0f, 1.0f}});

    for (wchar_t const* rejected : {L"(-5,0)", L"", static_cast<wchar_t const*>(nullptr)}) {
        SCOPED_TRACE(rejected == nullptr ? "null" : "short");
        Shape const shape(rejected);
        EXPECT_EQ(shape.invalid, 1);
        EXPECT_EQ(shape.changed, 0);
        expectNodes(shape, {{0.0f, 0.0f}, {1.0f, 0.0f}});
    }
}

// Values that a mask test without the range check would wrap into a valid bit are included.
TEST(ShapeRecord, OnlyTheFourModesAreValid) {
    std::set<int32_t> const valid = {0, 10, 20, 30};
    std::vector<int32_t> probes = {INT32_MIN, INT32_MIN + 10, -32, -22, -1, 31, 32, 40, 42, 52, 62, 64, 74, INT32_MAX};
    for (int32_t mode = -40; mode <= 100; ++mode)
        probes.push_back(mode);
    for (int32_t mode : probes) {
        SCOPED_TRACE(mode);
        EXPECT_EQ(zr::isValidInterpolation(mode), valid.count(mode) == 1);
    }
}

TEST(ShapeRecord, SetInterpolationStoresOnlyValidChanges) {
    struct Case {
        int32_t mode;
        bool changes;
    };
    Case const cases[] = {{10, false}, {20, true}, {30, true}, {0, true}, {5, false}, {-10, false}, {40, false}, {42, false}};
    for (Case const& c : cases) {
        SCOPED_TRACE(c.mode);
        Shape shape; // mode 10, changed 0
        EXPECT_EQ(shape.setInterpolation(c.mode), c.changes);
        EXPECT_EQ(shape.changed, c.changes ? 1 : 0);
        EXPECT_EQ(shape.interpolation, c.changes ? c.mode : zr::Linear);
    }
}

TEST(ShapeRecord, AssignNodesDetectsChangesByCountThenByValue) {
    float const nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<Node> const base = {{0.0f, 0.0f}, {0.5f, 0.5f}, {1.0f, 0.0f}};
    struct Case {
        char const* name;
        std::vector<Node> source;
        bool changes;
    };
    Case const cases[] = {
        {"identical", base, false},
        {"negative zero equals zero", {{-0.0f, 0.0f}, {0.5f, 0.5f}, {1.0f, -0.0f}}, false},
        {"one y differs", {{0.0f, 0.0f}, {0.5f, -0.5f}, {1.0f, 0.0f}}, true},
        {"one x differs", {{0.0f, 0.0f}, {0.25f, 0.5f}, {1.0f, 0.0f}}, true},
        {"NaN always differs", {{0.0f, 0.0f}, {0.5f, nan}, {1.0f, 0.0f}}, true},
        {"fewer nodes", {{0.0f, 0.0f}, {1.0f, 0.0f}}, true},
        {"more nodes, same prefix", {{0.0f, 0.0f}, {0.5f, 0.5f}, {1.0f, 0.0f}, {1.0f, 0.0f}}, true},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        Shape shape = shapeWith(base);
        EXPECT_EQ(shape.assignNodes(c.source.data(), static_cast<int32_t>(c.source.size())), c.changes);
        EXPECT_EQ(shape.changed, c.changes ? 1 : 0);
        ASSERT_EQ(shape.nodeCount, static_cast<int32_t>(c.source.size()));
        EXPECT_EQ(std::memcmp(shape.nodes, c.source.data(), c.source.size() * sizeof(Node)), 0);
    }

    // A NaN already stored differs from an incoming NaN too.
    Shape withNaN = shapeWith({{0.0f, 0.0f}, {0.5f, nan}, {1.0f, 0.0f}});
    EXPECT_TRUE(withNaN.assignNodes(withNaN.nodes, withNaN.nodeCount));
}

TEST(ShapeRecord, AssignNodesNeverClearsAPendingChange) {
    Shape shape;
    shape.changed = 1;
    EXPECT_FALSE(shape.assignNodes(shape.nodes, shape.nodeCount));
    EXPECT_EQ(shape.changed, 1);
}

TEST(ShapeRecord, AssignNodesRefusesCountsOutsideTheRecord) {
    std::vector<Node> const many(101, Node{0.5f, 0.5f});
    struct Case {
        Node const* source;
        int32_t count;
    };
    Case const cases[] = {{many.data(), 1}, {many.data(), 0}, {many.data(), -3}, {many.data(), 101}, {nullptr, 2}};
    for (Case const& c : cases) {
        SCOPED_TRACE(c.count);
        Shape shape;
        Shape const before = shape;
        EXPECT_FALSE(shape.assignNodes(c.source, c.count));
        zr::test::expectSameCurve(shape, before);
    }
}

} // namespace

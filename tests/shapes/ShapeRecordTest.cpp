// The shape record: its exact default bytes, and the values it refuses or clamps.

#include "ShapeTestSupport.h"
#include "shapes/Clamp.h"

#include <climits>
#include <cstring>
#include <new>
#include <tuple>
#include <utility>

namespace zr::test {
namespace {

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

    expected[1] = 1;
    for (wchar_t const* rejected : {L"(-5,0)", static_cast<wchar_t const*>(nullptr)}) {
        std::memset(storage, 0xA5, sizeof storage);
        EXPECT_EQ(std::memcmp(new (storage) Shape(rejected), expected, sizeof(Shape)), 0);
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

// A NaN comes out as a bound (hi), never passes through: callers make indices of the result.
TEST(ShapeRecord, ClampKeepsInsideValuesAndMapsEverythingElseToABound) {
    std::pair<float, float> const cases[] = {{0.25f, 0.25f}, {-1.0f, -1.0f}, {1.0f, 1.0f}, {-1.5f, -1.0f},
                                             {7.0f, 1.0f},   {-kInf, -1.0f}, {kInf, 1.0f}, {kNaN, 1.0f}};
    for (auto [value, expected] : cases) {
        SCOPED_TRACE(value);
        EXPECT_EQ(zr::clampf(value, -1.0f, 1.0f), expected);
    }
}

// Counts outside the record are refused and leave it as it was.
TEST(ShapeRecord, AssignNodesRefusesCountsOutsideTheRecord) {
    std::vector<Node> const many(101, Node{0.5f, 0.5f});
    for (int32_t count : {1, 0, -3, 101}) {
        SCOPED_TRACE(count);
        Shape shape;
        EXPECT_FALSE(shape.assignNodes(many.data(), count));
        expectSameCurve(shape, Shape());
    }
    EXPECT_FALSE(Shape().assignNodes(nullptr, 2));
}

} // namespace
} // namespace zr::test

#include "shapes/Clamp.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// A NaN must come out as a bound (hi), never pass through: callers turn the result into
// indices and loop bounds.
TEST(Clamp, KeepsInsideValuesAndMapsEverythingElseToABound) {
    struct Case {
        float value;
        float expected;
    };
    Case const cases[] = {
        {0.25f, 0.25f}, {-1.0f, -1.0f}, {1.0f, 1.0f}, {-1.5f, -1.0f}, {7.0f, 1.0f},
        {-kInf, -1.0f}, {kInf, 1.0f},   {kNaN, 1.0f}, {-0.0f, -0.0f},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(zr::clampf(c.value, -1.0f, 1.0f), c.expected);
    }
}

} // namespace

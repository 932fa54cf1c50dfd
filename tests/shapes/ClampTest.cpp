#include "shapes/Clamp.h"

#include <gtest/gtest.h>

#include <limits>
#include <utility>

// A NaN must come out as a bound (hi), never pass through: callers turn the result into
// indices and loop bounds.
TEST(Clamp, KeepsInsideValuesAndMapsEverythingElseToABound) {
    float const nan = std::numeric_limits<float>::quiet_NaN();
    float const inf = std::numeric_limits<float>::infinity();
    std::pair<float, float> const cases[] = {{0.25f, 0.25f}, {-1.0f, -1.0f}, {1.0f, 1.0f}, {-1.5f, -1.0f},
                                             {7.0f, 1.0f},   {-inf, -1.0f},  {inf, 1.0f},  {nan, 1.0f}};
    for (auto [value, expected] : cases) {
        SCOPED_TRACE(value);
        EXPECT_EQ(zr::clampf(value, -1.0f, 1.0f), expected);
    }
}

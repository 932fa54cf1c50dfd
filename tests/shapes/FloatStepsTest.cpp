// The float-step search the node text writers share: which candidates it tests and in what
// order, and where it gives up.

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <tuple>
#include <vector>

#include "shapes/FloatSteps.h"

namespace {

float stepsFrom(float from, float toward, int steps) {
    for (int step = 0; step < steps; ++step)
        from = std::nextafter(from, toward);
    return from;
}

TEST(FloatSteps, FindsTheNearestCandidateAfterTheStartWithinTheSteps) {
    float const one = 1.0f;
    // Name, toward, steps allowed, the candidate (in steps from 1) where the predicate first
    // holds, the expected steps to the answer or nothing.
    std::tuple<char const*, float, int, int, std::optional<int>> const cases[] = {
        {"the start itself is not a candidate", 2.0f, 64, 0, 1},
        {"the first step", 2.0f, 64, 1, 1},
        {"the last step allowed", 2.0f, 64, 64, 64},
        {"one step too far", 2.0f, 64, 65, std::nullopt},
        {"downward", 0.0f, 8, 5, 5},
        {"no steps allowed", 2.0f, 0, 1, std::nullopt},
    };
    for (auto const& [name, toward, maxSteps, firstHolding, expected] : cases) {
        SCOPED_TRACE(name);
        float const threshold = stepsFrom(one, toward, firstHolding);
        std::vector<float> tested;
        bool const upward = toward > one;
        auto const holds = [&](float candidate) {
            tested.push_back(candidate);
            return upward ? candidate >= threshold : candidate <= threshold;
        };
        std::optional<float> const found = zr::nextFloatWhere(one, toward, maxSteps, holds);
        if (expected) {
            ASSERT_TRUE(found.has_value());
            EXPECT_EQ(*found, stepsFrom(one, toward, *expected));
        } else {
            EXPECT_FALSE(found.has_value());
        }
        for (std::size_t i = 0; i < tested.size(); ++i)
            EXPECT_EQ(tested[i], stepsFrom(one, toward, static_cast<int>(i) + 1)) << "candidate " << i;
    }
}

// A walk that reaches `toward` stays there: the later candidates all equal it.
TEST(FloatSteps, StopsMovingAtTheTarget) {
    float const target = std::nextafter(std::nextafter(1.0f, 2.0f), 2.0f);
    int calls = 0;
    auto const never = [&](float candidate) {
        EXPECT_LE(candidate, target);
        ++calls;
        return false;
    };
    EXPECT_FALSE(zr::nextFloatWhere(1.0f, target, 10, never).has_value());
    EXPECT_EQ(calls, 10);
}

} // namespace

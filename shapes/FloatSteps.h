#pragma once
// Searching the floats next to a value one representable step at a time, for the writers of
// node texts that must move an x just far enough to read back apart from its neighbours.

#include <cmath>
#include <optional>

namespace zr {

// The first of the `maxSteps` floats after `from`, stepping toward `toward` with nextafter,
// for which `holds(candidate)` is true; nothing when none of them is. `from` itself is not
// tested. Once a step reaches `toward` the later candidates all equal it.
template <typename Predicate>
std::optional<float> nextFloatWhere(float from, float toward, int maxSteps, Predicate holds) {
    float candidate = from;
    for (int step = 0; step < maxSteps; ++step) {
        candidate = std::nextafter(candidate, toward);
        if (holds(candidate))
            return candidate;
    }
    return std::nullopt;
}

} // namespace zr

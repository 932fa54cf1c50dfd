#pragma once
// Random valid shapes as plain (x, y) pairs, shared by core tests and tests through the bundle.

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

namespace zr::test {

using NodePairs = std::vector<std::pair<float, float>>;

// 2..100 nodes, x from 0 to 1 strictly increasing with neighbours more than `minGap` apart
// (0: any distinct floats; at most 0.01), y within -1..+1 with the bounds themselves now and
// then. The gaps are built in, so no draw is thrown away for nodes that came too close.
inline NodePairs randomValidNodes(std::mt19937& rng, float minGap = 0.0f) {
    int const count = std::uniform_int_distribution<int>(2, 100)(rng);
    float const spread = 1.0f - static_cast<float>(count) * minGap;
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::vector<float> xs;
    auto const tooClose = [minGap](float a, float b) { return !(b - a > minGap); };
    do {
        std::vector<float> draws;
        for (int i = 0; i < count - 2; ++i)
            draws.push_back(unit(rng));
        std::sort(draws.begin(), draws.end());
        xs = {0.0f};
        for (int i = 0; i < count - 2; ++i)
            xs.push_back(static_cast<float>(i + 1) * minGap + draws[static_cast<std::size_t>(i)] * spread);
        xs.push_back(1.0f);
    } while (std::adjacent_find(xs.begin(), xs.end(), tooClose) != xs.end());

    std::uniform_real_distribution<float> height(-1.0f, 1.0f);
    std::uniform_int_distribution<int> pick(0, 9);
    NodePairs nodes;
    for (float x : xs) {
        int const choice = pick(rng);
        nodes.emplace_back(x, choice == 0 ? -1.0f : choice == 1 ? 1.0f : height(rng));
    }
    return nodes;
}

// Whether `nodes` keep the invariants of every shape the operations build: 2..100 nodes,
// first x 0, last x 1, x strictly increasing, y within -1..+1 (so no NaN anywhere).
inline bool keepsNodeInvariants(NodePairs const& nodes) {
    if (nodes.size() < 2 || nodes.size() > 100 || nodes.front().first != 0.0f || nodes.back().first != 1.0f)
        return false;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (!(nodes[i].second >= -1.0f && nodes[i].second <= 1.0f))
            return false;
        if (i > 0 && !(nodes[i].first > nodes[i - 1].first))
            return false;
    }
    return true;
}

} // namespace zr::test

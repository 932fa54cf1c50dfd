// Properties of the shape operations over random valid shapes (seeded, so failures repeat):
// every result keeps the node invariants, and each operation keeps its promise.

#include "ShapeTestSupport.h"
#include "RandomShapes.h"
#include "shapes/Clamp.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace {

using zr::Node;
using zr::Shape;
using zr::test::NodePairs;
using zr::test::keepsNodeInvariants;
using zr::test::randomValidNodes;

constexpr int kTrials = 300;

Shape shapeOf(NodePairs const& pairs) {
    std::vector<Node> nodes;
    for (auto const& [x, y] : pairs)
        nodes.push_back({x, y});
    return zr::test::shapeWith(nodes);
}

NodePairs pairsOf(Shape const& shape) {
    NodePairs pairs;
    for (int32_t i = 0; i < shape.nodeCount; ++i)
        pairs.emplace_back(shape.nodes[i].x, shape.nodes[i].y);
    return pairs;
}

bool sameNodes(Shape const& a, Shape const& b) {
    return a.nodeCount == b.nodeCount &&
           std::memcmp(a.nodes, b.nodes, static_cast<std::size_t>(a.nodeCount) * sizeof(Node)) == 0;
}

TEST(ShapeOperationProperties, MorphKeepsInvariantsAndMeetsBothEnds) {
    std::mt19937 rng(20240501);
    std::uniform_real_distribution<float> amountOf(-0.5f, 1.5f);
    for (int trial = 0; trial < kTrials; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        // Gaps well above a float step in the offset domain, so no node of `second` collapses.
        Shape const first = shapeOf(randomValidNodes(rng, 1e-5f));
        Shape const second = shapeOf(randomValidNodes(rng, 1e-5f));

        Shape blend = first;
        blend.morphWith(second, amountOf(rng));
        ASSERT_TRUE(keepsNodeInvariants(pairsOf(blend)));

        Shape atZero = first;
        EXPECT_FALSE(atZero.morphWith(second, 0.0f));
        EXPECT_TRUE(sameNodes(atZero, first));

        // At 1 the nodes are the second's; x went through x + 1 - 1, which may round by half
        // a step of the offset domain.
        Shape atOne = first;
        atOne.morphWith(second, 1.0f);
        ASSERT_EQ(atOne.nodeCount, second.nodeCount);
        for (int32_t i = 0; i < second.nodeCount; ++i) {
            EXPECT_NEAR(atOne.nodes[i].x, second.nodes[i].x, 6e-8f) << "node " << i;
            EXPECT_EQ(atOne.nodes[i].y, second.nodes[i].y) << "node " << i;
        }
    }
}

// Nodes pushed against a neighbour or an end by the first shift may not come back to where
// they were, but the order never breaks, at any spacing.
TEST(ShapeOperationProperties, ShiftThereAndBackNeverReordersNodes) {
    std::mt19937 rng(777);
    std::uniform_real_distribution<float> amountOf(-1.2f, 1.2f);
    for (int trial = 0; trial < kTrials; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        Shape shape = shapeOf(randomValidNodes(rng, trial % 2 == 0 ? 0.0f : 1e-3f));
        NodePairs const before = pairsOf(shape);
        float const amount = amountOf(rng);
        shape.shiftHoriz(amount);
        ASSERT_TRUE(keepsNodeInvariants(pairsOf(shape))) << "after +" << amount;
        shape.shiftHoriz(-amount);
        NodePairs const after = pairsOf(shape);
        ASSERT_TRUE(keepsNodeInvariants(after)) << "after -" << amount;
        for (std::size_t i = 0; i < before.size(); ++i)
            EXPECT_EQ(after[i].second, before[i].second) << "y of node " << i;
    }
}

TEST(ShapeOperationProperties, NodeEditsKeepInvariants) {
    std::mt19937 rng(4242);
    std::uniform_real_distribution<float> anywhere(-0.5f, 2.5f);
    std::uniform_real_distribution<float> level(-1.5f, 1.5f);
    for (int trial = 0; trial < kTrials; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        Shape shape = shapeOf(randomValidNodes(rng));
        std::uniform_int_distribution<int32_t> indexOf(-2, shape.nodeCount + 1);
        for (int edit = 0; edit < 10; ++edit) {
            shape.placeNodeXBetweenNeighbours(indexOf(rng), anywhere(rng));
            shape.setNodeY(indexOf(rng), level(rng));
            shape.insertNode({anywhere(rng), level(rng)});
        }
        ASSERT_TRUE(keepsNodeInvariants(pairsOf(shape)));
    }
}

TEST(ShapeOperationProperties, FitMapsLowestAndHighestExactlyAndSnapKeepsInvariants) {
    std::mt19937 rng(99);
    std::uniform_real_distribution<float> level(-1.2f, 1.2f);
    for (int trial = 0; trial < kTrials; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        Shape const input = shapeOf(randomValidNodes(rng));
        float const bottom = level(rng), top = level(rng);
        Shape fitted = input;
        fitted.fitVert(bottom, top);
        ASSERT_TRUE(keepsNodeInvariants(pairsOf(fitted)));
        float const lowest = input.lowestY(), highest = input.highestY();
        for (int32_t i = 0; i < input.nodeCount; ++i) {
            EXPECT_EQ(fitted.nodes[i].x, input.nodes[i].x);
            if (lowest == highest)
                continue;
            if (input.nodes[i].y == lowest) {
                EXPECT_EQ(fitted.nodes[i].y, zr::clampf(bottom, -1.0f, 1.0f)) << "lowest node " << i;
            }
            if (input.nodes[i].y == highest) {
                EXPECT_EQ(fitted.nodes[i].y, zr::clampf(top, -1.0f, 1.0f)) << "highest node " << i;
            }
        }

        Shape snapped = input;
        snapped.snapVert(level(rng), trial % 2 == 0);
        ASSERT_TRUE(keepsNodeInvariants(pairsOf(snapped)));
    }
}

// Accepted images are not checked: the vertical edits still leave every y within -1..+1, and
// nothing reads or writes outside the record.
TEST(ShapeOperationProperties, HostileNodesLeaveVerticalEditsWithinRange) {
    float const specials[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(), 7.0f, -3.0f, 0.5f, 1e-39f};
    std::mt19937 rng(31337);
    std::uniform_int_distribution<int> pick(0, static_cast<int>(std::size(specials)) - 1);
    for (int trial = 0; trial < kTrials; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        std::vector<Node> nodes(static_cast<std::size_t>(std::uniform_int_distribution<int>(2, 100)(rng)));
        for (Node& node : nodes)
            node = {specials[pick(rng)], specials[pick(rng)]};
        for (int edit = 0; edit < 3; ++edit) {
            Shape shape = zr::test::shapeWith(nodes);
            if (edit == 0)
                shape.fitVert(-0.5f, 0.5f);
            else if (edit == 1)
                shape.snapVert(0.25f, trial % 2 == 0);
            else
                shape.shiftVert(-0.125f);
            for (int32_t i = 0; i < shape.nodeCount; ++i)
                ASSERT_TRUE(shape.nodes[i].y >= -1.0f && shape.nodes[i].y <= 1.0f) << "edit " << edit << " node " << i;
        }
        Shape moved = zr::test::shapeWith(nodes);
        moved.shiftHoriz(0.3f);
        moved.shiftHoriz(-0.6f);
        EXPECT_EQ(moved.nodeCount, static_cast<int32_t>(nodes.size()));
    }
}

} // namespace

#pragma once
// The record a shape target works on, chosen by one input byte: the states a module's record
// can be in when the next text or image arrives.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "shapes/Shape.h"

namespace zr::fuzz {

inline zr::Shape startingRecord(uint8_t choice) {
    zr::Shape record;
    switch (choice % 8) {
    case 1: record.setString(L"(-5,-5)(5,5)"); break;
    case 2: record.setString(L"(-5,0)(0,5)(5,0)"); break;
    case 3: { // the largest shape: 100 nodes
        zr::Node nodes[zr::Shape::kMaxNodes];
        for (int32_t i = 0; i < zr::Shape::kMaxNodes; ++i)
            nodes[i] = {static_cast<float>(i) / 99.0f, static_cast<float>(i % 3) - 1.0f};
        record.assignNodes(nodes, zr::Shape::kMaxNodes);
        break;
    }
    case 4: { // a NaN node, as an unchecked image may leave it
        zr::Node const nodes[] = {{0.0f, std::numeric_limits<float>::quiet_NaN()}, {1.0f, 0.0f}};
        record.assignNodes(nodes, 2);
        break;
    }
    case 5: // stale nodes beyond the count, from an earlier longer shape
        record.setString(L"(-5,1)(-2,-1)(1,1)(4,-1)(5,1)");
        record.setString(L"(-5,0)(5,0)");
        break;
    case 6: record.invalid = 1; break;
    default: break;
    }
    record.setInterpolation((choice >> 3) % 2 ? zr::NaturalSpline : zr::Linear);
    record.changed = (choice >> 4) & 1;
    return record;
}

// A byte copy that keeps padding and NaN payloads as they are.
inline zr::Shape copyOf(zr::Shape const& record) {
    zr::Shape copy;
    std::memcpy(static_cast<void*>(&copy), &record, sizeof copy);
    return copy;
}

inline bool sameBytes(zr::Shape const& a, zr::Shape const& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Node-wise change as the record operations detect it: count first, then float inequality.
inline bool nodesDiffer(zr::Shape const& a, zr::Shape const& b) {
    if (a.nodeCount != b.nodeCount)
        return true;
    for (int32_t i = 0; i < a.nodeCount; ++i)
        if (a.nodes[i].x != b.nodes[i].x || a.nodes[i].y != b.nodes[i].y)
            return true;
    return false;
}

} // namespace zr::fuzz

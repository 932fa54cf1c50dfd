#include "shapes/Interpolator.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace zr {

namespace {

constexpr int32_t kSmallestRenderedTable = 16;

// Walks the sampling grid in table order. Positions are accumulated in single precision
// (pos += step, never k * step) because stored tables depend on those exact values. The
// write index is bounded by the guard entry N, which also ends the walk when a node x from
// an unchecked blob is far beyond 1, +inf or the grid itself overshoots for large N.
class Grid {
public:
    Grid(std::vector<float>& table, int32_t size)
        : entries_(table.data()), guardIndex_(size), step_(1.0f / static_cast<float>(size - 1)) {}

    float step() const { return step_; }
    float position() const { return position_; }
    bool before(float x) const { return index_ <= guardIndex_ && x > position_; }

    void put(float value) {
        entries_[index_++] = value;
        position_ += step_;
    }

private:
    float* entries_;
    int32_t guardIndex_;
    float step_;
    float position_ = 0.0f;
    int32_t index_ = 0;
};

// Running value: one addition per entry instead of a division.
void renderLinearSegment(Grid& grid, Node const& from, Node const& to) {
    if (!grid.before(to.x))
        return;
    float const r = 1.0f / (to.x - from.x);
    float const f = (grid.position() - from.x) * r;
    float value = (1.0f - f) * from.y + to.y * f;
    float const delta = (to.y - from.y) * grid.step() * r;
    do {
        grid.put(value);
        value += delta;
    } while (grid.before(to.x));
}

// One segment polynomial p(t) = ((a t + b) t + c) t + y_i over t = 0..1.
struct SegmentCubic {
    float a;
    float b;
    float c;
};

// Slope at interior node k: the chord through its two neighbours.
float chordSlope(Node const* nodes, int32_t k) {
    return (nodes[k + 1].y - nodes[k - 1].y) / (nodes[k + 1].x - nodes[k - 1].x);
}

// Cubic Hermite segments with chord slopes; the two end segments are quadratics that only
// honour the slope at their inner node.
SegmentCubic varekSegment(Node const* nodes, int32_t i, int32_t lastSegment) {
    float const h = nodes[i + 1].x - nodes[i].x;
    float const y0 = nodes[i].y;
    float const y1 = nodes[i + 1].y;
    if (i == 0) {
        float const m1 = chordSlope(nodes, 1);
        return {0.0f, y0 - y1 + h * m1, 2.0f * (y1 - y0) - h * m1};
    }
    if (i == lastSegment) {
        float const m0 = chordSlope(nodes, i);
        return {0.0f, y1 - y0 - h * m0, h * m0};
    }
    float const c = h * chordSlope(nodes, i);
    float const hm1 = h * chordSlope(nodes, i + 1);
    return {2.0f * (y0 - y1) + c + hm1, 3.0f * y1 - 3.0f * y0 - 2.0f * c - hm1, c};
}

// Running parameter t: one addition per entry instead of a division.
void renderCubicSegment(Grid& grid, Node const& from, Node const& to, SegmentCubic const& p) {
    if (!grid.before(to.x))
        return;
    float const r = 1.0f / (to.x - from.x);
    float t = (grid.position() - from.x) * r;
    float const dt = grid.step() * r;
    do {
        grid.put(((p.a * t + p.b) * t + p.c) * t + from.y);
        t += dt;
    } while (grid.before(to.x));
}

} // namespace

Shape::Interpolator::Interpolator(int32_t size) : table(1, 0.0f) { setTableSize(size); }

Shape::Interpolator::Interpolator(Shape const& source, int32_t size) : table(1, 0.0f) {
    shape.setInterpolation(source.interpolation);
    shape.assignNodes(source.nodes, source.nodeCount);
    setTableSize(size);
}

void Shape::Interpolator::setTableSize(int32_t size) {
    int32_t const newSize = std::max(0, size);
    if (newSize == tableSize)
        return;
    tableSize = newSize;
    table.resize(static_cast<std::size_t>(newSize) + 1, 0.0f);
    renderedSize = 0;
    invTableSize = newSize > 0 ? 1.0f / static_cast<float>(newSize) : 0.0f;
}

bool Shape::Interpolator::render() {
    readPosition = 0;
    if (shape.changed == 0 && renderedSize != 0)
        return false;
    shape.changed = 0;
    if (tableSize < kSmallestRenderedTable) {
        renderedSize = 0;
        return true;
    }
    // A count outside 2..100 can only come from a record written by hand; render nothing
    // rather than read past the nodes.
    if (shape.nodeCount >= kMinNodes && shape.nodeCount <= kMaxNodes) {
        switch (shape.interpolation) {
        case None: _renderNone(); break;
        case Linear: _renderLinear(); break;
        case VarekSpline: _renderVarekSplines(); break;
        case NaturalSpline: _renderNaturalSplines(); break;
        default: break; // an unknown mode keeps the previous table
        }
        if (isValidInterpolation(shape.interpolation))
            _replaceNonFiniteEntries();
    }
    renderedSize = tableSize;
    return true;
}

float Shape::Interpolator::readNext() {
    if (readPosition < renderedSize)
        return table[static_cast<std::size_t>(readPosition++)];
    return 0.0f;
}

// Each interior node becomes an impulse split between the two cells around its position.
void Shape::Interpolator::_renderNone() {
    int32_t const n = shape.nodeCount - 1;
    Node const* nodes = shape.nodes;
    std::fill(table.begin() + 1, table.begin() + (tableSize - 1), 0.0f);
    table[0] = nodes[0].y;
    table[static_cast<std::size_t>(tableSize - 1)] = nodes[n].y;

    float const lastPosition = static_cast<float>(tableSize - 1);
    for (int32_t i = 1; i < n; ++i) {
        float const p = nodes[i].x * lastPosition;
        // An x outside 0..1 (or NaN) from an unchecked blob has no cell: skip its share.
        if (!(p >= 0.0f && p <= lastPosition))
            continue;
        auto const cell = static_cast<int64_t>(p);
        if (cell > tableSize - 1)
            continue; // only when N - 1 rounds up as a float, for tables beyond 2^24
        float const f = p - static_cast<float>(cell);
        // cell + 1 is at most N, the guard entry.
        table[static_cast<std::size_t>(cell)] += (1.0f - f) * nodes[i].y;
        table[static_cast<std::size_t>(cell) + 1] += f * nodes[i].y;
    }
}

void Shape::Interpolator::_renderLinear() {
    int32_t const n = shape.nodeCount - 1;
    Node const* nodes = shape.nodes;
    Grid grid(table, tableSize);
    for (int32_t i = 0; i < n; ++i)
        renderLinearSegment(grid, nodes[i], nodes[i + 1]);
    table[static_cast<std::size_t>(tableSize - 1)] = nodes[n].y;
}

void Shape::Interpolator::_renderVarekSplines() {
    int32_t const n = shape.nodeCount - 1;
    if (n == 1) {
        _renderLinear();
        return;
    }
    Node const* nodes = shape.nodes;
    Grid grid(table, tableSize);
    for (int32_t i = 0; i < n; ++i)
        renderCubicSegment(grid, nodes[i], nodes[i + 1], varekSegment(nodes, i, n - 1));
    table[static_cast<std::size_t>(tableSize - 1)] = nodes[n].y;
}

void Shape::Interpolator::_renderNaturalSplines() {
    int32_t const n = shape.nodeCount - 1;
    if (n == 1) {
        _renderLinear();
        return;
    }
    _solveNaturalSpline();
    Node const* nodes = shape.nodes;
    Grid grid(table, tableSize);
    for (int32_t j = 0; j < n; ++j) {
        while (grid.before(nodes[j + 1].x)) {
            float const dx = grid.position() - nodes[j].x;
            grid.put(d_[j] * (dx * dx * dx) + c_[j] * (dx * dx) + b_[j] * dx + nodes[j].y);
        }
    }
    table[static_cast<std::size_t>(tableSize - 1)] = nodes[n].y;
}

// The tridiagonal recurrence with second derivative 0 at the first node. The end condition
// at the last node comes from one phantom node (0, 0) after it; its interval is never drawn.
// The phantom is a constant, never read from the record, whose later nodes may be stale.
void Shape::Interpolator::_solveNaturalSpline() {
    int32_t const n = shape.nodeCount - 1;
    Node const* nodes = shape.nodes;
    auto x = [&](int32_t i) { return i <= n ? nodes[i].x : 0.0f; };
    auto y = [&](int32_t i) { return i <= n ? nodes[i].y : 0.0f; };

    for (int32_t i = 0; i <= n; ++i)
        h_[i] = x(i + 1) - x(i);
    for (int32_t i = 1; i <= n; ++i)
        alpha_[i] = 3.0f * ((y(i - 1) - y(i)) / h_[i - 1] + (y(i + 1) - y(i)) / h_[i]);

    inverseL_[0] = 1.0f;
    mu_[0] = 0.0f;
    z_[0] = 0.0f;
    for (int32_t i = 1; i <= n; ++i) {
        inverseL_[i] = 1.0f / (2.0f * (x(i + 1) - x(i - 1)) - h_[i - 1] * mu_[i - 1]);
        mu_[i] = h_[i] * inverseL_[i];
        z_[i] = (alpha_[i] - h_[i - 1] * z_[i - 1]) * inverseL_[i];
    }

    c_[n + 1] = 0.0f;
    c_[n] = z_[n];
    for (int32_t j = n - 1; j >= 0; --j) {
        c_[j] = z_[j] - mu_[j] * c_[j + 1];
        b_[j] = (y(j + 1) - y(j)) / h_[j] - (2.0f * c_[j] + c_[j + 1]) * h_[j] / 3.0f;
        d_[j] = (c_[j + 1] - c_[j]) / (3.0f * h_[j]);
    }
}

// Almost every table is finite throughout: one pass over the bits finds whether it is, eight
// entries at a time with no branch (a fixed group of eight vectorises), where the repeat below
// tests and branches at every entry.
bool Shape::Interpolator::allFinite() const {
    constexpr uint32_t kExponent = 0x7F800000u; // all ones: infinity or NaN
    auto const nonFinite = [](float entry) {
        return static_cast<uint32_t>((std::bit_cast<uint32_t>(entry) & kExponent) == kExponent);
    };
    uint32_t found = 0;
    int32_t k = 0;
    for (; k + 8 <= tableSize; k += 8) {
        uint32_t group = 0;
        for (int32_t j = 0; j < 8; ++j)
            group |= nonFinite(table[static_cast<std::size_t>(k + j)]);
        found |= group;
    }
    for (; k < tableSize; ++k)
        found |= nonFinite(table[static_cast<std::size_t>(k)]);
    return found == 0;
}

// A segment narrower than single precision can divide by gives 1/h = inf and then NaN, and a
// spline over such gaps overflows; blobs are not checked, so this happens even for a shape
// that keeps every node rule (x strictly increasing by subnormal steps), and non-finite node
// values do it too. Such an entry would carry NaN into every signal read through the table,
// so it repeats the entry before it instead; the first entry falls back to the first node's
// height, or 0. Finite entries are never touched.
void Shape::Interpolator::_replaceNonFiniteEntries() {
    if (allFinite())
        return;
    float previous = std::isfinite(shape.nodes[0].y) ? shape.nodes[0].y : 0.0f;
    for (int32_t k = 0; k < tableSize; ++k) {
        float& entry = table[static_cast<std::size_t>(k)];
        if (!std::isfinite(entry))
            entry = previous;
        previous = entry;
    }
}

} // namespace zr

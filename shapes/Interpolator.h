#pragma once

#include "shapes/Shape.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zr {

// Renders a shape into a lookup table of N samples evenly spaced over x = 0..1.
// Modules write nodes and mode straight into `shape` (through its operations, which set
// `changed`) and call render(), which does the work only when something changed.
// All work memory exists from construction: rendering never allocates.
class Shape::Interpolator {
public:
    // A read-only view of the values of the last render: entry k for k below size(), 0 for
    // any k from size() on (so for every k before the first render and for a table too small
    // to render). The same sequence readNext() gives, without a cursor. Valid until the next
    // render() or setTableSize().
    class Values {
    public:
        explicit Values(std::span<float const> entries) : entries_(entries) {}
        int32_t size() const { return static_cast<int32_t>(entries_.size()); }
        // `k` must not be negative.
        float value(int32_t k) const { return k < size() ? entries_[static_cast<std::size_t>(k)] : 0.0f; }

    private:
        std::span<float const> entries_;
    };

    Shape shape;                  // must stay the first member
    int32_t tableSize = 0;        // N: the entries a render fills
    int32_t renderedSize = 0;     // valid entries after the last render; 0 = none yet
    std::vector<float> table;     // N + 1 entries; entry N is a guard that is never read
    int32_t readPosition = 0;     // cursor of readNext()
    float invTableSize = 0.0f;    // 1 / N, or 0 while N is 0

    explicit Interpolator(int32_t size);
    // Starts from the default record and takes `source`'s mode and nodes with change detection.
    Interpolator(Shape const& source, int32_t size);

    // Resizes the table (new entries 0) and forces the next render; a negative size means 0.
    // Allocates: call at construction or when a view changes size, not per block.
    void setTableSize(int32_t size);

    // [audio thread] Renders when the shape changed or nothing was rendered yet. Returns
    // false when nothing had to be done. A table smaller than 16 is never rendered
    // (renderedSize stays 0). Always restarts readNext() at entry 0. Rendered entries are
    // always finite, whatever the node values.
    bool render();

    // [audio thread] The rendered entries in order, then 0.
    float readNext();
    // [audio thread] The rendered entries as a view; reading it moves no cursor.
    Values rendered() const { return Values({table.data(), static_cast<std::size_t>(renderedSize)}); }

private:
    using SplineArray = std::array<float, kMaxNodes + 1>;

    void _renderNone();
    void _renderLinear();
    void _renderVarekSplines();
    void _renderNaturalSplines();
    void _solveNaturalSpline();
    bool allFinite() const;
    void _replaceNonFiniteEntries();

    // Natural spline terms per node; c also holds the zero of the phantom node after the last.
    SplineArray h_{}, alpha_{}, inverseL_{}, mu_{}, z_{}, b_{}, c_{}, d_{};
};

} // namespace zr

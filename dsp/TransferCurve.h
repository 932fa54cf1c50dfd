#pragma once
// A shape used as a transfer curve: an input level between two range ends picks a position
// along the shape's x axis, and the output is the shape's height there. The curve is rendered
// once per change into a table of 4096 entries; each sample then costs one lookup with
// linear interpolation. Levels: range ends in volts become signal levels by x 0.1, and the
// shape's normalised height becomes an output level by x 0.5.
//
// Set, then process: setShape() and setRange() do the costly work when a pin changes; the
// block call (lookup().apply()) only reads the table and the range. Every call runs on the
// owner's audio thread; none allocates, locks or throws.

#include <algorithm>
#include <array>
#include <cstdint>

#include "shapes/Interpolator.h"
#include "shapes/Shape.h"

namespace zr {

class TransferCurve {
public:
    static constexpr int32_t kTableSize = 4096;

    // The per-sample mapping over a snapshot of the table and range. Block functions copy it
    // into a local, so that writes to an output buffer cannot be taken to change it.
    struct Lookup {
        float const* table;
        float inputOffset;
        float inputScale;

        float operator()(float input) const { return readAt(table, positionOf(inputOffset, inputScale, input)); }

        // The formula in its two steps, on plain values, so that a block loop keeps them in
        // registers. First the table position, 0..4095: 0 below the range, the last entry
        // above it; the comparisons make a NaN read the last entry instead of leaving the
        // table. They are selects of values (not std::min/max, which select references), so
        // a loop of this step alone compiles to min/max instructions and vectorises.
        static float positionOf(float inputOffset, float inputScale, float input) {
            float const t = (input - inputOffset) * inputScale;
            float const upper = t < 1.0f ? t : 1.0f;
            float const clamped = 0.0f < upper ? upper : 0.0f;
            return static_cast<float>(kTableSize - 1) * clamped;
        }

        // Then the linear interpolation between the two entries around the position.
        static float readAt(float const* table, float position) {
            auto const index = static_cast<int32_t>(position);
            float const fraction = position - static_cast<float>(index);
            return table[index] * (1.0f - fraction) + table[index + 1] * fraction;
        }

        // output[i] = (*this)(input[i]) for a block, with the same operations per sample, so
        // the results are bit-identical to the per-sample call. Runs a vector form where the
        // CPU has AVX2. Reads each stretch of input before writing that stretch of output, so
        // input and output may be the same buffer.
        void apply(float const* input, float* output, int32_t count) const;
        // apply() as built for any x86-64 CPU; apply() falls back to it without AVX2.
        void applyPortable(float const* input, float* output, int32_t count) const;
    };

    // The identity line "(-5,-5)(5,5)", not rendered yet; the table and the range are 0.
    TransferCurve();

    // [audio thread, on a pin change] Stores `mode` when it is a valid mode that differs from
    // the current one, reads `image` (`size` bytes, read during the call only) as the shape's
    // blob image (a rejected image keeps the previous nodes), and renders when either changed
    // or nothing was rendered yet. Returns whether the table was refilled.
    bool setShape(int32_t mode, void const* image, int32_t size);

    // [audio thread, on a pin change] The input levels, in volts, that map to the shape's
    // left and right ends. Equal ends map every input to the left end.
    void setRange(float lowVolts, float highVolts);

    // [audio thread, per block] A snapshot for the block loop; it points into this object's
    // table, so it is valid until the next setShape().
    Lookup lookup() const { return {table_.data(), inputOffset_, inputScale_}; }
    Shape const& shape() const { return interpolator_.shape; }

private:
    Shape::Interpolator interpolator_;
    // Output level per table position; the last entry is a guard that a lookup at the right
    // end weights with 0.
    std::array<float, kTableSize + 1> table_{};
    float inputOffset_ = 0.0f;
    float inputScale_ = 0.0f;
};

} // namespace zr

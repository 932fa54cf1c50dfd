#pragma once
// The run of a shape envelope, shared by every envelope generation: a table of levels read
// once from left to right in a set duration, an optional sustain position where the run
// waits while the gate is held, and 20 ms glides or a gain match that keep a retrigger or an
// early release from jumping. The owner fills the levels and tells where the sustain is; the
// run multiplies an input by the level and reports the sample where the contour ended.
//
// Init, set, process: init() sizes the table once (it may allocate: call it from the module's
// open, never from a block); the setters and the gate calls do the work of a pin change; the
// block call only reads the table and advances the run. Every call runs on the owner's audio
// thread; after init() none allocates, locks or throws.

#include <cmath>
#include <cstdint>
#include <vector>

#include "shapes/Clamp.h"

namespace zr {

// A shape height (-1..1) as an envelope level (0..1); a height without a finite level gives 0.
inline float envelopeLevel(float height) {
    float const level = (height + 1.0f) * 0.5f;
    return std::isfinite(level) ? level : 0.0f;
}

// A node's height as a level. Image nodes are not re-checked: heights outside -1..1 count as
// the nearest bound, so the levels a run glides to stay within 0..1.
inline float nodeLevel(float height) { return std::isnan(height) ? 0.0f : envelopeLevel(clampf(height, -1.0f, 1.0f)); }

class EnvelopeRun {
public:
    static constexpr int32_t kTableSize = 4096;

    // Sized for the contour alone, so a run before `open` stays inside the table.
    EnvelopeRun();

    // [open time] The glide length follows the sample rate (0: none usable, a glide completes
    // at once); the host's countdown lengthens the table of zeros after the contour. Keeps a
    // contour already filled in.
    void init(float sampleRate, int32_t countdown);
    // Milliseconds for the whole contour (below 1, or NaN, count as 1); no usable sample rate
    // stops the position.
    void setDuration(float milliseconds, float sampleRate);

    // Entries 0..kTableSize-1 for the owner to fill with levels; the entries after them stay 0.
    float* levels() { return table_.data(); }
    // The level a retrigger glides to: the contour's first.
    void setStartLevel(float level) { startLevel_ = level; }
    // Where the run waits while the gate is held (kept inside 0..kTableSize-1) and the level
    // there; `clearSustain` makes the run a one-shot. Owners choose it just before `gateOn`.
    void setSustain(float position, float level);
    void clearSustain();

    // Starts the run from its left end. While a run goes on, it first glides to the start
    // level. Returns whether a new run began (the owner's output starts streaming).
    bool gateOn();
    // Releases the hold; before the sustain position, continues from there without a jump.
    void gateOff();
    bool isRunning() const { return running_; }

    // out = input x level for up to `count` samples. Returns the samples written before the
    // contour ended (`count` while it goes on); from there on the run is over and the owner
    // writes 0 and announces a static output at that sample.
    int32_t process(float const* input, float* out, int32_t count);

private:
    void stop();
    // How many of the next `count` samples are sure to read before the contour's end, so that
    // they run without checking for it (the check costs the per-sample loop most of its speed).
    int32_t samplesThatCannotEnd(int32_t count) const;
    // The per-sample formula from `from` to `to`; with `checkEnd`, stops at the first sample that
    // would read past the contour. Returns where it stopped.
    template <bool checkEnd>
    int32_t runSamples(float const* input, float* out, int32_t from, int32_t to);

    std::vector<float> table_;
    bool running_ = false;
    bool sustained_ = false;
    float rate_ = 0.0f; // table entries per sample
    float sustainPosition_ = -1.0f;
    float startLevel_ = 0.0f;
    float sustainLevel_ = 0.0f;
    float gain_ = 0.0f;
    float positionLimit_ = 0.0f;
    float glideTarget_ = 0.0f;
    float glideFactor_ = 1.0f; // 1 / samples in 20 ms
    int32_t endLimit_ = kTableSize;
    float position_ = 0.0f;
    float level_ = 0.0f;
    float glideStep_ = 0.0f; // level change per sample; 0: no glide
};

} // namespace zr

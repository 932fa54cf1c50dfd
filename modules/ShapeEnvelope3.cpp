// ZR_ShapeEnv3: an envelope whose contour is a shape. A gate runs once through the shape from
// left to right in `Duration` ms and multiplies the input by the shape's level (y -5 V gives
// 0, +5 V gives 1). One node can hold the envelope while the gate stays on; the release runs
// from there. Retriggers and early releases glide over 20 ms or match the gain, so the output
// does not jump.

#include <algorithm>
#include <cmath>
#include <vector>

#include "sdk/MpBase2.h"
#include "sdk/Register.h"
#include "sdk/SampleRate.h"
#include "shapes/Clamp.h"
#include "shapes/Interpolator.h"
#include "shapes/Shape.h"

namespace {

constexpr int32_t kTableSize = 4096;
constexpr float kContourEnd = static_cast<float>(kTableSize); // reading here or later gives 0
constexpr float kLastEntry = static_cast<float>(kTableSize - 1);
// The host's countdown lengthens the run past the contour's end; this bound keeps the table
// modest and every position exact in single precision, whatever the host answers.
constexpr int32_t kMaxCountdown = 1 << 20;

// A shape height as an envelope level; a height that is not a finite number gives 0.
float levelOf(float height) {
    float const level = (height + 1.0f) * 0.5f;
    return std::isfinite(level) ? level : 0.0f;
}

} // namespace

class ZR_ShapeEnv3 : public MpBase2 {
    // Pin indices are stored in patches: append only.
    BoolInPin pinGate;         // on: (re)start; off: release from the sustain node
    BlobInPin pinShape;        // blob image of the contour, read at the next gate on
    IntInPin pinInterpolation; // 0, 10, 20 or 30
    FloatInPin pinDuration;    // ms for the whole contour, hold not counted; at least 1
    EnumInPin pinSustainNode;  // 0..nodeCount-2; anything else: no sustain
    AudioInPin pinInput;
    BoolInPin pinClip;         // clip table levels to 0..1
    AudioOutPin pinOut;

    // Levels of the contour in entries 0..4095; the zeros after them make the end of a run
    // read 0 without a per-sample test. Sized once more at open for the host's countdown.
    std::vector<float> envelopeTable = std::vector<float>(kTableSize + 2, 0.0f);
    zr::Shape::Interpolator interpolator{kTableSize};
    bool shapePending = false;
    bool renderPending = false;
    bool sustainPending = false;
    bool tableFilled = false;   // the table holds a rendered contour
    bool tableClipped = false;  // ... filled with Clip on
    int32_t sustainIndex = -1;
    float sampleRate = 0.0f;    // 0 until the host gave a usable rate
    float rate = 0.0f;          // table entries per sample
    float sustainPosition = -1.0f;
    float startLevel = 0.0f;
    float sustainLevel = 0.0f;
    float gain = 0.0f;
    float positionLimit = 0.0f;
    float glideTarget = 0.0f;
    // Without a sample rate a glide completes in one sample.
    float glideFactor = 1.0f;
    int32_t endLimit = kTableSize;
    float position = 0.0f;
    float level = 0.0f;
    float glideStep = 0.0f;     // level change per sample; 0: no glide

public:
    ZR_ShapeEnv3() {
        initializePin(pinGate);
        initializePin(pinShape);
        initializePin(pinInterpolation);
        initializePin(pinDuration);
        initializePin(pinSustainNode);
        initializePin(pinInput);
        initializePin(pinClip);
        initializePin(pinOut);
        setSubProcess(&ZR_ShapeEnv3::subProcessSilence);
    }

    int32_t open() override {
        sampleRate = gmpi::askSampleRate(*this, sampleRate);
        if (sampleRate > 0.0f)
            glideFactor = 1.0f / (sampleRate * 20.0f * 0.001f);
        endLimit = kTableSize + hostCountdown();
        // Keeps a contour already filled in; the entries after it are zeros either way.
        envelopeTable.resize(static_cast<size_t>(endLimit) + 2, 0.0f);
        positionLimit = std::min(positionLimit, static_cast<float>(endLimit));
        position = std::min(position, positionLimit);
        return MpBase2::open();
    }

    void onGraphStart() override { pinOut.setStreaming(false); }

    void onSetPins() override {
        if (pinShape.isUpdated())
            shapePending = true;
        if (pinInterpolation.isUpdated() && interpolator.shape.setInterpolation(pinInterpolation))
            renderPending = true;
        if (pinDuration.isUpdated())
            setDuration(pinDuration);
        if (pinSustainNode.isUpdated())
            sustainPending = true;
        if (!pinGate.isUpdated())
            return;
        if (pinGate)
            gateOn();
        else
            gateOff();
    }

    void subProcess(int32_t sampleFrames) {
        float const* input = pinInput.getBuffer();
        float* out = pinOut.getBuffer();
        float const* table = envelopeTable.data();
        // Running values live in locals for the block, so that writes to Out cannot be taken
        // to change them.
        float runningPosition = position;
        float runningLevel = level;
        float runningGlideStep = glideStep;
        float const step = rate;
        float const limit = positionLimit;
        float const target = glideTarget;
        float const contourGain = gain;
        for (int32_t s = 0; s < sampleFrames; ++s) {
            if (runningGlideStep != 0.0f) {
                // The position waits while the level glides, up or down, to its target.
                runningLevel += runningGlideStep;
                if (runningGlideStep > 0.0f ? !(runningLevel < target) : !(runningLevel > target))
                    runningGlideStep = 0.0f;
            } else {
                auto const index = static_cast<int32_t>(runningPosition);
                float const fraction = runningPosition - static_cast<float>(index);
                runningLevel = ((1.0f - fraction) * table[index] + fraction * table[index + 1]) * contourGain;
                runningPosition = zr::clampf(runningPosition + step, 0.0f, limit);
            }
            out[s] = input[s] * runningLevel;
        }
        position = runningPosition;
        level = runningLevel;
        glideStep = runningGlideStep;
        if (position >= kContourEnd) {
            pinOut.setStreaming(false, blockPosition_ + sampleFrames);
            setSubProcess(&ZR_ShapeEnv3::subProcessSilence);
        }
    }

    void subProcessSilence(int32_t sampleFrames) { std::fill_n(pinOut.getBuffer(), sampleFrames, 0.0f); }

private:
    // The host's answer bounded to 0..2^20: a negative or absurd answer can neither shrink
    // the table below the contour nor make it huge.
    int32_t hostCountdown() const {
        int32_t countdown = 0;
        if (gmpi::IMpHost* host = getHost())
            host->getSleepCountdown(&countdown);
        return std::clamp(countdown, 0, kMaxCountdown);
    }

    void setDuration(float milliseconds) {
        float const ms = milliseconds > 1.0f ? milliseconds : 1.0f; // a NaN counts as 1 ms
        sampleRate = gmpi::askSampleRate(*this, sampleRate);
        rate = sampleRate > 0.0f ? kContourEnd / (ms * sampleRate * 0.001f) : 0.0f;
    }

    void gateOn() {
        if (shapePending) {
            shapePending = false;
            MpBlob const& image = pinShape;
            if (interpolator.shape.readBlob(image.getData(), image.getSize())) {
                startLevel = levelOf(interpolator.shape.nodes[0].y);
                renderPending = true;
                sustainPending = true;
            }
        }
        // A changed Clip refills the table from the last rendering, so that the next run
        // follows the switch as a shape change would.
        bool const clipChanged = tableFilled && pinClip != tableClipped;
        if (renderPending || clipChanged) {
            renderPending = false;
            if (interpolator.render() || clipChanged)
                fillTable();
        }
        if (sustainPending) {
            sustainPending = false;
            chooseSustain();
        }
        gain = 1.0f;
        glideStep = 0.0f;
        positionLimit = sustainIndex >= 0 ? sustainPosition : static_cast<float>(endLimit);
        if (pinOut.isStreaming()) {
            // A retrigger while running: glide to the first node's level, then restart.
            glideTarget = startLevel;
            glideStep = (startLevel - level) * glideFactor;
        } else {
            setSubProcess(&ZR_ShapeEnv3::subProcess);
            pinOut.setStreaming(true);
        }
        position = 0.0f;
    }

    void gateOff() {
        if (!pinOut.isStreaming() || sustainIndex < 0)
            return;
        positionLimit = static_cast<float>(endLimit); // the hold is released
        // Holding at the node continues from there; past it the release already runs.
        if (position >= sustainPosition)
            return;
        // Released before the node: continue from the node without a jump, by scaling the
        // rest of the contour down to the current level or by gliding down to the node's.
        if (sustainLevel > level && sustainLevel > 0.0f) {
            gain = level / sustainLevel;
        } else {
            glideTarget = sustainLevel;
            glideStep = (sustainLevel - level) * glideFactor;
        }
        position = sustainPosition;
    }

    // After the rendered values (or for an empty rendering) the reads give 0: level 0.5.
    void fillTable() {
        bool const clip = pinClip;
        for (int32_t i = 0; i < kTableSize; ++i) {
            float entry = levelOf(interpolator.readNext());
            if (clip)
                entry = zr::clampf(entry, 0.0f, 1.0f);
            envelopeTable[i] = entry;
        }
        tableFilled = true;
        tableClipped = clip;
    }

    // A node whose x is not a number cannot be a sustain point; any other x is kept inside
    // the contour, so the held position always indexes the table.
    void chooseSustain() {
        int32_t const node = pinSustainNode;
        zr::Shape const& shape = interpolator.shape;
        if (node < 0 || node >= shape.nodeCount - 1 || std::isnan(shape.nodes[node].x)) {
            sustainIndex = -1;
            sustainPosition = -1.0f;
            sustainLevel = 0.0f;
            return;
        }
        sustainIndex = node;
        sustainPosition = zr::clampf(shape.nodes[node].x, 0.0f, 1.0f) * kLastEntry;
        sustainLevel = levelOf(shape.nodes[node].y);
    }
};

namespace {
auto const registered = gmpi::Register<ZR_ShapeEnv3>::withId(L"ZR_ShapeEnv3");
}

// ZR_ShapeEnv3: an envelope whose contour is a shape. A gate runs once through the shape from
// left to right in `Duration` ms and multiplies the input by the shape's level (y -5 V gives
// 0, +5 V gives 1). One node can hold the envelope while the gate stays on; the release runs
// from there. Retriggers and early releases glide over 20 ms or match the gain, so the output
// does not jump.

#include <algorithm>
#include <cmath>

#include "dsp/EnvelopeRun.h"
#include "sdk/MpBase2.h"
#include "sdk/Register.h"
#include "sdk/SampleRate.h"
#include "shapes/Clamp.h"
#include "shapes/Interpolator.h"
#include "shapes/Shape.h"

namespace {

constexpr int32_t kTableSize = zr::EnvelopeRun::kTableSize;
constexpr float kLastEntry = static_cast<float>(kTableSize - 1);

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

    zr::EnvelopeRun run;
    zr::Shape::Interpolator interpolator{kTableSize};
    bool shapePending = false;
    bool renderPending = false;
    bool sustainPending = false;
    bool tableFilled = false;  // the table holds a rendered contour
    bool tableClipped = false; // ... filled with Clip on
    float sampleRate = 0.0f;   // 0 until the host gave a usable rate

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
        run.init(sampleRate, hostCountdown());
        return MpBase2::open();
    }

    // Announces what Out does: static unless a run goes on.
    void onGraphStart() override { pinOut.setStreaming(run.isRunning()); }

    void onSetPins() override {
        if (pinShape.isUpdated())
            shapePending = true;
        if (pinInterpolation.isUpdated() && interpolator.shape.setInterpolation(pinInterpolation))
            renderPending = true;
        if (pinDuration.isUpdated()) {
            sampleRate = gmpi::askSampleRate(*this, sampleRate);
            run.setDuration(pinDuration, sampleRate);
        }
        if (pinSustainNode.isUpdated())
            sustainPending = true;
        if (!pinGate.isUpdated())
            return;
        if (pinGate)
            gateOn();
        else
            run.gateOff();
    }

    void subProcess(int32_t sampleFrames) {
        float* out = pinOut.getBuffer();
        int32_t const ran = run.process(pinInput.getBuffer(), out, sampleFrames);
        if (ran == sampleFrames)
            return;
        // The contour ended before sample `ran`: from there Out is an exact 0, announced
        // static at that very sample, so that a block cut anywhere ends the run alike.
        std::fill(out + ran, out + sampleFrames, 0.0f);
        pinOut.setStreaming(false, blockPosition_ + ran);
        setSubProcess(&ZR_ShapeEnv3::subProcessSilence);
    }

    void subProcessSilence(int32_t sampleFrames) { std::fill_n(pinOut.getBuffer(), sampleFrames, 0.0f); }

private:
    int32_t hostCountdown() const {
        int32_t countdown = 0;
        if (gmpi::IMpHost* host = getHost())
            host->getSleepCountdown(&countdown);
        return countdown;
    }

    void gateOn() {
        if (shapePending) {
            shapePending = false;
            MpBlob const& image = pinShape;
            if (interpolator.shape.readBlob(image.getData(), image.getSize())) {
                run.setStartLevel(zr::nodeLevel(interpolator.shape.nodes[0].y));
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
        if (run.gateOn()) {
            setSubProcess(&ZR_ShapeEnv3::subProcess);
            pinOut.setStreaming(true);
        }
    }

    // After the rendered values (or for an empty rendering) the reads give 0: level 0.5.
    void fillTable() {
        bool const clip = pinClip;
        float* levels = run.levels();
        auto const values = interpolator.rendered();
        for (int32_t i = 0; i < kTableSize; ++i) {
            float entry = zr::envelopeLevel(values.value(i));
            if (clip)
                entry = zr::clampf(entry, 0.0f, 1.0f);
            levels[i] = entry;
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
            run.clearSustain();
            return;
        }
        run.setSustain(zr::clampf(shape.nodes[node].x, 0.0f, 1.0f) * kLastEntry, zr::nodeLevel(shape.nodes[node].y));
    }
};

namespace {
auto const registered = gmpi::Register<ZR_ShapeEnv3>::withId(L"ZR_ShapeEnv3");
}

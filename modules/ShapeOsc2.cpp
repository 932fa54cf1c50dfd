// ZR_ShapeOsc2: plays one cycle of a shape as a periodic waveform. The shape is rendered into
// a wave table of 1024 entries that a phase accumulator reads with linear interpolation; a new
// table fades in over 1/60 s so that shape edits do not click. While Gate is on the oscillator
// runs from phase 0; while it is off the output is silent and static.

#include <algorithm>

#include "dsp/WaveOscillator.h"
#include "sdk/MpBase2.h"
#include "sdk/Register.h"
#include "sdk/SampleRate.h"
#include "shapes/Interpolator.h"
#include "shapes/Shape.h"

namespace {
constexpr int32_t kTableSize = 1024;
}

class ZR_ShapeOsc2 : public MpBase2, private zr::wave::WaveSource {
    // Pin indices are stored in patches: append only.
    BoolInPin pinGate;          // on: restart from phase 0 and run; off: silence
    BlobInPin pinShape;         // blob image of one cycle
    IntInPin pinInterpolation;  // 0, 10, 20 or 30
    BoolInPin pinRemoveDC;      // subtract the table's mean
    IntInPin pinOversampling;   // exponent k: 2^k sub-steps averaged per sample
    IntInPin pinFrequencyMode;  // 0: linear frequency, else volts per octave
    AudioInPin pinPitch;
    BoolInPin pinResetPhase;    // on: phase 0
    AudioInPin pinPhaseMod;
    AudioInPin pinPhaseModDepth;
    AudioInPin pinFeedback;
    AudioOutPin pinOut;

    zr::Shape::Interpolator interpolator{zr::Shape(L"(-5,-5)(5,5)"), kTableSize};
    zr::wave::WaveOscillator<kTableSize> oscillator{*this};
    float sampleRate = 0.0f; // 0 until the host gave a usable rate

public:
    ZR_ShapeOsc2() {
        initializePin(pinGate);
        initializePin(pinShape);
        initializePin(pinInterpolation);
        initializePin(pinRemoveDC);
        initializePin(pinOversampling);
        initializePin(pinFrequencyMode);
        initializePin(pinPitch);
        initializePin(pinResetPhase);
        initializePin(pinPhaseMod);
        initializePin(pinPhaseModDepth);
        initializePin(pinFeedback);
        initializePin(pinOut);
        // Until the first gate the output announced at graph start holds zeros.
        setSubProcess(&ZR_ShapeOsc2::subProcessSilence);
    }

    int32_t open() override {
        sampleRate = gmpi::askSampleRate(*this, sampleRate);
        oscillator.init(sampleRate);
        return MpBase2::open();
    }

    void onSetPins() override {
        if (pinShape.isUpdated())
            oscillator.shapeArrived();
        if (pinInterpolation.isUpdated() && interpolator.shape.setInterpolation(pinInterpolation))
            oscillator.renderAgain();
        if (pinResetPhase.isUpdated() && pinResetPhase)
            oscillator.resetPhase();
        if (pinRemoveDC.isUpdated())
            oscillator.setRemoveDC(pinRemoveDC);
        if (pinOversampling.isUpdated())
            oscillator.setOversampling(pinOversampling);
        if (pinFrequencyMode.isUpdated())
            oscillator.setFrequencyMode(pinFrequencyMode);
        if (!pinGate.isUpdated())
            return;
        if (pinGate)
            start();
        else
            stop();
    }

    void subProcess(int32_t sampleFrames) {
        oscillator.process({pinPitch.getBuffer(), pinPhaseMod.getBuffer(), pinPhaseModDepth.getBuffer(), pinFeedback.getBuffer()},
                           pinOut.getBuffer(), sampleFrames);
    }

    void subProcessSilence(int32_t sampleFrames) { std::fill_n(pinOut.getBuffer(), sampleFrames, 0.0f); }

private:
    void start() {
        oscillator.start();
        pinOut.setStreaming(true);
        setSubProcess(&ZR_ShapeOsc2::subProcess);
    }

    void stop() {
        pinOut.setStreaming(false);
        setSubProcess(&ZR_ShapeOsc2::subProcessSilence);
    }

    // A rejected image keeps the shape as it was; an accepted one that differs renders again.
    bool readShape() override {
        MpBlob const& image = pinShape;
        return interpolator.shape.readBlob(image.getData(), image.getSize());
    }

    // The rendered values, then 0 after them (or throughout for an empty rendering).
    void renderShape(float* table, int32_t size) override {
        interpolator.render();
        auto const values = interpolator.rendered();
        for (int32_t i = 0; i < size; ++i)
            table[i] = values.value(i);
    }
};

namespace {
auto const registered = gmpi::Register<ZR_ShapeOsc2>::withId(L"ZR_ShapeOsc2");
}

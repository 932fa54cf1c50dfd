// Successor: ZR_ShapeOsc2 (modules/ShapeOsc2.cpp).
// ZR_ShapeOsc: the first shape oscillator. One cycle of a text shape, in a 4096-entry table
// filled by the legacy modes 0 to 2, plays as a periodic waveform on the successor's engine:
// its pitch rule, phase modulation, feedback, oversampling and the 1/60 s crossfade when the
// shape or the mode changes. It has no gate and no DC removal pin: it always runs, and the
// shape's offset plays as drawn.

#include <algorithm>

#include "dsp/WaveOscillator.h"
#include "modules/legacy/LegacyShape.h"
#include "sdk/MpBase2.h"
#include "sdk/Register.h"
#include "sdk/SampleRate.h"

class ZR_ShapeOsc : public MpBase2, private zr::wave::WaveSource {
    // Pin indices are stored in patches: append only.
    IntInPin pinFrequencyMode;  // 0: linear frequency (1 V = 1 Hz), else volts per octave
    StringInPin pinShape;       // node text in volts: one cycle
    IntInPin pinMode;           // legacy mode 0..2; larger values count as 2
    AudioInPin pinPitch;        // 5 V = 440 Hz, 1 V per octave
    AudioInPin pinPhaseMod;
    AudioInPin pinPhaseModDepth;
    AudioInPin pinFeedback;
    IntInPin pinOversampling;   // exponent k: 2^k sub-steps averaged per sample (0..8)
    AudioOutPin pinOut;

    zr::legacy::NodeList nodes;
    zr::legacy::LegacyTable table;
    int32_t mode = zr::legacy::kStraight;
    bool textArrived = false;
    bool settingsArrived = false; // the host has sent the patch's values
    zr::wave::WaveOscillator<zr::legacy::kTableSize> oscillator{*this};
    float sampleRate = 0.0f;      // 0 until the host gave a usable rate: then the phase stands

public:
    ZR_ShapeOsc() {
        initializePin(pinFrequencyMode);
        initializePin(pinShape);
        initializePin(pinMode);
        initializePin(pinPitch);
        initializePin(pinPhaseMod);
        initializePin(pinPhaseModDepth);
        initializePin(pinFeedback);
        initializePin(pinOversampling);
        initializePin(pinOut);
        // The default cycle, a rising ramp, until a shape arrives.
        nodes.parseUnit(L"(-5,-5)(5,5)");
        table.setNodes(nodes, mode);
        oscillator.renderAgain();
        setSubProcess(&ZR_ShapeOsc::subProcess);
    }

    int32_t open() override {
        sampleRate = gmpi::askSampleRate(*this, sampleRate);
        oscillator.init(sampleRate);
        oscillator.start();
        return MpBase2::open();
    }

    void onSetPins() override {
        if (pinShape.isUpdated()) {
            textArrived = true;
            oscillator.shapeArrived();
        }
        if (pinMode.isUpdated()) {
            int32_t const limited = zr::legacy::limitToCurvedModes(pinMode);
            if (limited != mode) {
                mode = limited;
                oscillator.shapeArrived();
            }
        }
        if (pinFrequencyMode.isUpdated())
            oscillator.setFrequencyMode(pinFrequencyMode);
        if (pinOversampling.isUpdated())
            oscillator.setOversampling(pinOversampling);
        // The patch's own shape plays from the first sample, without fading in from the
        // default; later changes fade in.
        if (!settingsArrived) {
            settingsArrived = true;
            oscillator.start();
        }
        pinOut.setStreaming(true);
    }

    void subProcess(int32_t sampleFrames) {
        oscillator.process({pinPitch.getBuffer(), pinPhaseMod.getBuffer(), pinPhaseModDepth.getBuffer(), pinFeedback.getBuffer()},
                           pinOut.getBuffer(), sampleFrames);
    }

private:
    // A new text refills the table with its nodes (a refused text leaves it all zeros), a new
    // mode refills it with the stored nodes.
    bool readShape() override {
        if (!textArrived)
            table.refill(mode);
        else if (nodes.parseUnit(pinShape) == 0)
            table.clear();
        else
            table.setNodes(nodes, mode);
        textArrived = false;
        return true;
    }

    // Table entries hold the shape's normalised height already.
    void renderShape(float* target, int32_t size) override { std::copy_n(table.data(), size, target); }
};

namespace {
auto const registered = gmpi::Register<ZR_ShapeOsc>::withId(L"ZR_ShapeOsc");
}

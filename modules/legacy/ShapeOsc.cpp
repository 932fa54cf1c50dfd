// Successor: ZR_ShapeOsc2 (modules/ShapeOsc2.cpp).
// ZR_ShapeOsc: the first shape oscillator. One cycle of a text shape, in a 4096-entry table
// filled by the legacy modes 0 to 2, plays as a periodic waveform with the successor's pitch
// rule, phase modulation, feedback and oversampling. It has no gate: it always runs.

#include <algorithm>
#include <cmath>

#include "modules/FastExp2.h"
#include "modules/legacy/LegacyShape.h"
#include "sdk/MpBase2.h"
#include "sdk/Register.h"
#include "sdk/SampleRate.h"
#include "shapes/Clamp.h"

class ZR_ShapeOsc : public MpBase2 {
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

    static constexpr float kCycle = static_cast<float>(zr::legacy::kTableSize);
    static constexpr int32_t kMaxOversampling = 8;

    zr::legacy::NodeList nodes;
    zr::legacy::LegacyTable table;
    int32_t mode = zr::legacy::kStraight;
    bool linearFrequency = false;
    int32_t subSteps = 1;
    float sampleRate = 0.0f; // 0 until the host gave a usable rate: then the phase stands
    float phase = 0.0f;      // table entries, 0 <= phase < 4096
    float lastOut = 0.0f;

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
        setSubProcess(&ZR_ShapeOsc::subProcess);
    }

    int32_t open() override {
        sampleRate = gmpi::askSampleRate(*this, sampleRate);
        // The default cycle, a rising ramp, until a shape arrives.
        nodes.parseUnit(L"(-5,-5)(5,5)");
        table.setNodes(nodes, mode);
        return MpBase2::open();
    }

    void onSetPins() override {
        if (pinShape.isUpdated()) {
            if (nodes.parseUnit(pinShape) == 0)
                table.clear();
            else
                table.setNodes(nodes, mode);
        }
        if (pinMode.isUpdated()) {
            int32_t const limited = std::min<int32_t>(pinMode, zr::legacy::kParabolaBlend);
            if (limited != mode) {
                mode = limited;
                table.refill(mode);
            }
        }
        if (pinFrequencyMode.isUpdated())
            linearFrequency = pinFrequencyMode == 0;
        if (pinOversampling.isUpdated() && pinOversampling >= 0 && pinOversampling <= kMaxOversampling)
            subSteps = 1 << pinOversampling;
        pinOut.setStreaming(true);
    }

    void subProcess(int32_t sampleFrames) {
        float const* pitch = pinPitch.getBuffer();
        float const* phaseMod = pinPhaseMod.getBuffer();
        float const* depth = pinPhaseModDepth.getBuffer();
        float const* feedback = pinFeedback.getBuffer();
        float* out = pinOut.getBuffer();
        float const share = 1.0f / static_cast<float>(subSteps);
        for (int32_t s = 0; s < sampleFrames; ++s) {
            float const increment = incrementFor(pitch[s]) * share;
            float const modulation = zr::clampf(phaseMod[s], -1.0f, 1.0f) * zr::clampf(depth[s], 0.0f, 1.0f);
            float const offset = (modulation + lastOut * zr::clampf(feedback[s], -1.0f, 1.0f)) * kCycle;
            float sum = 0.0f;
            for (int32_t k = 0; k < subSteps; ++k) {
                sum += read(wrap(phase + offset));
                phase = wrap(phase + increment);
            }
            lastOut = sum * share;
            out[s] = lastOut;
        }
    }

private:
    // Volts per octave: 440 x 2^(10 v - 5) Hz for v in 0..1; linear: 10 v Hz up to a quarter
    // of the sample rate. Below 0, and for a NaN, the lowest frequency.
    float incrementFor(float pitch) const {
        if (sampleRate == 0.0f)
            return 0.0f;
        float const limit = linearFrequency ? sampleRate * 0.25f : 1.0f;
        float const v = pitch > 0.0f ? std::min(pitch, limit) : 0.0f;
        float const hertz = linearFrequency ? v * 10.0f : 440.0f * zr::fastExp2(v * 10.0f - 5.0f);
        return hertz * kCycle / sampleRate;
    }

    static float wrap(float position) {
        if (position >= 0.0f && position < kCycle)
            return position;
        position = std::fmod(position, kCycle);
        position = position < 0.0f ? position + kCycle : position;
        return position >= 0.0f && position < kCycle ? position : 0.0f; // NaN: the cycle's start
    }

    // The table between two entries, half the shape's height (1.0 = 10 V).
    float read(float position) const {
        auto const index = static_cast<int32_t>(position);
        float const fraction = position - static_cast<float>(index);
        float const a = table[index];
        float const b = table[(index + 1) & zr::legacy::kLastEntry];
        return (a + fraction * (b - a)) * 0.5f;
    }
};

namespace {
auto const registered = gmpi::Register<ZR_ShapeOsc>::withId(L"ZR_ShapeOsc");
}

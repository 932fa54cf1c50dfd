// Successor: none (the pulser has no current generation; its table is ZR_Waveshaper's).
// ZR_ShapePulser: plays a shape once per rising gate, from its left end to its right end in
// the time the duration input sets, then holds the last entry. Mode 3 plays the nodes as
// impulses.

#include <cmath>

#include "modules/legacy/LegacyShape.h"
#include "sdk/MpBase2.h"
#include "sdk/Register.h"
#include "sdk/SampleRate.h"

class ZR_ShapePulser : public MpBase2 {
    // Pin indices are stored in patches: append only.
    StringInPin pinShape;    // node text in volts
    AudioInPin pinDuration;  // 10 ms per 10 V (a sample of 1.0): 1 V = 1 ms
    AudioInPin pinGate;      // above 0: on
    IntInPin pinMode;        // legacy mode 0..3
    AudioOutPin pinOut;

    static constexpr double kEnd = zr::legacy::kLastEntry;
    static constexpr float kShortestPulseSamples = 2.0f;

    zr::legacy::NodeList nodes;
    zr::legacy::LegacyTable table;
    double position = kEnd + 1.0; // beyond the end: nothing plays before the first gate
    double rate = 0.0;            // table entries per sample
    float duration = 0.0f;        // ms
    float held = 0.0f;
    float sampleRate = 0.0f;      // the last valid host rate; 0 = none yet
    bool previousGate = false;
    int32_t previousIndex = 0;
    int32_t mode = zr::legacy::kStraight;

public:
    ZR_ShapePulser() {
        initializePin(pinShape);
        initializePin(pinDuration);
        initializePin(pinGate);
        initializePin(pinMode);
        initializePin(pinOut);
        setSubProcess(&ZR_ShapePulser::subProcess);
    }

    void onSetPins() override {
        if (pinShape.isUpdated()) {
            if (nodes.parseUnit(pinShape) == 0)
                table.clear();
            else
                table.setNodes(nodes, mode);
        }
        if (pinMode.isUpdated()) {
            mode = pinMode;
            table.refill(mode);
        }
        if (pinGate.isUpdated())
            followGateStream();
    }

    void subProcess(int32_t sampleFrames) {
        float const* durationIn = pinDuration.getBuffer();
        float const* gateIn = pinGate.getBuffer();
        float* out = pinOut.getBuffer();
        for (int32_t s = 0; s < sampleFrames; ++s) {
            bool const gate = gateIn[s] > 0.0f;
            takeDuration(durationIn[s] * 10.0f);
            if (gate && !previousGate) {
                position = 0.0;
                if (!pinOut.isStreaming())
                    pinOut.setStreaming(true, blockPosition_ + s);
            }
            previousGate = gate;
            if (position >= 0.0 && position <= kEnd && rate != 0.0) {
                held = mode == zr::legacy::kImpulses ? strongestImpulse() : interpolated();
                position += rate;
            }
            if (position > kEnd && pinOut.isStreaming()) {
                held = table[zr::legacy::kLastEntry];
                pinOut.setStreaming(false, blockPosition_ + s);
            }
            out[s] = held * 0.5f;
        }
    }

private:
    void followGateStream() {
        if (pinGate.isStreaming() || pinGate.getBuffer()[0] > 0.0f)
            pinOut.setStreaming(true);
        else if (position >= kEnd)
            pinOut.setStreaming(false);
    }

    // The pulse lasts `milliseconds`, at least two samples; the rate follows from the host's
    // sample rate, and without a usable one nothing plays. Until a rate exists it is worked
    // out at every sample, so that a duration of 0 (an unconnected input, equal to the
    // initial stored duration) still gives the shortest pulse.
    void takeDuration(float milliseconds) {
        if (milliseconds == duration && rate != 0.0)
            return;
        sampleRate = gmpi::askSampleRate(*this, sampleRate);
        if (sampleRate == 0.0f)
            return;
        float const shortest = kShortestPulseSamples * 1000.0f / sampleRate;
        float const limited = milliseconds > shortest ? milliseconds : shortest; // NaN: shortest
        if (limited == duration && rate != 0.0)
            return;
        duration = limited;
        rate = kEnd / (static_cast<double>(duration) * sampleRate * 0.001 - 1.0);
    }

    float interpolated() {
        int32_t const i = static_cast<int32_t>(position);
        float const f = static_cast<float>(position - i);
        float value = (1.0f - f) * table[i];
        if (i < zr::legacy::kLastEntry)
            value += f * table[i + 1];
        previousIndex = i + 1;
        return value;
    }

    // The entry of largest magnitude among those passed since the previous sample, walking
    // down from the current index and wrapping below 0. At most one lap, even when the
    // previous index lies outside the table (after the last entry in another mode).
    float strongestImpulse() {
        int32_t const i = static_cast<int32_t>(position);
        float strongest = 0.0f;
        int32_t entry = i;
        for (int32_t steps = 0; entry != previousIndex && steps < zr::legacy::kTableSize; ++steps) {
            if (std::fabs(table[entry]) > std::fabs(strongest))
                strongest = table[entry];
            entry = entry == 0 ? zr::legacy::kLastEntry : entry - 1;
        }
        previousIndex = i;
        return strongest;
    }
};

namespace {
auto const registered = gmpi::Register<ZR_ShapePulser>::withId(L"ZR_ShapePulser");
}

#pragma once
// An audio-side module built on the framework that records what the framework does to it:
// block segments, onSetPins batches, graph starts and MIDI messages.

#include <string>
#include <vector>

#include "sdk/MpBase2.h"

class ProbeModule : public MpBase2 {
public:
    IntInPin first;        // 0
    IntInPin second;       // 1
    FloatInPin level;      // 2
    BoolInPin flag;        // 3
    StringInPin text;      // 4
    BlobInPin blob;        // 5
    AudioInPin input;      // 6
    AudioOutPin out;       // 7
    IntOutPin sent;        // 8
    MidiInPin midi;        // 9
    BoolInPin stopOutput;  // 10: true sets `out` to not streaming

    struct Segment {
        int32_t position, frames;
        bool operator==(Segment const&) const = default;
    };
    struct Batch {
        int32_t position;
        bool firstUpdated, secondUpdated, inputUpdated;
        int32_t firstValue, secondValue;
    };

    std::vector<Segment> segments;
    std::vector<Batch> batches;
    int graphStarts = 0;
    std::vector<std::vector<unsigned char>> midiMessages;

    ProbeModule() {
        initializePin(first);
        initializePin(second);
        initializePin(level);
        initializePin(flag);
        initializePin(text);
        initializePin(blob);
        initializePin(input);
        initializePin(out);
        initializePin(sent);
        initializePin(midi);
        initializePin(stopOutput);
        setSubProcess(&ProbeModule::subProcess);
    }

    void subProcess(int32_t frames) {
        segments.push_back({blockPosition_, frames});
        float* samples = out.getBuffer();
        for (int32_t i = 0; i < frames; ++i)
            samples[i] = 1.0f;
    }

    void onSetPins() override {
        batches.push_back({blockPosition_, first.isUpdated(), second.isUpdated(), input.isUpdated(), first, second});
        if (stopOutput.isUpdated() && stopOutput)
            out.setStreaming(false);
    }

    void onGraphStart() override {
        ++graphStarts;
        MpBase2::onGraphStart();
    }

    using MpBase2::onMidiMessage;
    int32_t onMidiMessage(int32_t, unsigned char const* bytes, int32_t size) override {
        midiMessages.emplace_back(bytes, bytes + size);
        return 0;
    }

    int32_t samplesProcessed() const {
        int32_t total = 0;
        for (auto const& segment : segments)
            total += segment.frames;
        return total;
    }
};

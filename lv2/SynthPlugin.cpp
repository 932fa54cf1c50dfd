#include "lv2/SynthPlugin.h"

#include <algorithm>

namespace zr::lv2 {
namespace {

// Pins of ZR_ShapeOsc2 (metadata/modules.json).
constexpr int32_t kOscGatePin = 0;
constexpr int32_t kOscShapePin = 1;
constexpr int32_t kOscInterpolationPin = 2;
constexpr int32_t kOscRemoveDCPin = 3;
constexpr int32_t kOscOversamplingPin = 4;
constexpr int32_t kOscFrequencyModePin = 5;
constexpr int32_t kOscPitchPin = 6;
constexpr int32_t kOscResetPhasePin = 7;
constexpr int32_t kOscPhaseModPin = 8;
constexpr int32_t kOscPhaseModDepthPin = 9;
constexpr int32_t kOscFeedbackPin = 10;
constexpr int32_t kOscOutPin = 11;
constexpr int32_t kVoltsPerOctave = 1;

// Pins of ZR_ShapeEnv3.
constexpr int32_t kEnvGatePin = 0;
constexpr int32_t kEnvShapePin = 1;
constexpr int32_t kEnvInterpolationPin = 2;
constexpr int32_t kEnvDurationPin = 3;
constexpr int32_t kEnvSustainNodePin = 4;
constexpr int32_t kEnvInputPin = 5;
constexpr int32_t kEnvClipPin = 6;
constexpr int32_t kEnvOutPin = 7;

constexpr uint8_t kNoteOff = 0x80;
constexpr uint8_t kNoteOn = 0x90;
constexpr uint8_t kControlChange = 0xB0;
constexpr uint8_t kAllSoundOff = 120;
constexpr uint8_t kAllNotesOff = 123;

// Volts per octave with A4 (MIDI note 69) at 5 V, as the patch notes of our host; a sample of
// 1.0 carries 10 V.
constexpr double kVoltsOfA4 = 5.0;
constexpr int32_t kMidiOfA4 = 69;
constexpr float kVoltsToSample = 0.1f;

float pitchOf(int32_t note) {
    double const volts = kVoltsOfA4 + static_cast<double>(note - kMidiOfA4) / 12.0;
    return static_cast<float>(volts) * kVoltsToSample;
}

} // namespace

SynthPlugin::Voice::Voice(float sampleRate)
    : oscillator(L"ZR_ShapeOsc2", sampleRate,
                 {{kOscPitchPin, false}, {kOscPhaseModPin, false}, {kOscPhaseModDepthPin, false}, {kOscFeedbackPin, false},
                  {kOscOutPin, true}}),
      envelope(L"ZR_ShapeEnv3", sampleRate, {{kEnvInputPin, false}, {kEnvOutPin, true}}) {}

SynthPlugin::SynthPlugin(size_t pluginIndex, double sampleRate, LV2_Feature const* const* features)
    : ShapePlugin(pluginIndex, sampleRate, features) {
    for (auto& voice : voices_)
        voice = std::make_unique<Voice>(static_cast<float>(sampleRate));
}

// The oscillators stay silent until a note, and read their pitch in volts per octave.
void SynthPlugin::startModules() {
    for (auto& voice : voices_) {
        voice->oscillator.start();
        voice->oscillator.setBool(kOscGatePin, false);
        voice->oscillator.setInt(kOscFrequencyModePin, kVoltsPerOctave);
        voice->oscillator.setBool(kOscResetPhasePin, false);
        voice->envelope.start();
        voice->envelope.setBool(kEnvGatePin, false);
    }
}

void SynthPlugin::settleModules() {
    for (auto& voice : voices_) {
        voice->oscillator.process(0);
        voice->envelope.process(0);
    }
}

void SynthPlugin::sendControl(uint32_t index, float value) {
    auto const whole = static_cast<int32_t>(value);
    bool const on = value >= 0.5f;
    for (auto& voice : voices_) {
        switch (index) {
        case catalog::kSynthWaveInterpolation:
            voice->oscillator.setInt(kOscInterpolationPin, whole);
            break;
        case catalog::kSynthRemoveDC:
            voice->oscillator.setBool(kOscRemoveDCPin, on);
            break;
        case catalog::kSynthOversampling:
            voice->oscillator.setInt(kOscOversamplingPin, whole);
            break;
        case catalog::kSynthEnvelopeInterpolation:
            voice->envelope.setInt(kEnvInterpolationPin, whole);
            break;
        case catalog::kSynthDuration:
            voice->envelope.setFloat(kEnvDurationPin, value);
            break;
        case catalog::kSynthSustainNode:
            voice->envelope.setInt(kEnvSustainNodePin, whole);
            break;
        case catalog::kSynthClip:
            voice->envelope.setBool(kEnvClipPin, on);
            break;
        default:
            break;
        }
    }
}

void SynthPlugin::sendShape(size_t slot, zr::Shape const& shape) {
    auto const size = static_cast<size_t>(shape.blobSize());
    for (auto& voice : voices_) {
        if (slot == catalog::kSynthWave)
            voice->oscillator.setBytes(kOscShapePin, shape.blobData(), size);
        else
            voice->envelope.setBytes(kEnvShapePin, shape.blobData(), size);
    }
}

void SynthPlugin::startNote(int32_t note) {
    Voice& voice = *voices_[allocator_.noteOn(note)];
    voice.pitch = pitchOf(note);
    voice.sounding = true;
    voice.oscillator.setBool(kOscGatePin, true);
    voice.envelope.setBool(kEnvGatePin, true);
}

void SynthPlugin::releaseVoice(size_t voice) {
    if (voice < kVoices)
        voices_[voice]->envelope.setBool(kEnvGatePin, false);
}

void SynthPlugin::onMidi(uint8_t const* message, uint32_t size) {
    if (size < 3)
        return;
    uint8_t const status = message[0] & 0xF0;
    if (status == kNoteOn && message[2] > 0) {
        startNote(message[1]);
    } else if (status == kNoteOff || status == kNoteOn) {
        releaseVoice(allocator_.noteOff(message[1]));
    } else if (status == kControlChange && (message[1] == kAllNotesOff || message[1] == kAllSoundOff)) {
        for (size_t voice = 0; voice < kVoices; ++voice)
            if (allocator_.held(voice))
                releaseVoice(voice);
        allocator_.releaseAll();
    }
}

// A released voice whose envelope output went static has ended: its modules are not run
// again until its next note (which restarts both from the start), so idle voices cost nothing.
void SynthPlugin::renderVoice(size_t index, float* output, uint32_t frames) {
    Voice& voice = *voices_[index];
    if (!voice.sounding)
        return;
    std::fill_n(voice.oscillator.buffer(kOscPitchPin), frames, voice.pitch);
    voice.oscillator.process(static_cast<int32_t>(frames));
    std::copy_n(voice.oscillator.buffer(kOscOutPin), frames, voice.envelope.buffer(kEnvInputPin));
    voice.envelope.process(static_cast<int32_t>(frames));
    float const level = control(catalog::kSynthLevel);
    float const* sound = voice.envelope.buffer(kEnvOutPin);
    for (uint32_t i = 0; i < frames; ++i)
        output[i] += sound[i] * level;
    if (!allocator_.held(index) && !voice.envelope.isStreaming(kEnvOutPin))
        voice.sounding = false;
}

void SynthPlugin::render(uint32_t offset, uint32_t frames) {
    float* output = audioOutput(0);
    if (!output)
        return;
    output += offset;
    std::fill_n(output, frames, 0.0f);
    for (size_t voice = 0; voice < kVoices; ++voice)
        renderVoice(voice, output, frames);
}

} // namespace zr::lv2

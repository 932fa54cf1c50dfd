#include "lv2/SynthPlugin.h"

#include <algorithm>

#include "lv2/ModulePins.h"
#include "lv2/NoteMessage.h"

namespace zr::lv2 {
namespace {

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
                 {{pins::oscillator::kPitch, false},
                  {pins::oscillator::kPhaseMod, false},
                  {pins::oscillator::kPhaseModDepth, false},
                  {pins::oscillator::kFeedback, false},
                  {pins::oscillator::kOut, true}}),
      envelope(L"ZR_ShapeEnv3", sampleRate, {{pins::envelope::kInput, false}, {pins::envelope::kOut, true}}) {}

SynthPlugin::SynthPlugin(size_t pluginIndex, double sampleRate, LV2_Feature const* const* features)
    : ShapePlugin(pluginIndex, sampleRate, features) {
    for (auto& voice : voices_)
        voice = std::make_unique<Voice>(static_cast<float>(sampleRate));
}

// The oscillators stay silent until a note, and read their pitch in volts per octave.
void SynthPlugin::startModules() {
    for (auto& voice : voices_) {
        voice->oscillator.start();
        voice->oscillator.setBool(pins::oscillator::kGate, false);
        voice->oscillator.setInt(pins::oscillator::kFrequencyMode, pins::oscillator::kVoltsPerOctave);
        voice->oscillator.setBool(pins::oscillator::kResetPhase, false);
        voice->envelope.start();
        voice->envelope.setBool(pins::envelope::kGate, false);
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
            voice->oscillator.setInt(pins::oscillator::kInterpolation, whole);
            break;
        case catalog::kSynthRemoveDC:
            voice->oscillator.setBool(pins::oscillator::kRemoveDC, on);
            break;
        case catalog::kSynthOversampling:
            voice->oscillator.setInt(pins::oscillator::kOversampling, whole);
            break;
        case catalog::kSynthEnvelopeInterpolation:
            voice->envelope.setInt(pins::envelope::kInterpolation, whole);
            break;
        case catalog::kSynthDuration:
            voice->envelope.setFloat(pins::envelope::kDuration, value);
            break;
        case catalog::kSynthSustainNode:
            voice->envelope.setInt(pins::envelope::kSustainNode, whole);
            break;
        case catalog::kSynthClip:
            voice->envelope.setBool(pins::envelope::kClip, on);
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
            voice->oscillator.setBytes(pins::oscillator::kShape, shape.blobData(), size);
        else
            voice->envelope.setBytes(pins::envelope::kShape, shape.blobData(), size);
    }
}

void SynthPlugin::startNote(int32_t note) {
    Voice& voice = *voices_[allocator_.noteOn(note)];
    voice.pitch = pitchOf(note);
    voice.sounding = true;
    voice.oscillator.setBool(pins::oscillator::kGate, true);
    voice.envelope.setBool(pins::envelope::kGate, true);
}

void SynthPlugin::releaseVoice(size_t voice) {
    if (voice < kVoices)
        voices_[voice]->envelope.setBool(pins::envelope::kGate, false);
}

void SynthPlugin::onMidi(uint8_t const* message, uint32_t size) {
    NoteMessage const read = readNoteMessage(message, size);
    switch (read.kind) {
    case NoteMessage::Kind::NoteOn:
        startNote(read.note);
        break;
    case NoteMessage::Kind::NoteOff:
        releaseVoice(allocator_.noteOff(read.note));
        break;
    case NoteMessage::Kind::AllOff:
        for (size_t voice = 0; voice < kVoices; ++voice)
            if (allocator_.held(voice))
                releaseVoice(voice);
        allocator_.releaseAll();
        break;
    case NoteMessage::Kind::Other:
        break;
    }
}

// A released voice whose envelope output went static has ended: its modules are not run
// again until its next note (which restarts both from the start), so idle voices cost nothing.
void SynthPlugin::renderVoice(size_t index, float* output, uint32_t frames) {
    Voice& voice = *voices_[index];
    if (!voice.sounding)
        return;
    std::fill_n(voice.oscillator.buffer(pins::oscillator::kPitch), frames, voice.pitch);
    voice.oscillator.process(static_cast<int32_t>(frames));
    std::copy_n(voice.oscillator.buffer(pins::oscillator::kOut), frames, voice.envelope.buffer(pins::envelope::kInput));
    voice.envelope.process(static_cast<int32_t>(frames));
    float const level = control(catalog::kSynthLevel);
    float const* sound = voice.envelope.buffer(pins::envelope::kOut);
    for (uint32_t i = 0; i < frames; ++i)
        output[i] += sound[i] * level;
    if (!allocator_.held(index) && !voice.envelope.isStreaming(pins::envelope::kOut))
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

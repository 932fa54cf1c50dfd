#pragma once
// Shape Synth: eight voices, each a ZR_ShapeOsc2 playing the waveform shape into a
// ZR_ShapeEnv3 whose contour is the envelope shape. MIDI notes set a voice's pitch (volts per
// octave as the oscillator reads them, A4 = 5 V) and open its gate; a note beyond eight steals
// the oldest voice.

#include <array>
#include <memory>

#include "lv2/ShapePlugin.h"
#include "lv2/VoiceAllocator.h"

namespace zr::lv2 {

class SynthPlugin final : public ShapePlugin {
public:
    static constexpr size_t kVoices = 8;

    SynthPlugin(size_t pluginIndex, double sampleRate, LV2_Feature const* const* features);

private:
    struct Voice {
        Voice(float sampleRate);
        ModuleDriver oscillator;
        ModuleDriver envelope;
        float pitch = 0.0f; // in the samples' scale: 1.0 is 10 V
        bool sounding = false; // a note started it and its envelope has not ended since
    };

    void startModules() override;
    void settleModules() override;
    void sendControl(uint32_t index, float value) override;
    void sendShape(size_t slot, zr::Shape const& shape) override;
    void render(uint32_t offset, uint32_t frames) override;
    void onMidi(uint8_t const* message, uint32_t size) override;

    void startNote(int32_t note);
    void releaseVoice(size_t voice);
    void renderVoice(size_t voice, float* output, uint32_t frames);

    std::array<std::unique_ptr<Voice>, kVoices> voices_;
    VoiceAllocator<kVoices> allocator_;
};

} // namespace zr::lv2

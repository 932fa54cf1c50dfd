#pragma once
// A loaded patch run period by period on an audio server's clock: the audio sources filled in,
// the timed changes applied at their samples, the server's input ports fed to the inputs whose
// source names them, MIDI turned into pin values by the patch's "midi" section, and the
// outputs copied into the server's buffers. A period longer than the patch's block size is
// split into blocks of that size, so that a period that is a multiple of it runs exactly the
// blocks `zrhost render` runs.
//
// Everything is found by name and sized at construction; process() allocates, locks and
// waits for nothing.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "host/RealtimeCapacity.h"
#include "host/patch/PatchFile.h"
#include "host/realtime/HeldNotes.h"
#include "host/realtime/MidiMessage.h"

namespace zr::host {

class LivePatch {
public:
    // What one period hands over: `frames` frames of each external input (in the order of
    // externalInputs()), room for `frames` frames of each output (in the order of the
    // patch's outputs) and the MIDI messages of the period, ordered by frame.
    struct Period {
        int32_t frames = 0;
        std::span<float const* const> externalInputs;
        std::span<float* const> outputs;
        std::span<MidiMessage const> midi;
    };

    // [load time] Takes `loaded` over (started, initial values queued) and sets aside what
    // its blocks need. Throws std::invalid_argument when the patch's block size exceeds what
    // its modules were made for.
    explicit LivePatch(LoadedPatch loaded, RealtimeCapacity const& capacity = {});

    // The port names of the inputs whose source is an audio server input ({"jack": name}).
    std::vector<std::string> const& externalInputs() const { return externalNames_; }
    std::vector<PinAddress> const& outputs() const { return loaded_.outputs; }
    float sampleRate() const { return loaded_.sampleRate; }
    LoadedPatch& loaded() { return loaded_; }

    // [load time] A pin that values from other threads may later be given through setPin.
    // Throws std::invalid_argument for an unknown module or pin.
    Patch::PinHandle handle(std::string const& module, std::string const& pin) const;
    // [audio thread] A value at the first sample of the next block.
    void setPin(Patch::PinHandle pin, std::span<uint8_t const> bytes);

    // [audio thread] Runs one period.
    void process(Period const& period);
    // Samples run since the start.
    int64_t position() const { return position_; }
    // Events that found no room and were dropped (see RealtimeCapacity).
    int64_t droppedEvents() const { return loaded_.patch->droppedEvents(); }

private:
    struct Input {
        float* buffer = nullptr;
        AudioSource const* source = nullptr;
        int external = -1;               // index into the period's external inputs, or none
        std::optional<float> heldVolts;  // a level a change or a note set; it holds from then on
        int32_t pin = 0;                 // the module's pin index
        size_t member = 0;
    };
    struct Target { // a pin a change or MIDI sets, resolved
        Patch::PinHandle handle;
        int input = -1; // an audio input: its index in inputs_
    };

    Target targetOf(PinAddress const& pin) const;
    void fillInputs(Period const& period, int32_t done, int32_t count);
    void apply(Target const& target, PinValue const& value, int32_t time, int32_t count);
    void applyMidi(MidiMessage const& message, int32_t time, int32_t count);
    void applyNote(int32_t time, int32_t count);

    LoadedPatch loaded_;
    std::vector<Input> inputs_;
    std::vector<std::string> externalNames_;
    std::vector<Target> changeTargets_; // one per change, in the order of loaded_.changes
    std::vector<float const*> outputSamples_;
    std::optional<Target> gate_;
    std::optional<Target> pitch_;
    std::vector<std::optional<Target>> controllerTargets_; // by controller number: 128
    std::vector<MidiControllerMapping const*> controllers_; // by controller number: 128
    HeldNotes held_;
    bool gateOpen_ = false;
    size_t nextChange_ = 0;
    int64_t position_ = 0;
};

} // namespace zr::host

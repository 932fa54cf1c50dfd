#pragma once
// A patch file (JSON, see docs/patch-format.md) read into a runnable patch: the modules
// created and wired, their initial pin values queued, the audio sources of unwired audio
// inputs, the timed pin changes and the outputs that become the file's channels. Every
// check happens while loading, so that a bad patch fails before any audio is made.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "host/patch/Patch.h"
#include "host/patch/AudioSource.h"

namespace zr::host {

class Bundle;
class ModuleDescriptions;

// One message naming the file and the place in it ("demo.json:3:7: ..." for malformed JSON,
// "demo.json: connections[2]: ..." otherwise).
class PatchError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "module.pin", split at the first dot.
struct PinAddress {
    std::string module;
    std::string pin;
    std::string text() const { return module + "." + pin; }
};

// What a pin is given: bytes for a control input (as its datatype carries them), or a
// level in volts for an audio input, which then holds that level from then on.
struct PinValue {
    bool isAudioLevel = false;
    float volts = 0.0f;
    std::vector<uint8_t> bytes;
};

struct TimedChange {
    int64_t sample = 0;
    PinAddress pin;
    PinValue value;
};

struct SourcedInput {
    PinAddress pin;
    AudioSource source;
};

// What the command line changes without editing the patch: the sample rate, the duration,
// and pin values ("module.pin=value", the value as JSON or else a bare text), applied after
// the patch's own values and checked as they are.
struct PatchOverrides {
    std::optional<double> sampleRate;
    std::optional<double> duration;
    std::vector<std::string> settings;
    // Whether changes and notes timed at or after the end are worth a warning: for a render
    // they are lost work; a live run that a person stops early simply ends before them.
    bool warnPastTheEnd = true;
};

// A "midi" section: notes of a MIDI input open a gate pin and set a pitch pin; controllers
// set value pins. Every value is worked out and checked while loading, one per MIDI value, so
// that playing only picks one.
struct MidiNoteMapping {
    PinAddress gate;
    PinValue gateOn;
    PinValue gateOff;
    std::optional<PinAddress> pitch;
    // By note number (128): volts per octave with A4 (note 69) at 5 V; none where the pin
    // refuses the pitch.
    std::vector<std::optional<PinValue>> pitchOfNote;
};

struct MidiControllerMapping {
    int32_t controller = 0; // 0..127
    PinAddress pin;
    std::vector<PinValue> valueOf; // by controller value (128): 0..127 across the pin's range
};

struct MidiMapping {
    std::optional<MidiNoteMapping> notes;
    std::vector<MidiControllerMapping> controllers;
};

struct LoadedPatch {
    float sampleRate = 48000.0f;
    int32_t blockSize = 64;
    int64_t totalSamples = 0;
    std::unique_ptr<Patch> patch;     // started: initial values queued for the first block
    std::vector<SourcedInput> inputs; // every unwired audio input, silent unless given a source
    std::vector<TimedChange> changes; // ordered by sample
    std::vector<PinAddress> outputs;  // one channel each
    std::optional<MidiMapping> midi;  // what a live MIDI input drives
    // Values the patch gives that a module takes by design but reads as something else, and
    // conversions made on the way in, each "file: place: what happened".
    std::vector<std::string> warnings; // shown always
    std::vector<std::string> remarks;  // shown when asked for (-v)
};

// `baseDirectory` resolves the relative file names the patch gives; `sourceName` names the
// patch in messages. Both throw PatchError.
LoadedPatch loadPatch(Bundle& bundle, ModuleDescriptions const& descriptions, std::string_view jsonText,
                      std::filesystem::path const& baseDirectory, std::string const& sourceName,
                      PatchOverrides const& overrides = {});
LoadedPatch loadPatchFile(Bundle& bundle, ModuleDescriptions const& descriptions, std::filesystem::path const& path,
                          PatchOverrides const& overrides = {});

} // namespace zr::host

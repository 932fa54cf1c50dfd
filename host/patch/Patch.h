#pragma once
// A patch of audio-side modules run through our host: modules created by identifier under
// names of the patch's own, outputs wired to inputs, and blocks run module by module in
// dependency order (every module after the modules that feed it; otherwise in the order they
// were added), so that each module reads what its sources wrote in the same block. What a
// module sends on a wired output reaches the wired input as an event at the same sample:
// streaming states for audio, values for control pins. A wire declared delayed carries
// everything one block later instead (samples, states and values at the same offset in the
// next block); it does not count for the order, so it may close a feedback loop. A module
// that asked to sleep is not called until an event reaches it.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "host/AudioModule.h"

namespace zr::host {

class Bundle;
class ModuleDescriptions;

class Patch {
public:
    // Every module is created with `options` (sample rate, countdown, maximum block size);
    // its description comes from `descriptions`.
    Patch(Bundle& bundle, ModuleDescriptions const& descriptions, AudioModuleOptions options = {});
    ~Patch();
    Patch(Patch const&) = delete;
    Patch& operator=(Patch const&) = delete;

    // Creates module `id` under `name`, gives each described audio pin a buffer and opens the
    // module. `repeatedPins` is how many copies of its repeatable pin the instance has (a
    // morpher's shape inputs). Throws std::invalid_argument for a name in use or an
    // undescribed identifier.
    AudioModule& add(std::string const& name, std::wstring const& id, std::optional<int32_t> repeatedPins = {});
    // Throws std::invalid_argument for an unknown name.
    AudioModule& module(std::string const& name);

    // Wires output `fromPin` of module `from` to input `toPin` of module `to`, by pin names.
    // The datatypes must match (audio to audio, or a control datatype to the same one); a
    // blob output may also feed a text input, which then carries the shape's blob image as
    // raw bytes, as the waveshapers' shape pins do. An input takes one wire. `delayed` makes
    // the wire carry everything one block late (see above). Throws std::invalid_argument
    // naming what does not fit.
    void connect(std::string const& from, std::string const& fromPin, std::string const& to, std::string const& toPin,
                 bool delayed = false);

    // Whether an input has a wire.
    bool isWired(std::string const& name, std::string const& pin) const;
    // The module names in the order blocks run them. Throws std::invalid_argument naming the
    // modules when the wires that are not delayed form a cycle.
    std::vector<std::string> runningOrder() const;
    // The names of the modules, in the order they were added.
    std::vector<std::string> names() const;

    // A pin found once by name, for the audio thread to address without looking names up.
    struct PinHandle {
        size_t member = 0;
        int32_t pin = 0;
    };
    // Throws std::invalid_argument for an unknown module or pin.
    PinHandle handle(std::string const& name, std::string const& pin) const;
    // [audio thread] A value for the next block; refused when the module's room is full.
    void setBytes(PinHandle pin, int32_t time, std::span<uint8_t const> bytes);
    AudioModule& module(PinHandle pin);

    // Values for the next block, by pin name: as JSON (see PinValueEncoding.h), or as raw
    // bytes, which is how a shape's blob image travels on a text pin.
    void set(std::string const& name, std::string const& pin, int32_t time, nlohmann::json const& value);
    void setBytes(std::string const& name, std::string const& pin, int32_t time, std::vector<uint8_t> const& bytes);
    // The sample buffer of an audio input that no wire feeds, to be filled before a block.
    float* input(std::string const& name, std::string const& pin);
    // The samples an audio output wrote in the last block.
    float const* output(std::string const& name, std::string const& pin);

    // Fixes the running order (throws on a cycle, as runningOrder does), then queues graph
    // start and every described input's default for each module, at time 0.
    void start();
    // Runs one block of `count` samples (at most the maximum block size) through every module.
    void process(int32_t count);
    int32_t maxBlockSize() const { return options_.maxBlockSize; }

    // [load time, after start] Sets aside what blocks need (see AudioModule::reserveRealtime)
    // so that process() allocates nothing from here on, and recycles each module's host
    // records once forwarded. Values that do not fit are dropped, never grown into.
    void reserveRealtime(RealtimeCapacity const& capacity);
    // Events and host calls dropped for want of room, over all modules.
    int64_t droppedEvents() const;

private:
    struct Member;
    struct Wire {
        size_t from = 0;
        int32_t fromPin = 0;
        size_t to = 0;
        int32_t toPin = 0;
        bool audio = false;
        bool delayed = false;
        std::vector<float> lastBlock; // a delayed audio wire: what the source wrote one block ago
    };
    struct Carried { // an event for the next block: sent at its end, or along a delayed wire
        size_t to = 0;
        int32_t toPin = 0;
        HostCallKind kind = HostCallKind::PinSet;
        bool streaming = false; // HostCallKind::Streaming: the state announced
        size_t bytesAt = 0;     // HostCallKind::PinSet: its bytes in the carried store
        size_t byteCount = 0;
        int32_t time = 0;       // its sample in the next block
    };
    // The events on their way to the next block, and their bytes.
    struct CarriedEvents {
        std::vector<Carried> events;
        std::vector<uint8_t> bytes;
        void clear() { events.clear(); bytes.clear(); }
    };

    size_t indexOf(std::string const& name) const;
    std::vector<size_t> dependencyOrder() const;
    std::string describeCycle(std::vector<bool> const& placed) const;
    PinDescription const& pinOf(size_t member, std::string const& pin) const;
    void feedAudio(size_t member, int32_t count);
    void keepDelayedAudio();
    void forwardSends(size_t member, int32_t count);
    void carry(size_t to, int32_t toPin, HostRecord const& record, int32_t time);
    void deliver(size_t to, int32_t toPin, HostCallKind kind, bool streaming, std::span<uint8_t const> bytes,
                 int32_t time);

    Bundle& bundle_;
    ModuleDescriptions const& descriptions_;
    AudioModuleOptions options_;
    std::vector<std::unique_ptr<Member>> members_;
    std::vector<Wire> wires_;
    CarriedEvents carried_;    // for the next block
    CarriedEvents delivering_; // from the block before, being delivered
    bool recycleRecords_ = false;
    std::vector<size_t> order_;
    int32_t lastCount_ = 0; // samples in the block before
};

} // namespace zr::host

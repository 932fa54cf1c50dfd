#pragma once
// Runs one audio-side module the way a host does: creates it by identifier, hands it an
// AudioHost, owns its audio buffers, and turns the values a test queues into each block's
// event list.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/AudioHost.h"
#include "host/EventQueue.h"
#include "host/ModuleDescription.h"
#include "host/RealtimeCapacity.h"
#include "sdk/Interfaces.h"

namespace zr::host {

class Bundle;

struct AudioModuleOptions {
    float sampleRate = AudioHost::defaultSampleRate;
    int32_t countdown = AudioHost::defaultCountdown;
    // The pins the host's iterator reports; when not given, those of `description`.
    std::optional<std::vector<IteratorPin>> iteratorPins;
    // Needed for setByName, sendDefaults and connectAudio without a direction.
    std::optional<ModuleDescription> description;
    // How many copies of the description's repeatable pin this instance has, as when a user
    // adds inputs: 5 makes a morpher with five shape inputs. The runner then uses
    // ModuleDescription::withRepeatedPin, for the iterator pins too. Throws
    // std::invalid_argument without a description that has a repeatable pin.
    std::optional<int32_t> repeatedPins;
    int32_t maxBlockSize = 4096;
    // How the host answers the module's queries; null: the honest host.
    std::shared_ptr<AudioHostPolicy const> hostPolicy = nullptr;
    // Create with createInstance2 and hand the host over with setHost, instead of letting
    // createInstance do it.
    bool useCreateInstance2 = false;
};

class AudioModule {
public:
    using Options = AudioModuleOptions;

    // Throws std::runtime_error naming the identifier when the factory makes no instance.
    AudioModule(Bundle& bundle, std::wstring const& id, Options options = {});
    AudioModule(gmpi::IMpFactory2& factory, std::wstring const& id, Options options = {});
    ~AudioModule();

    AudioModule(AudioModule const&) = delete;
    AudioModule& operator=(AudioModule const&) = delete;

    gmpi::IMpPlugin2* plugin() const { return plugin_; }
    AudioHost& host() { return host_; }
    ModuleDescription const* description() const { return description_ ? &*description_ : nullptr; }
    // The module's answer to setHost, when the runner made that call (createInstance2).
    std::optional<int32_t> setHostResult() const { return setHostResult_; }

    // [audio thread] Module operations; each returns the module's result code.
    int32_t open();
    // Gives the pin a zeroed buffer of the maximum block size, owned by the runner. The
    // direction comes from `direction`, else from the iterator pins; throws when unknown.
    int32_t connectAudio(int32_t pin, std::optional<int32_t> direction = std::nullopt);
    // Throws std::out_of_range for a pin without a buffer.
    float* buffer(int32_t pin);
    // The samples of a connected pin, for reading: unlike buffer(), this tells the runner
    // that nobody will write into a held output.
    float const* samples(int32_t pin) const;

    // Events for the next block.
    void setInt(int32_t pin, int32_t time, int32_t value);
    void setFloat(int32_t pin, int32_t time, float value);
    void setBool(int32_t pin, int32_t time, bool value);
    void setText(int32_t pin, int32_t time, std::wstring const& text);
    void setBytes(int32_t pin, int32_t time, std::vector<uint8_t> const& bytes);
    void setBytes(int32_t pin, int32_t time, std::span<uint8_t const> bytes);
    void startStream(int32_t pin, int32_t time);
    void stopStream(int32_t pin, int32_t time);
    void graphStart(int32_t time = 0);
    void midi(int32_t pin, int32_t time, std::vector<uint8_t> const& bytes);
    void rawEvent(RawEvent event);
    void keepEventOrder(bool keep) { events_.keepOrderAsGiven(keep); }

    // By the description: the value is written as PinValueEncoding.h says. Throws
    // std::invalid_argument for an unknown name, an output or audio pin, or a value that
    // does not fit the pin.
    void setByName(std::string_view name, int32_t time, nlohmann::json const& value);
    // Every described input's default, as a host sends them when the patch starts.
    void sendDefaults(int32_t time = 0);

    // [load time] Sets aside what blocks need from here on, so that queueing values and
    // running blocks allocate nothing: events beyond `capacity` are refused (refusedEvents
    // counts them), and so are calls to the host (AudioHost::droppedRecords). The runner
    // then forwards the host's records after each block and recycles them.
    void reserveRealtime(RealtimeCapacity const& capacity);
    int64_t refusedEvents() const { return events_.refused(); }

    // One block of `count` samples (at most the maximum block size) with the queued events.
    // A module that asked to sleep is not called while no events arrive; its audio outputs
    // then hold their last sample.
    void process(int32_t count);
    // `total` samples in blocks of `blockSize` (the last one shorter); queued events go to
    // the first block.
    void processBlocks(int64_t total, int32_t blockSize);

    int64_t blocksRun() const { return blocksRun_; }
    int64_t processCalls() const { return processCalls_; }
    int64_t samplesProcessed() const { return samplesProcessed_; }

    // Releases the module now (the destructor does it otherwise), so that a test can see
    // whether it gave back its host references.
    void releaseModule();

private:
    struct AudioBuffer {
        std::vector<float> samples;
        int32_t direction = gmpi::MP_IN;
    };

    void create(gmpi::IMpFactory2& factory, std::wstring const& id, bool useCreateInstance2);
    std::optional<int32_t> knownDirection(int32_t pin) const;
    void queueValue(int32_t pin, int32_t time, void const* data, std::size_t size);
    void holdOutputs(int32_t count);
    void markOutputsUnwritten(int32_t count);
    void holdUnwrittenOutputs(int32_t count);
    void runModule(int32_t count);

    AudioHost host_;
    std::optional<ModuleDescription> description_;
    int32_t maxBlockSize_;
    EventQueue events_;
    std::map<int32_t, AudioBuffer> buffers_;
    std::map<int32_t, float> lastOutput_; // per audio output: the last sample it held
    // Leading samples of every output that already hold lastOutput_ while the module sleeps;
    // 0 once the module ran or someone was given an output to write into.
    int32_t heldSamples_ = 0;
    gmpi::IMpPlugin2* plugin_ = nullptr;
    std::optional<int32_t> setHostResult_;
    int64_t blocksRun_ = 0;
    int64_t processCalls_ = 0;
    int64_t samplesProcessed_ = 0;
};

} // namespace zr::host

#pragma once
// Runs one audio-side module of the bundle inside a plug-in, through the same interfaces
// zrhost drives (sdk/Interfaces.h): created by identifier from the factory, handed this object
// as its IMpHost, given buffers, then blocks with timed events. Unlike host/AudioModule, which
// records every call for tests, it keeps nothing per call and owns fixed storage, so that
// process() never allocates: events and their data live in arrays sized at construction.
//
// Sleep is honoured as zrhost honours it: a module that asked to sleep is not called until an
// event arrives, and its outputs hold their last sample meanwhile.

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "sdk/Interfaces.h"

namespace zr::lv2 {

class ModuleDriver final : public gmpi::IMpHost {
public:
    // The longest block process() takes; plug-ins cut longer host blocks into pieces.
    static constexpr int32_t kMaxFrames = 512;
    static constexpr int32_t kMaxAudioPins = 6;
    static constexpr int32_t kMaxEvents = 64;
    static constexpr size_t kEventDataBytes = 8192;

    struct AudioPin {
        int32_t index;
        bool isOutput;
    };

    // [instantiation] Creates module `id` and gives each listed audio pin a zeroed buffer of
    // kMaxFrames samples owned by this object. Throws std::runtime_error when the bundle makes
    // no such module, or std::invalid_argument for more than kMaxAudioPins pins.
    ModuleDriver(wchar_t const* id, float sampleRate, std::initializer_list<AudioPin> audioPins);
    ~ModuleDriver();
    ModuleDriver(ModuleDriver const&) = delete;
    ModuleDriver& operator=(ModuleDriver const&) = delete;

    // [instantiation or audio thread] Opens the module and queues graph start, a streaming
    // start for every audio input (their samples change), and nothing else.
    void start();

    // [audio thread] Values for the pin at sample 0 of the next process(). When the event
    // storage is full the queued events are first applied in an empty block, so none is lost.
    void setInt(int32_t pin, int32_t value);
    void setFloat(int32_t pin, float value);
    void setBool(int32_t pin, bool value);
    // The bytes are copied. Data larger than kEventDataBytes is dropped (returns false).
    bool setBytes(int32_t pin, void const* data, size_t size);

    // [audio thread] The buffer of a listed audio pin; null for any other pin.
    float* buffer(int32_t pin);
    // [audio thread] One block of 0..kMaxFrames samples with the queued events.
    void process(int32_t frames);
    // Whether the module asked to sleep and no event has reached it since.
    bool asleep() const { return asleep_ && eventCount_ == 0; }

    // gmpi::IMpUnknown: MP_IID_HOST and MP_IID_UNKNOWN; references are not counted, this
    // object lives as long as the module.
    int32_t queryInterface(gmpi::MpGuid const& iid, void** returnInterface) override;
    int32_t addRef() override { return 1; }
    int32_t release() override { return 1; }

    // Whether the audio output announced that it changes per sample (false: it holds a value).
    bool isStreaming(int32_t pin) const;

    // gmpi::IMpHost [audio thread]. Output values reach nobody here; streaming states of the
    // audio outputs are kept for isStreaming.
    int32_t setPin(int32_t, int32_t, int32_t, void const*) override { return gmpi::MP_OK; }
    int32_t setPinStreaming(int32_t timestamp, int32_t pinIndex, int32_t isStreaming) override;
    int32_t sleep() override;
    int32_t unusedSlot6() override { return gmpi::MP_NOSUPPORT; }
    int32_t getSleepCountdown(int32_t* returnCountdown) override;
    int32_t getSampleRate(float* returnSampleRate) override;
    int32_t unusedSlot9() override { return gmpi::MP_NOSUPPORT; }
    int32_t unusedSlot10() override { return gmpi::MP_NOSUPPORT; }
    int32_t unusedSlot11() override { return gmpi::MP_NOSUPPORT; }
    int32_t unusedSlot12() override { return gmpi::MP_NOSUPPORT; }
    int32_t createPinIterator(void**) override { return gmpi::MP_NOSUPPORT; }

private:
    struct Buffer {
        int32_t pin = -1;
        bool isOutput = false;
        float held = 0.0f; // the output's last sample, held while the module sleeps
        bool streaming = false;
        std::array<float, kMaxFrames> samples{};
    };

    void queue(int32_t eventType, int32_t pin, void const* data, size_t size);
    void flushIfFull(size_t size);
    void runModule(int32_t frames);
    void holdOutputs(int32_t frames);

    float sampleRate_;
    gmpi::IMpPlugin2* plugin_ = nullptr;
    std::array<Buffer, kMaxAudioPins> buffers_{};
    int32_t bufferCount_ = 0;
    std::array<gmpi::MpEvent, kMaxEvents> events_{};
    int32_t eventCount_ = 0;
    std::array<uint8_t, kEventDataBytes> eventData_{};
    size_t eventDataUsed_ = 0;
    bool asleep_ = false;
};

} // namespace zr::lv2

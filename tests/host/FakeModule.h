#pragma once
// An in-process stand-in for a bundle: a factory that makes one kind of audio-side module
// whose behaviour the test chooses, and which notes what the host hands it. Tests of the
// host's own logic use it, so they need neither the built bundle nor a working module.

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "host/HostPinIterator.h"
#include "sdk/Interfaces.h"

namespace zr::host::fakes {

inline constexpr wchar_t const* fakeModuleId = L"ZR_Fake";

struct ReceivedEvent {
    int32_t timeDelta = 0;
    int32_t eventType = 0;
    int32_t pin = 0;
    int32_t size = 0;
    bool hadExtraData = false;
    std::vector<uint8_t> data;  // from extraData, or the inline bytes
};

// Sent at graph start: a value of `size` zero bytes, or a streaming announcement.
struct FakeSend {
    int32_t pin = 0;
    int32_t size = 0;
    bool announceStreaming = false;
};

struct FakeBehaviour {
    int32_t registeredPins = 0;        // setBuffer answers 0 below this index, -1 from it on
    std::vector<FakeSend> atGraphStart;
    std::vector<int32_t> rampOutputs;  // each block: sample i = 1000 x (process call) + i
    bool sleepAfterEachBlock = false;
    bool noteEvents = true;            // noting allocates; off for the real-time probe
    bool allocateInProcess = false;
    int32_t echoPin = -1;              // each block: send `echoSize` bytes on this pin
    int32_t echoSize = 0;
};

struct FakeObservations {
    int instancesAlive = 0;
    int setHostCalls = 0;
    int processCalls = 0;
    std::vector<ReceivedEvent> events;
    std::vector<std::size_t> eventsPerCall;
    gmpi::IMpHost* host = nullptr;
    bool gotProcessorHost = false;
    // Preset before each query, so a host that leaves them unwritten shows.
    float sampleRate = -1.0f;
    int32_t countdown = -1;
    void* iterator = reinterpret_cast<void*>(1);
    std::vector<IteratorPin> iteratedPins;
};

inline void* volatile fakeEscapedAllocation = nullptr;

class FakeModule final : public gmpi::IMpPlugin2 {
public:
    FakeModule(FakeBehaviour const& behaviour, FakeObservations& seen) : behaviour_(behaviour), seen_(seen) {
        ++seen_.instancesAlive;
    }

    int32_t queryInterface(gmpi::MpGuid const& iid, void** returnInterface) override {
        *returnInterface = nullptr;
        if (iid != MP_IID_PLUGIN2 && iid != MP_IID_UNKNOWN)
            return gmpi::MP_NOSUPPORT;
        *returnInterface = static_cast<gmpi::IMpPlugin2*>(this);
        addRef();
        return gmpi::MP_OK;
    }
    int32_t addRef() override { return ++references_; }
    int32_t release() override {
        int32_t const remaining = --references_;
        if (remaining == 0)
            delete this;
        return remaining;
    }

    int32_t setHost(gmpi::IMpUnknown* host) override {
        ++seen_.setHostCalls;
        void* processorHost = nullptr;
        void* audioHost = nullptr;
        host->queryInterface(MP_IID_PROCESSOR_HOST, &processorHost);
        int32_t const result = host->queryInterface(MP_IID_HOST, &audioHost);
        processorHost_ = static_cast<gmpi::IMpUnknown*>(processorHost);
        host_ = static_cast<gmpi::IMpHost*>(audioHost);
        seen_.gotProcessorHost = processorHost_ != nullptr;
        seen_.host = host_;
        return result;
    }

    int32_t open() override {
        if (!host_)
            return gmpi::MP_OK;
        host_->getSampleRate(&seen_.sampleRate);
        host_->getSleepCountdown(&seen_.countdown);
        host_->createPinIterator(&seen_.iterator);
        walkPins();
        return gmpi::MP_OK;
    }

    int32_t setBuffer(int32_t pinIndex, float* buffer) override {
        if (pinIndex < 0 || pinIndex >= behaviour_.registeredPins)
            return gmpi::MP_FAIL;
        buffers_[pinIndex] = buffer;
        return gmpi::MP_OK;
    }

    int32_t process(int32_t count, gmpi::MpEvent const* events) override {
        ++seen_.processCalls;
        std::size_t received = 0;
        for (gmpi::MpEvent const* event = events; event; event = event->next, ++received)
            receive(*event);
        if (behaviour_.noteEvents)
            seen_.eventsPerCall.push_back(received);
        if (behaviour_.allocateInProcess) {
            std::free(fakeEscapedAllocation);
            fakeEscapedAllocation = std::malloc(64);
        }
        echo();
        writeRamps(count);
        if (behaviour_.sleepAfterEachBlock && host_)
            host_->sleep();
        return gmpi::MP_OK;
    }

    int32_t receiveMessageFromGui(int32_t, int32_t, void const*) override { return gmpi::MP_OK; }

private:
    ~FakeModule() {
        if (host_)
            host_->release();
        if (processorHost_)
            processorHost_->release();
        std::free(fakeEscapedAllocation);
        fakeEscapedAllocation = nullptr;
        --seen_.instancesAlive;
    }

    void walkPins() {
        if (!seen_.iterator || seen_.iterator == reinterpret_cast<void*>(1))
            return;
        auto* pins = static_cast<gmpi::IMpPinIterator*>(seen_.iterator);
        for (int32_t onPin = pins->first(); onPin == 0; onPin = pins->next()) {
            IteratorPin pin;
            pins->getPinId(&pin.id);
            pins->getPinDirection(&pin.direction);
            pins->getPinDatatype(&pin.datatype);
            seen_.iteratedPins.push_back(pin);
        }
        pins->release();
    }

    void receive(gmpi::MpEvent const& event) {
        if (event.eventType == gmpi::EVENT_GRAPH_START)
            sendAtGraphStart(event.timeDelta);
        if (!behaviour_.noteEvents)
            return;
        ReceivedEvent& noted = seen_.events.emplace_back();
        noted.timeDelta = event.timeDelta;
        noted.eventType = event.eventType;
        noted.pin = event.parm1;
        noted.size = event.parm2;
        noted.hadExtraData = event.extraData != nullptr;
        char const* data = event.extraData ? event.extraData : reinterpret_cast<char const*>(&event.parm3);
        int32_t const readable = event.extraData ? event.parm2 : std::min(event.parm2, 8);
        if (readable > 0)
            noted.data.assign(data, data + readable);
    }

    void sendAtGraphStart(int32_t time) {
        if (!host_)
            return;
        for (FakeSend const& send : behaviour_.atGraphStart) {
            if (send.announceStreaming) {
                host_->setPinStreaming(time, send.pin, 1);
            } else {
                std::vector<uint8_t> zeros(static_cast<std::size_t>(send.size));
                host_->setPin(time, send.pin, send.size, zeros.data());
            }
        }
    }

    void echo() {
        if (behaviour_.echoPin < 0 || !host_)
            return;
        std::memset(echoBytes_, 0x5A, sizeof echoBytes_);
        host_->setPin(0, behaviour_.echoPin, std::min<int32_t>(behaviour_.echoSize, sizeof echoBytes_), echoBytes_);
    }

    void writeRamps(int32_t count) {
        for (int32_t pin : behaviour_.rampOutputs) {
            auto const connected = buffers_.find(pin);
            if (connected == buffers_.end())
                continue;
            for (int32_t i = 0; i < count; ++i)
                connected->second[i] = static_cast<float>(1000 * seen_.processCalls + i);
        }
    }

    FakeBehaviour behaviour_;
    FakeObservations& seen_;
    int32_t references_ = 1;
    gmpi::IMpHost* host_ = nullptr;
    gmpi::IMpUnknown* processorHost_ = nullptr;
    std::map<int32_t, float*> buffers_;
    uint8_t echoBytes_[256] = {};
};

// Makes FakeModule under fakeModuleId and the audio sub-type; nothing else.
class FakeFactory final : public gmpi::IMpFactory2 {
public:
    explicit FakeFactory(FakeBehaviour behaviour = {}) : behaviour(std::move(behaviour)) {}

    FakeBehaviour behaviour;
    FakeObservations seen;

    int32_t queryInterface(gmpi::MpGuid const&, void** returnInterface) override {
        *returnInterface = nullptr;
        return gmpi::MP_NOSUPPORT;
    }
    int32_t addRef() override { return 1; }
    int32_t release() override { return 1; }
    int32_t getSdkInformation(int32_t&, int32_t, wchar_t*) override { return gmpi::MP_NOSUPPORT; }

    int32_t createInstance(wchar_t const* id, int32_t subType, gmpi::IMpUnknown* host,
                           void** returnInterface) override {
        int32_t const result = createInstance2(id, subType, returnInterface);
        if (result == gmpi::MP_OK)
            static_cast<gmpi::IMpPlugin2*>(*returnInterface)->setHost(host);
        return result;
    }

    int32_t createInstance2(wchar_t const* id, int32_t subType, void** returnInterface) override {
        *returnInterface = nullptr;
        if (std::wstring(id) != fakeModuleId || subType != 0)
            return gmpi::MP_NOSUPPORT;
        *returnInterface = static_cast<gmpi::IMpPlugin2*>(new FakeModule(behaviour, seen));
        return gmpi::MP_OK;
    }
};

} // namespace zr::host::fakes

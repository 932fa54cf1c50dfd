#pragma once
// An in-process stand-in for a bundle: one audio-side module whose behaviour the test chooses
// and which notes what the host hands it, for tests of the host's own logic.

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "host/drawing/CountedObject.h"
#include "sdk/Interfaces.h"

namespace zr::host::fakes {

inline constexpr wchar_t const* fakeModuleId = L"ZR_Fake";

// Read by the module while it runs, so a test may change it between blocks.
struct FakeBehaviour {
    std::vector<int32_t> rampOutputs;   // each block: sample i = 1000 x (process call) + i
    bool sleepAfterEachBlock = false;
    bool noteEvents = true;             // noting allocates; off for the real-time probe
    bool allocateInProcess = false;
    int32_t echoPin = -1;               // each block: send `echoSize` bytes, each the call number
    int32_t echoSize = 0;
};

struct FakeObservations {
    int processCalls = 0;
    std::vector<std::size_t> eventsPerCall;
};

inline void* volatile fakeEscapedAllocation = nullptr;

class FakeModule final : public drawing::CountedObject<gmpi::IMpPlugin2> {
public:
    FakeModule(FakeBehaviour const& behaviour, FakeObservations& seen)
        : CountedObject({MP_IID_PLUGIN2}), behaviour_(behaviour), seen_(seen) {}

    int32_t setHost(gmpi::IMpUnknown* host) override {
        void* audioHost = nullptr;
        int32_t const result = host->queryInterface(MP_IID_HOST, &audioHost);
        host_ = static_cast<gmpi::IMpHost*>(audioHost);
        return result;
    }
    int32_t open() override { return gmpi::MP_OK; }
    int32_t setBuffer(int32_t pinIndex, float* buffer) override {
        buffers_[pinIndex] = buffer;
        return gmpi::MP_OK;
    }

    int32_t process(int32_t count, gmpi::MpEvent const* events) override {
        ++seen_.processCalls;
        std::size_t received = 0;
        for (gmpi::MpEvent const* event = events; event; event = event->next)
            ++received;
        if (behaviour_.noteEvents)
            seen_.eventsPerCall.push_back(received);
        if (behaviour_.allocateInProcess) {
            std::free(fakeEscapedAllocation);
            fakeEscapedAllocation = std::malloc(64);
        }
        if (behaviour_.echoPin >= 0 && host_) {
            std::memset(echoBytes_, seen_.processCalls, sizeof echoBytes_);
            host_->setPin(0, behaviour_.echoPin, std::min<int32_t>(behaviour_.echoSize, sizeof echoBytes_), echoBytes_);
        }
        for (int32_t pin : behaviour_.rampOutputs)
            for (int32_t i = 0; i < count; ++i)
                buffers_.at(pin)[i] = static_cast<float>(1000 * seen_.processCalls + i);
        if (behaviour_.sleepAfterEachBlock && host_)
            host_->sleep();
        return gmpi::MP_OK;
    }

    int32_t receiveMessageFromGui(int32_t, int32_t, void const*) override { return gmpi::MP_OK; }

private:
    ~FakeModule() override {
        if (host_)
            host_->release();
        std::free(fakeEscapedAllocation);
        fakeEscapedAllocation = nullptr;
    }

    FakeBehaviour const& behaviour_;
    FakeObservations& seen_;
    gmpi::IMpHost* host_ = nullptr;
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
    int32_t createInstance(wchar_t const* id, int32_t subType, gmpi::IMpUnknown* host, void** created) override {
        int32_t const result = createInstance2(id, subType, created);
        if (result == gmpi::MP_OK)
            static_cast<gmpi::IMpPlugin2*>(*created)->setHost(host);
        return result;
    }
    int32_t createInstance2(wchar_t const* id, int32_t subType, void** created) override {
        bool const known = std::wstring(id) == fakeModuleId && subType == 0;
        *created = known ? static_cast<gmpi::IMpPlugin2*>(new FakeModule(behaviour, seen)) : nullptr;
        return known ? gmpi::MP_OK : gmpi::MP_NOSUPPORT;
    }
};

} // namespace zr::host::fakes

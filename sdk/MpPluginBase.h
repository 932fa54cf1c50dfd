#pragma once
// The base of every audio-side module: the host-facing interfaces, the pins, the host
// interfaces it obtained, and the block state the event walk and the sleep countdown share.

#include <cstdint>
#include <map>

#include "sdk/Interfaces.h"
#include "sdk/MpPinBase.h"

class MpPluginBase : public gmpi::IMpPlugin,
                     public gmpi::IMpPlugin2,
                     public gmpi::IoldSchoolInitialisation,
                     public gmpi::IMpLegacyInitialization {
public:
    // Registration: sub-type and the interface pointer a creation function hands the host.
    static constexpr int32_t kRegistrationSubType = 0;
    static gmpi::IMpUnknown* hostInterfaceOf(MpPluginBase* module) { return static_cast<gmpi::IMpPlugin2*>(module); }

    MpPluginBase() = default;
    MpPluginBase(MpPluginBase const&) = delete;
    MpPluginBase& operator=(MpPluginBase const&) = delete;

    // [any thread] Views: MP_IID_UNKNOWN and MP_IID_PLUGIN give the IMpPlugin view,
    // MP_IID_PLUGIN2 the IMpPlugin2 view, MP_IID_LEGACY_INITIALIZATION the legacy one.
    int32_t queryInterface(gmpi::MpGuid const& iid, void** returnInterface) override;
    int32_t addRef() override { return ++referenceCount_; }
    // Deletes the module when the last reference goes.
    int32_t release() override;
    // [audio thread] Modules that need the sample rate override it, then call the base.
    int32_t open() override { return gmpi::MP_OK; }
    int32_t setBuffer(int32_t pinIndex, float* buffer) override;
    // The older process form forwards to the newer one.
    int32_t process(int32_t count, gmpi::MpEvent* events) override;
    int32_t receiveMessageFromGui(int32_t id, int32_t size, void* messageData) override;

    virtual ~MpPluginBase();

    // Obtains the processor host and the audio host; the result of the audio host query.
    int32_t setHost(gmpi::IMpUnknown* host) override;
    int32_t process(int32_t count, gmpi::MpEvent const* events) override = 0;
    int32_t receiveMessageFromGui(int32_t id, int32_t size, void const* messageData) override;
    virtual int32_t onMidiMessage(int32_t pinIndex, unsigned char const* midiMessage, int32_t size);
    virtual int32_t onMidiMessage(int32_t pinIndex, unsigned char* midiMessage, int32_t size);
    // Once per batch of simultaneous value or streaming events; pins tell isUpdated().
    virtual void onSetPins() {}
    virtual void OnPinStreamingChange(bool isStreaming) = 0;
    // Default: every output sends its first update, in pin-index order.
    virtual void onGraphStart();

    // Used by the pins.
    gmpi::IMpHost* getHost() const { return host_; }
    int32_t getBlockPosition() const { return blockPosition_; }
    // Restarts the sleep countdown from the host's answer (at least one sample).
    void resetSleepCounter();
    // A stopped input still needs one more sample computed with its final value.
    void keepAwakeAtLeast(int32_t samples);
    // The MIDI inputs' default handler: passes the event's bytes to onMidiMessage.
    void midiHelper(gmpi::MpEvent const* event);

protected:
    // Pin indices are stored in users' patches: modules register pins in index order and
    // only ever append.
    void initializePin(int32_t pinIndex, MpPinBase& pin, MpEventHandler handler = nullptr);
    void initializePin(MpPinBase& pin, MpEventHandler handler = nullptr);
    MpPinBase* findPin(int32_t pinIndex) const;
    std::map<int32_t, MpPinBase*> const& pins() const { return pins_; }

    // When the countdown may put the module to sleep.
    enum class SleepMode {
        WhenNothingStreams, // no audio pin streams (the default)
        Never,
        EvenWhileStreaming,
    };

    int32_t blockPosition_ = 0;
    int32_t sleepCountdown_ = 0;
    int32_t streamingCount_ = 0;
    SleepMode sleepMode_ = SleepMode::WhenNothingStreams;
    bool eventsComplete_ = true; // false while a segment that precedes pending events runs

private:
    void releaseHostInterfaces();

    int32_t referenceCount_ = 1;
    gmpi::IMpHost* host_ = nullptr;
    gmpi::IMpUnknown* processorHost_ = nullptr;
    std::map<int32_t, MpPinBase*> pins_;
    bool messageGuard_ = false;
};

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
    // MP_IID_PLUGIN2 the IMpPlugin2 view, MP_IID_LEGACY_INITIALIZATION the legacy one; any
    // other identifier MP_NOSUPPORT.
    int32_t queryInterface(gmpi::MpGuid const& iid, void** returnInterface) override;
    int32_t addRef() override { return ++referenceCount_; }
    // Deletes the module when the last reference goes.
    int32_t release() override;
    // [audio thread] Modules that need the sample rate override it, then call the base.
    int32_t open() override { return gmpi::MP_OK; }
    // [audio thread] Hands the buffer to the pin, which keeps it. MP_FAIL for an unregistered
    // pin index.
    int32_t setBuffer(int32_t pinIndex, float* buffer) override;
    // The older process form forwards to the newer one.
    int32_t process(int32_t count, gmpi::MpEvent* events) override;
    // [audio thread] Each form calls the other once, so a module may override either; with
    // neither overridden: MP_OK, nothing read.
    int32_t receiveMessageFromGui(int32_t id, int32_t size, void* messageData) override;

    virtual ~MpPluginBase();

    // [load time] Obtains the processor host and the audio host, each held until the next
    // setHost or the module's end; the result of the audio host query, MP_NOSUPPORT for null.
    int32_t setHost(gmpi::IMpUnknown* host) override;
    int32_t process(int32_t count, gmpi::MpEvent const* events) override = 0;
    int32_t receiveMessageFromGui(int32_t id, int32_t size, void const* messageData) override;
    // [audio thread, inside process] The bytes of a MIDI event at the block position: the
    // host's, read only during the call and never written. midiHelper calls the first form,
    // which calls the second, so a module overrides either; the default ignores the message.
    // The result is not used.
    virtual int32_t onMidiMessage(int32_t pinIndex, unsigned char const* midiMessage, int32_t size);
    virtual int32_t onMidiMessage(int32_t pinIndex, unsigned char* midiMessage, int32_t size);
    // [audio thread, inside process] Once per run of events at one block position that holds a
    // value or streaming event: after the run's values are stored and its handlers and graph
    // start ran, before the block function runs on. Pins' isUpdated() tells what the run set.
    virtual void onSetPins() {}
    // [audio thread, inside process] An audio pin's streaming state changed (an input's by a
    // host event, an output's by setStreaming).
    virtual void OnPinStreamingChange(bool isStreaming) = 0;
    // [audio thread, inside process] At EVENT_GRAPH_START, after the run's values are stored.
    // Default: every output sends its first update, in pin-index order.
    virtual void onGraphStart();

    // Used by the pins. The audio host, null without one; the module keeps the reference.
    gmpi::IMpHost* getHost() const { return host_; }
    // The sample of the current block that the event walk has reached; 0 at each block's start.
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
    // [construction] Registers a member pin (not owned) under `pinIndex`, with `handler` or
    // an input's default one; an index already taken keeps its first pin. The index-less form
    // takes one more than the highest index so far.
    void initializePin(int32_t pinIndex, MpPinBase& pin, MpEventHandler handler = nullptr);
    void initializePin(MpPinBase& pin, MpEventHandler handler = nullptr);
    // Null for an unregistered index.
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

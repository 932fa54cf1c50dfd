#pragma once
// The audio-side module base: walks each block's events, cuts the block into segments at
// their timestamps, and runs the module's block function with the sleep countdown around it.

#include "sdk/MpAudioPins.h"
#include "sdk/MpControlPin.h"
#include "sdk/MpMidiPins.h"
#include "sdk/MpPluginBase.h"

class MpBase2 : public MpPluginBase {
public:
    using SubProcess = void (MpBase2::*)(int32_t sampleFrames);

    // [audio thread] Applies the events in timestamp order; between timestamps runs the
    // current block function on the samples up to the next one. Never runs past `count`.
    int32_t process(int32_t count, gmpi::MpEvent const* events) override;
    void OnPinStreamingChange(bool isStreaming) override;

protected:
    // Installs the module's block function. During a sleep countdown the countdown keeps
    // running and switches to the new function when it ends.
    template <typename Module>
    void setSubProcess(void (Module::*blockFunction)(int32_t)) {
        installSubProcess(static_cast<SubProcess>(blockFunction));
    }
    // true: sleep even while pins stream; false: never sleep.
    void setSleep(bool sleep);

    // The countdown wrapper: runs the saved block function for the samples the countdown
    // still allows, then asks the host to sleep at the end of a fully applied block.
    void subProcessPreSleep(int32_t sampleFrames);
    void subProcessNothing(int32_t) {}

private:
    void installSubProcess(SubProcess blockFunction);
    void walkEvents(int32_t count, gmpi::MpEvent const* events);
    // Applies the run of events at the block position; returns the first event after it.
    gmpi::MpEvent const* applyEventRun(gmpi::MpEvent const* head);
    void runSegment(int32_t sampleFrames) { (this->*currentSubProcess_)(sampleFrames); }

    SubProcess currentSubProcess_ = &MpBase2::subProcessPreSleep;
    SubProcess savedSubProcess_ = &MpBase2::subProcessNothing;
};

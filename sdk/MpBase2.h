#pragma once
// The audio-side module base: walks each block's events, cuts the block into segments at
// their timestamps, and runs the module's block function with the sleep countdown around it.
//
// Sleep: while the sleep mode allows it (by default: no audio pin streams), the countdown
// wrapper runs the block function for sleepCountdown_ more samples (restarted from the host's
// getSleepCountdown when an output goes static; at least 1 more when an input stops), then,
// once the block's events are all applied, calls the host's sleep() and computes nothing more.
// A pin that starts streaming ends the countdown, unless the mode is EvenWhileStreaming.

#include "sdk/MpAudioPins.h"
#include "sdk/MpControlPin.h"
#include "sdk/MpMidiPins.h"
#include "sdk/MpPluginBase.h"

class MpBase2 : public MpPluginBase {
public:
    using SubProcess = void (MpBase2::*)(int32_t sampleFrames);

    // [audio thread] Applies the events in timestamp order; between timestamps runs the
    // current block function on the samples up to the next one. Never runs past `count`.
    // MP_FAIL when anything threw: nothing escapes to the host.
    int32_t process(int32_t count, gmpi::MpEvent const* events) override;
    // Counts the streaming audio pins and switches between the countdown wrapper and the
    // block function.
    void OnPinStreamingChange(bool isStreaming) override;

protected:
    // [construction or audio thread] Installs the module's block function, which computes
    // `sampleFrames` samples from the block position (at least 1, except in an empty block).
    // During a sleep countdown the countdown keeps running and calls the new function;
    // otherwise the new function runs from the next segment on.
    template <typename Module>
    void setSubProcess(void (Module::*blockFunction)(int32_t)) {
        installSubProcess(static_cast<SubProcess>(blockFunction));
    }
    // true: SleepMode::EvenWhileStreaming, and the countdown wrapper runs from the next
    // segment; false: SleepMode::Never. The default, SleepMode::WhenNothingStreams, is not
    // restored by either.
    void setSleep(bool sleep);

    // The countdown wrapper: runs the saved block function for the samples the countdown
    // still allows, then asks the host to sleep at the end of a fully applied block.
    void subProcessPreSleep(int32_t sampleFrames);
    // The block function until the module installs its own: computes nothing.
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

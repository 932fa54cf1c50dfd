#include "sdk/MpBase2.h"

#include <algorithm>

namespace {

bool isPinEvent(gmpi::MpEvent const* event) {
    return event->eventType >= gmpi::EVENT_PIN_SET && event->eventType <= gmpi::EVENT_MIDI;
}

bool setsPinState(gmpi::MpEvent const* event) {
    return event->eventType >= gmpi::EVENT_PIN_SET && event->eventType <= gmpi::EVENT_PIN_STREAMING_STOP;
}

} // namespace

int32_t MpBase2::process(int32_t count, gmpi::MpEvent const* events) {
    // Nothing may escape to the host, not even an allocation failure while a text grows.
    try {
        walkEvents(count, events);
    } catch (...) {
        return gmpi::MP_FAIL;
    }
    return gmpi::MP_OK;
}

void MpBase2::walkEvents(int32_t count, gmpi::MpEvent const* head) {
    blockPosition_ = 0;
    count = std::max(count, 0);
    while (head != nullptr) {
        // An event stamped before the block position joins the current run, so a list out
        // of order can neither rewind the block nor stall the walk.
        int64_t const delta = static_cast<int64_t>(head->timeDelta) - blockPosition_;
        if (delta > 0) {
            auto const segment = static_cast<int32_t>(std::min<int64_t>(delta, count));
            eventsComplete_ = false;
            runSegment(segment);
            eventsComplete_ = true;
            count -= segment;
            if (count == 0)
                return; // events at or after the end of the block are not applied
            blockPosition_ += segment;
        }
        head = applyEventRun(head);
    }
    runSegment(count);
}

gmpi::MpEvent const* MpBase2::applyEventRun(gmpi::MpEvent const* head) {
    auto inRun = [this](gmpi::MpEvent const* event) { return event != nullptr && event->timeDelta <= blockPosition_; };

    bool pinStateChanged = false;
    for (auto* event = head; inRun(event); event = event->next) {
        pinStateChanged |= setsPinState(event);
        if (MpPinBase* pin = isPinEvent(event) ? findPin(event->parm1) : nullptr)
            pin->preProcessEvent(event);
    }
    for (auto* event = head; inRun(event); event = event->next) {
        if (event->eventType == gmpi::EVENT_GRAPH_START)
            onGraphStart();
        else if (MpPinBase* pin = isPinEvent(event) ? findPin(event->parm1) : nullptr)
            pin->processEvent(event);
    }
    if (pinStateChanged)
        onSetPins();

    auto* event = head;
    for (; inRun(event); event = event->next)
        if (MpPinBase* pin = isPinEvent(event) ? findPin(event->parm1) : nullptr)
            pin->postProcessEvent(event);
    return event;
}

void MpBase2::OnPinStreamingChange(bool isStreaming) {
    streamingCount_ += isStreaming ? 1 : -1;
    if (streamingCount_ != 0 && sleepMode_ != SleepMode::EvenWhileStreaming)
        currentSubProcess_ = savedSubProcess_;
    else
        currentSubProcess_ = &MpBase2::subProcessPreSleep;
}

void MpBase2::installSubProcess(SubProcess blockFunction) {
    if (currentSubProcess_ == savedSubProcess_)
        currentSubProcess_ = blockFunction;
    savedSubProcess_ = blockFunction;
}

void MpBase2::setSleep(bool sleep) {
    if (sleep) {
        currentSubProcess_ = &MpBase2::subProcessPreSleep;
        sleepMode_ = SleepMode::EvenWhileStreaming;
    } else {
        sleepMode_ = SleepMode::Never;
    }
}

void MpBase2::subProcessPreSleep(int32_t sampleFrames) {
    int32_t const entryPosition = blockPosition_;
    while (sleepMode_ == SleepMode::EvenWhileStreaming ||
           (sleepMode_ == SleepMode::WhenNothingStreams && streamingCount_ == 0)) {
        if (sleepCountdown_ < 1) {
            if (eventsComplete_) {
                if (gmpi::IMpHost* host = getHost())
                    host->sleep();
                blockPosition_ = entryPosition;
                return;
            }
            sleepCountdown_ = sampleFrames;
        }
        if (sampleFrames <= 0) {
            blockPosition_ = entryPosition;
            return;
        }
        int32_t const samples = std::min(sleepCountdown_, sampleFrames);
        sleepCountdown_ -= samples;
        (this->*savedSubProcess_)(samples);
        sampleFrames -= samples;
        blockPosition_ += samples;
    }
    currentSubProcess_ = savedSubProcess_;
    if (sampleFrames > 0)
        (this->*currentSubProcess_)(sampleFrames);
    blockPosition_ = entryPosition;
}

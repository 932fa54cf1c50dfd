#include <climits>
#include <cwchar>

#include "sdk/MpAudioPins.h"
#include "sdk/MpControlPin.h"
#include "sdk/MpMidiPins.h"
#include "sdk/MpPluginBase.h"

void const* eventPayload(gmpi::MpEvent const* event, int32_t& size) {
    size = event->parm2 > 0 ? event->parm2 : 0;
    if (event->extraData != nullptr)
        return event->extraData;
    size = std::min(size, 8);
    return &event->parm3;
}

void MpPinBase::attach(MpPluginBase* plugin, int32_t pinIndex, MpEventHandler handler) {
    plugin_ = plugin;
    pinIndex_ = pinIndex;
    eventHandler_ = handler;
}

void MpPinBase::processEvent(gmpi::MpEvent const* event) {
    if (eventHandler_ != nullptr)
        (plugin_->*eventHandler_)(event);
}

void MpPinBase::sendPinUpdate(int32_t rawSize, void const* rawData, int32_t blockPosition) {
    gmpi::IMpHost* host = plugin_ != nullptr ? plugin_->getHost() : nullptr;
    if (host == nullptr)
        return;
    int32_t const timestamp = blockPosition == -1 ? plugin_->getBlockPosition() : blockPosition;
    host->setPin(timestamp, pinIndex_, rawSize, rawData);
}

static bool isStreamingEvent(gmpi::MpEvent const* event) {
    return event->eventType == gmpi::EVENT_PIN_STREAMING_START || event->eventType == gmpi::EVENT_PIN_STREAMING_STOP;
}

void AudioInPin::preProcessEvent(gmpi::MpEvent const* event) {
    if (!isStreamingEvent(event))
        return;
    updated_ = true;
    bool const streaming = event->eventType == gmpi::EVENT_PIN_STREAMING_START;
    if (streaming != streaming_) {
        streaming_ = streaming;
        plugin_->OnPinStreamingChange(streaming);
    }
    if (!streaming_)
        plugin_->keepAwakeAtLeast(1);
}

void AudioInPin::postProcessEvent(gmpi::MpEvent const* event) {
    if (isStreamingEvent(event))
        updated_ = false;
}

void AudioOutPin::setStreaming(bool isStreaming, int32_t blockPosition) {
    int32_t const timestamp = blockPosition == -1 ? plugin_->getBlockPosition() : blockPosition;
    if (isStreaming != streaming_) {
        streaming_ = isStreaming;
        plugin_->OnPinStreamingChange(isStreaming);
    }
    if (!streaming_)
        plugin_->resetSleepCounter();
    if (gmpi::IMpHost* host = plugin_->getHost())
        host->setPinStreaming(timestamp, pinIndex_, streaming_ ? 1 : 0);
}

MpEventHandler MidiInPin::getDefaultEventHandler() { return &MpPluginBase::midiHelper; }

std::string narrowText(std::wstring const& wide) {
    size_t const length = std::wcstombs(nullptr, wide.c_str(), 0);
    if (length == static_cast<size_t>(-1))
        return {};
    std::string narrow(length, '\0');
    std::wcstombs(narrow.data(), wide.c_str(), length + 1);
    return narrow;
}

std::wstring wideText(std::string const& narrow) {
    size_t const length = std::mbstowcs(nullptr, narrow.c_str(), 0);
    if (length == static_cast<size_t>(-1))
        return {};
    std::wstring wide(length, L'\0');
    std::mbstowcs(wide.data(), narrow.c_str(), length + 1);
    return wide;
}

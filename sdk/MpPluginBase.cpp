#include "sdk/MpPluginBase.h"

#include <algorithm>

int32_t MpPluginBase::queryInterface(gmpi::MpGuid const& iid, void** returnInterface) {
    if (returnInterface == nullptr)
        return gmpi::MP_FAIL;
    *returnInterface = nullptr;
    if (iid == MP_IID_UNKNOWN || iid == MP_IID_PLUGIN)
        *returnInterface = static_cast<gmpi::IMpPlugin*>(this);
    else if (iid == MP_IID_PLUGIN2)
        *returnInterface = static_cast<gmpi::IMpPlugin2*>(this);
    else if (iid == MP_IID_LEGACY_INITIALIZATION)
        *returnInterface = static_cast<gmpi::IMpLegacyInitialization*>(this);
    else
        return gmpi::MP_NOSUPPORT;
    addRef();
    return gmpi::MP_OK;
}

int32_t MpPluginBase::release() {
    int32_t const remaining = --referenceCount_;
    if (remaining == 0)
        delete this;
    return remaining;
}

MpPluginBase::~MpPluginBase() {
    pins_.clear();
    releaseHostInterfaces();
}

void MpPluginBase::releaseHostInterfaces() {
    if (host_ != nullptr)
        host_->release();
    if (processorHost_ != nullptr)
        processorHost_->release();
    host_ = nullptr;
    processorHost_ = nullptr;
}

int32_t MpPluginBase::setHost(gmpi::IMpUnknown* host) {
    releaseHostInterfaces();
    if (host == nullptr)
        return gmpi::MP_NOSUPPORT;
    void* processorHost = nullptr;
    if (host->queryInterface(MP_IID_PROCESSOR_HOST, &processorHost) == gmpi::MP_OK)
        processorHost_ = static_cast<gmpi::IMpUnknown*>(processorHost);
    void* audioHost = nullptr;
    int32_t const result = host->queryInterface(MP_IID_HOST, &audioHost);
    host_ = result == gmpi::MP_OK ? static_cast<gmpi::IMpHost*>(audioHost) : nullptr;
    return result;
}

int32_t MpPluginBase::setBuffer(int32_t pinIndex, float* buffer) {
    MpPinBase* pin = findPin(pinIndex);
    if (pin == nullptr)
        return gmpi::MP_FAIL;
    pin->setBuffer(buffer);
    return gmpi::MP_OK;
}

int32_t MpPluginBase::process(int32_t count, gmpi::MpEvent* events) {
    return process(count, static_cast<gmpi::MpEvent const*>(events));
}

// Each form of receiveMessageFromGui calls the other once, so a module may override either.
int32_t MpPluginBase::receiveMessageFromGui(int32_t id, int32_t size, void* messageData) {
    if (messageGuard_)
        return gmpi::MP_OK;
    messageGuard_ = true;
    int32_t const result = receiveMessageFromGui(id, size, static_cast<void const*>(messageData));
    messageGuard_ = false;
    return result;
}

int32_t MpPluginBase::receiveMessageFromGui(int32_t id, int32_t size, void const* messageData) {
    if (messageGuard_)
        return gmpi::MP_OK;
    messageGuard_ = true;
    int32_t const result = receiveMessageFromGui(id, size, const_cast<void*>(messageData));
    messageGuard_ = false;
    return result;
}

int32_t MpPluginBase::onMidiMessage(int32_t pinIndex, unsigned char const* midiMessage, int32_t size) {
    return onMidiMessage(pinIndex, const_cast<unsigned char*>(midiMessage), size);
}

int32_t MpPluginBase::onMidiMessage(int32_t, unsigned char*, int32_t) { return gmpi::MP_OK; }

void MpPluginBase::midiHelper(gmpi::MpEvent const* event) {
    int32_t size = 0;
    void const* data = eventPayload(event, size);
    onMidiMessage(event->parm1, static_cast<unsigned char const*>(data), size);
}

void MpPluginBase::onGraphStart() {
    for (auto const& [index, pin] : pins_)
        if (pin->getDirection() == gmpi::MP_OUT)
            pin->sendFirstUpdate();
}

// At least one sample whatever the host answers: a host countdown of 0 (or none at all)
// would otherwise put the module to sleep before it computed the new static value once, and
// the output would keep its old level; it would also cancel the one sample a stopped input
// is owed in the same batch.
void MpPluginBase::resetSleepCounter() {
    int32_t countdown = 0;
    if (host_ != nullptr)
        host_->getSleepCountdown(&countdown);
    sleepCountdown_ = std::max(countdown, 1);
}

void MpPluginBase::keepAwakeAtLeast(int32_t samples) { sleepCountdown_ = std::max(sleepCountdown_, samples); }

void MpPluginBase::initializePin(int32_t pinIndex, MpPinBase& pin, MpEventHandler handler) {
    if (handler == nullptr && pin.getDirection() == gmpi::MP_IN)
        handler = pin.getDefaultEventHandler();
    pin.attach(this, pinIndex, handler);
    pins_.try_emplace(pinIndex, &pin);
}

void MpPluginBase::initializePin(MpPinBase& pin, MpEventHandler handler) {
    int32_t const nextIndex = pins_.empty() ? 0 : pins_.rbegin()->first + 1;
    initializePin(nextIndex, pin, handler);
}

MpPinBase* MpPluginBase::findPin(int32_t pinIndex) const {
    auto const found = pins_.find(pinIndex);
    return found == pins_.end() ? nullptr : found->second;
}

#include "sdk/MpGuiBase2.h"

namespace {

// Asks `host` for `iid`; null when refused.
template <typename Interface>
Interface* queryHost(gmpi::IMpUnknown* host, gmpi::MpGuid const& iid) {
    void* answer = nullptr;
    if (host->queryInterface(iid, &answer) != gmpi::MP_OK)
        return nullptr;
    return static_cast<Interface*>(answer);
}

template <typename Interface>
void releaseAndClear(Interface*& reference) {
    if (reference != nullptr)
        reference->release();
    reference = nullptr;
}

} // namespace

int32_t MpGuiBase2::queryInterface(gmpi::MpGuid const& iid, void** returnInterface) {
    if (returnInterface == nullptr)
        return gmpi::MP_FAIL;
    *returnInterface = nullptr;
    if (iid != MP_IID_UNKNOWN && iid != MP_IID_GUI_PLUGIN2 && iid != MP_IID_GUI_PLUGIN2B)
        return gmpi::MP_NOSUPPORT;
    *returnInterface = static_cast<gmpi::IMpUserInterface2B*>(this);
    addRef();
    return gmpi::MP_OK;
}

MpGuiBase2::~MpGuiBase2() {
    pins_.clear();
    releaseHostInterfaces();
}

void MpGuiBase2::releaseHostInterfaces() {
    releaseAndClear(uiHost_);
    releaseAndClear(olderUiHost_);
    releaseAndClear(secondUiHostReference_);
}

int32_t MpGuiBase2::setHost(gmpi::IMpUnknown* host) {
    releaseHostInterfaces();
    if (host == nullptr)
        return gmpi::MP_NOSUPPORT;
    uiHost_ = queryHost<gmpi::IMpUserInterfaceHost2>(host, MP_IID_UI_HOST2);
    olderUiHost_ = queryHost<gmpi::IMpUserInterfaceHost>(host, MP_IID_UI_HOST);
    secondUiHostReference_ = queryHost<gmpi::IMpUserInterfaceHost2>(host, MP_IID_UI_HOST2);
    return uiHost_ != nullptr ? gmpi::MP_OK : gmpi::MP_NOSUPPORT;
}

int32_t MpGuiBase2::setPin(int32_t pinIndex, int32_t voice, int32_t size, void const* data) {
    MpGuiPinBase* pin = getPin(pinIndex);
    if (pin == nullptr)
        return gmpi::MP_FAIL;
    try {
        pin->set(voice, size, data); // a text or blob that grows may fail to allocate
    } catch (...) {
        return gmpi::MP_FAIL;
    }
    return gmpi::MP_OK;
}

int32_t MpGuiBase2::notifyPin(int32_t pinIndex, int32_t voice) {
    MpGuiPinBase* pin = getPin(pinIndex);
    if (pin == nullptr)
        return gmpi::MP_FAIL;
    try {
        pin->notify(voice);
    } catch (...) {
        return gmpi::MP_FAIL;
    }
    return gmpi::MP_OK;
}

int32_t MpGuiBase2::pinTransmit(int32_t pinIndex, int32_t size, void const* data, int32_t voice) {
    if (uiHost_ == nullptr)
        return gmpi::MP_FAIL;
    return uiHost_->pinTransmit(pinIndex, size, data, voice);
}

void MpGuiBase2::attachPin(int32_t pinIndex, MpGuiPinBase& pin, std::unique_ptr<IGuiPinCallbackImpl> handler) {
    if (pins_.contains(pinIndex))
        return;
    pin.attach(this, pinIndex, std::move(handler));
    pins_.emplace(pinIndex, &pin);
}

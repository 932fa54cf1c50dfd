#pragma once
// The base of every GUI-side module: the pins, the host's UI interfaces, and the operations a
// host drives through IMpUserInterface2B. Modules derive from SeGuiInvisibleBase (no drawing
// surface) or gmpi_gui::MpGuiGfxBase (sdk/MpGuiGfxBase.h).

#include <memory>

#include "sdk/GuiInterfaces.h"
#include "sdk/MpGuiPin.h"

class MpGuiBase2 : public gmpi::IMpUserInterface2B, public GuiPinOwner {
public:
    // Registration: sub-type and the interface pointer a creation function hands the host.
    static constexpr int32_t kRegistrationSubType = 2;
    static gmpi::IMpUnknown* hostInterfaceOf(MpGuiBase2* module) {
        return static_cast<gmpi::IMpUserInterface2B*>(module);
    }

    MpGuiBase2() = default;
    MpGuiBase2(MpGuiBase2 const&) = delete;
    MpGuiBase2& operator=(MpGuiBase2 const&) = delete;

    // [ui thread] Answers MP_IID_UNKNOWN, MP_IID_GUI_PLUGIN2 and MP_IID_GUI_PLUGIN2B with the
    // module; addRef and release come from the derived base.
    int32_t queryInterface(gmpi::MpGuid const& iid, void** returnInterface) override;
    // Releases the host interfaces held so far, then obtains MP_IID_UI_HOST2, MP_IID_UI_HOST
    // and MP_IID_UI_HOST2 again, each held until the next setHost or the module's end. MP_OK
    // when the UI host was obtained; MP_NOSUPPORT otherwise, and then pin writes are dropped.
    int32_t setHost(gmpi::IMpUnknown* host) override;
    int32_t initialize() override { return gmpi::MP_OK; }
    // Copies the value into the pin; its handler runs at notifyPin. MP_FAIL for an unknown
    // pin, or when the copy could not be allocated.
    int32_t setPin(int32_t pinIndex, int32_t voice, int32_t size, void const* data) override;
    // Not taken by this bundle's modules (sdk/GuiInterfaces.h): MP_FAIL.
    int32_t receiveMessageFromAudio(int32_t, int32_t, void const*) override { return gmpi::MP_FAIL; }
    int32_t populateContextMenu(float, float, gmpi::IMpUnknown*) override { return gmpi::MP_FAIL; }
    int32_t onContextMenu(int32_t) override { return gmpi::MP_FAIL; }
    int32_t getToolTip(float, float, gmpi::IMpUnknown*) override { return gmpi::MP_FAIL; }
    // Runs the pin's handler. MP_FAIL for an unknown pin, or when the handler threw: nothing
    // a handler throws reaches the host.
    int32_t notifyPin(int32_t pinIndex, int32_t voice) override;

    virtual ~MpGuiBase2();

    // Transmits through the UI host: its result, or MP_FAIL when there is none.
    int32_t pinTransmit(int32_t pinIndex, int32_t size, void const* data, int32_t voice) override;

protected:
    // Pin indices are stored in users' patches: modules register pins in index order and
    // only ever append.
    // [construction] Registers a member pin (not owned) with its handler, which the pin owns;
    // an index already taken keeps its first pin. The index-less forms take one more than the
    // highest index so far.
    template <typename Module>
    void initializePin(int32_t pinIndex, MpGuiPinBase& pin, void (Module::*handler)()) {
        attachPin(pinIndex, pin, std::make_unique<IGuiPinCallback<Module>>(static_cast<Module*>(this), handler));
    }
    template <typename Module>
    void initializePin(MpGuiPinBase& pin, void (Module::*handler)()) {
        initializePin(nextPinIndex(), pin, handler);
    }
    void initializePin(int32_t pinIndex, MpGuiPinBase& pin) { attachPin(pinIndex, pin, nullptr); }
    void initializePin(MpGuiPinBase& pin) { attachPin(nextPinIndex(), pin, nullptr); }

    // Null when the host refused; the module keeps the reference.
    gmpi::IMpUserInterfaceHost2* getUiHost() const { return uiHost_; }
    gmpi::IMpUserInterfaceHost* getOlderUiHost() const { return olderUiHost_; }

private:
    void attachPin(int32_t pinIndex, MpGuiPinBase& pin, std::unique_ptr<IGuiPinCallbackImpl> handler);
    int32_t nextPinIndex() const { return pins_.empty() ? 0 : pins_.rbegin()->first + 1; }
    void releaseHostInterfaces();

    gmpi::IMpUserInterfaceHost2* uiHost_ = nullptr;
    gmpi::IMpUserInterfaceHost* olderUiHost_ = nullptr;
    gmpi::IMpUserInterfaceHost2* secondUiHostReference_ = nullptr;
};

// The base of GUI modules without a drawing surface: adds the reference count.
class SeGuiInvisibleBase : public MpGuiBase2 {
public:
    int32_t addRef() override { return ++referenceCount_; }
    // Deletes the module when the last reference goes.
    int32_t release() override {
        int32_t const remaining = --referenceCount_;
        if (remaining == 0)
            delete this;
        return remaining;
    }

private:
    int32_t referenceCount_ = 1;
};

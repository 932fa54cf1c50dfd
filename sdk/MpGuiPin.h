#pragma once
// GUI pins: one value per pin, stored by the host's setPin, announced to the module by
// notifyPin (which runs the pin's handler), and transmitted to the host when the module
// assigns a new value. The raw forms are those of the audio side (sdk/RawValue.h), with
// the sizes the host gives never trusted.

#include <bit>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "sdk/Interfaces.h"
#include "sdk/MpBlob.h"
#include "sdk/RawValue.h"
#include "sdk/Utf8.h"

class MpGuiPinBase;

// Holds the pins of a GUI module and sends their values to the host.
class GuiPinOwner {
public:
    virtual ~GuiPinOwner() = default;
    // Sends a pin value (read only during the call) to the host; the host's result, or MP_FAIL
    // without a host.
    virtual int32_t pinTransmit(int32_t pinIndex, int32_t size, void const* data, int32_t voice) = 0;

    // The pin registered under `pinIndex`, null for none; the module owns it.
    MpGuiPinBase* getPin(int32_t pinIndex) const {
        auto const found = pins_.find(pinIndex);
        return found == pins_.end() ? nullptr : found->second;
    }
    // Registers `pin` under `pinIndex` without a handler; a taken index keeps its pin.
    void addPin(int32_t pinIndex, MpGuiPinBase& pin);

protected:
    std::map<int32_t, MpGuiPinBase*> pins_;
};

// Handler objects: what a pin calls when the host notifies it (notifyPin). The pin owns its
// handler object.
class IGuiPinCallbackImpl {
public:
    virtual ~IGuiPinCallbackImpl() = default;
    virtual void invoke(int32_t voice) = 0;
};

// Calls a member function of the module without arguments (every module of the bundle).
template <typename Module>
class IGuiPinCallback final : public IGuiPinCallbackImpl {
public:
    IGuiPinCallback(Module* module, void (Module::*handler)()) : module_(module), handler_(handler) {}
    void invoke(int32_t) override { (module_->*handler_)(); }

private:
    Module* module_;
    void (Module::*handler_)();
};

// Calls a member function of the module with the voice.
template <typename Module>
class IGuiPinCallbackIndexed final : public IGuiPinCallbackImpl {
public:
    IGuiPinCallbackIndexed(Module* module, void (Module::*handler)(int32_t)) : module_(module), handler_(handler) {}
    void invoke(int32_t voice) override { (module_->*handler_)(voice); }

private:
    Module* module_;
    void (Module::*handler_)(int32_t);
};

class MpGuiPinBase {
public:
    MpGuiPinBase() = default;
    MpGuiPinBase(MpGuiPinBase const&) = delete;
    MpGuiPinBase& operator=(MpGuiPinBase const&) = delete;
    virtual ~MpGuiPinBase() = default;

    // Stores a value from the host; whether it changed. Never reads beyond `size` bytes of
    // `data`; a negative size or null data counts as no bytes.
    virtual bool set(int32_t voice, int32_t size, void const* data) = 0;
    virtual int32_t getDatatype() const = 0;
    // The stored value's raw form, owned by the pin and valid until the value changes.
    virtual int32_t rawSize() const = 0;
    virtual void const* rawData() const = 0;
    // Not consulted by the GUI base: null.
    virtual IGuiPinCallbackImpl* getDefaultEventHandler() { return nullptr; }

    // Registration, called by the module's initializePin.
    void attach(GuiPinOwner* owner, int32_t pinIndex, std::unique_ptr<IGuiPinCallbackImpl> handler) {
        owner_ = owner;
        pinIndex_ = pinIndex;
        handler_ = std::move(handler);
    }
    int32_t getPinId() const { return pinIndex_; }
    // Runs the handler, if the pin has one.
    void notify(int32_t voice) {
        if (handler_)
            handler_->invoke(voice);
    }

protected:
    // Sends the stored value with voice 0; the result is not used.
    void transmit() {
        if (owner_ != nullptr)
            owner_->pinTransmit(pinIndex_, rawSize(), rawData(), 0);
    }

    int32_t pinIndex_ = -1;
    GuiPinOwner* owner_ = nullptr;
    std::unique_ptr<IGuiPinCallbackImpl> handler_;
};

inline void GuiPinOwner::addPin(int32_t pinIndex, MpGuiPinBase& pin) {
    if (pins_.try_emplace(pinIndex, &pin).second)
        pin.attach(this, pinIndex, nullptr);
}

namespace gmpi::gui_detail {

template <typename T> constexpr int32_t datatypeOf = 0;
template <> inline constexpr int32_t datatypeOf<int32_t> = MP_ENUM; // every GUI int pin reports enum
template <> inline constexpr int32_t datatypeOf<float> = MP_FLOAT32;
template <> inline constexpr int32_t datatypeOf<bool> = MP_BOOL;
template <> inline constexpr int32_t datatypeOf<std::wstring> = MP_STRING;
template <> inline constexpr int32_t datatypeOf<MpBlob> = MP_BLOB;

inline bool sameBits(float a, float b) { return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b); }

// Whether the incoming raw bytes differ from the value's raw form.
template <typename T>
bool rawDiffers(T const& value, int32_t size, void const* data) {
    if (size != raw::size(value))
        return true;
    return size > 0 && std::memcmp(raw::data(value), data, static_cast<std::size_t>(size)) != 0;
}

} // namespace gmpi::gui_detail

template <typename T>
class MpGuiPin : public MpGuiPinBase {
public:
    bool set(int32_t /*voice*/, int32_t size, void const* data) override {
        if (data == nullptr || size < 0)
            size = 0;
        if constexpr (std::is_same_v<T, bool>) {
            bool const previous = value_;
            gmpi::raw::assign(value_, size, data);
            // A 4-byte int32 always counts as a change, one byte only when it differs, and no
            // bytes at all keep the value.
            return size == 1 ? previous != value_ : size != 0;
        } else if constexpr (std::is_same_v<T, float>) {
            float const previous = value_;
            gmpi::raw::assign(value_, size, data);
            return size != 4 || !gmpi::gui_detail::sameBits(previous, value_);
        } else if constexpr (std::is_same_v<T, int32_t>) {
            int32_t const previous = value_;
            gmpi::raw::assign(value_, size, data);
            return size != 4 || previous != value_;
        } else {
            bool const changed = gmpi::gui_detail::rawDiffers(value_, size, data);
            gmpi::raw::assign(value_, size, data);
            return changed;
        }
    }
    int32_t getDatatype() const override { return gmpi::gui_detail::datatypeOf<T>; }
    int32_t rawSize() const override { return gmpi::raw::size(value_); }
    void const* rawData() const override { return gmpi::raw::data(value_); }

    T const& getValue() const { return value_; }
    operator T const&() const { return value_; }

    // Stores and transmits a value that differs from the stored one. The pin never runs its
    // handler; an echoing host may, through notifyPin, before this returns.
    MpGuiPin& operator=(T const& value) {
        if (!(value_ == value)) {
            value_ = value;
            transmit();
        }
        return *this;
    }

protected:
    T value_{};
};

// A text pin that also speaks UTF-8. Both conversions throw std::range_error on text they
// cannot convert (sdk/Utf8.h).
class StringGuiPin : public MpGuiPin<std::wstring> {
public:
    using MpGuiPin::operator=;
    StringGuiPin& operator=(std::string const& utf8) {
        MpGuiPin::operator=(gmpi_sdk::wideFromUtf8(utf8));
        return *this;
    }
    explicit operator std::string() const { return gmpi_sdk::utf8FromWide(value_); }
};

#pragma once
// Control pins: one value per pin, set by timed value events and read in onSetPins().

#include <cstdlib>
#include <string>

#include "sdk/MpBlob.h"
#include "sdk/MpPinBase.h"
#include "sdk/RawValue.h"

template <typename T, int32_t pinDatatype>
class MpControlPinBase : public MpPinBase {
public:
    // Copies the value from `size` bytes of `data` by the raw rules (sdk/RawValue.h), without
    // sending it; sizes beyond INT32_MAX count as INT32_MAX.
    virtual void setValueRaw(int32_t size, void const* data) { gmpi::raw::assign(value_, size, data); }
    virtual void setValueRaw(size_t size, void const* data) {
        setValueRaw(static_cast<int32_t>(std::min<size_t>(size, INT32_MAX)), data);
    }
    // The stored value's raw form, owned by the pin and valid until the value changes.
    virtual int32_t rawSize() const { return gmpi::raw::size(value_); }
    virtual void const* rawData() const { return gmpi::raw::data(value_); }

    void preProcessEvent(gmpi::MpEvent const* event) override {
        if (event->eventType != gmpi::EVENT_PIN_SET)
            return;
        int32_t size = 0;
        void const* data = eventPayload(event, size);
        setValueRaw(size, data);
        updated_ = true;
    }
    void postProcessEvent(gmpi::MpEvent const* event) override {
        if (event->eventType == gmpi::EVENT_PIN_SET)
            updated_ = false;
    }
    int32_t getDatatype() const override { return pinDatatype; }
    void sendFirstUpdate() override { sendPinUpdate(rawSize(), rawData()); }

    // True only while the run of events that gave this pin a value is applied: in its
    // handlers, graph start and onSetPins().
    bool isUpdated() const { return updated_; }
    // Valid until the pin's value changes.
    T const& getValue() const { return value_; }
    operator T const&() const { return value_; }

protected:
    T value_{};
    bool updated_ = false;
};

template <typename T, int32_t direction, int32_t pinDatatype>
class MpControlPin : public MpControlPinBase<T, pinDatatype> {
public:
    int32_t getDirection() const override { return direction; }

    // Outputs: a new value is stored and sent at `blockPosition` (-1: the current position);
    // an equal value sends nothing, and without a host the value is only stored.
    void setValue(T const& value, int32_t blockPosition = -1)
        requires(direction == gmpi::MP_OUT)
    {
        if (this->value_ == value)
            return;
        this->value_ = value;
        this->sendPinUpdate(this->rawSize(), this->rawData(), blockPosition);
    }
    MpControlPin& operator=(T const& value)
        requires(direction == gmpi::MP_OUT)
    {
        setValue(value);
        return *this;
    }
};

using IntInPin = MpControlPin<int32_t, gmpi::MP_IN, gmpi::MP_INT32>;
using IntOutPin = MpControlPin<int32_t, gmpi::MP_OUT, gmpi::MP_INT32>;
using EnumInPin = MpControlPin<int32_t, gmpi::MP_IN, gmpi::MP_ENUM>;
using EnumOutPin = MpControlPin<int32_t, gmpi::MP_OUT, gmpi::MP_ENUM>;
using FloatInPin = MpControlPin<float, gmpi::MP_IN, gmpi::MP_FLOAT32>;
using FloatOutPin = MpControlPin<float, gmpi::MP_OUT, gmpi::MP_FLOAT32>;
using BoolInPin = MpControlPin<bool, gmpi::MP_IN, gmpi::MP_BOOL>;
using BoolOutPin = MpControlPin<bool, gmpi::MP_OUT, gmpi::MP_BOOL>;
using BlobInPin = MpControlPin<MpBlob, gmpi::MP_IN, gmpi::MP_BLOB>;
using BlobOutPin = MpControlPin<MpBlob, gmpi::MP_OUT, gmpi::MP_BLOB>;

// Narrow texts use the C library's multibyte conversion of the current locale; a text that
// does not convert becomes empty.
std::string narrowText(std::wstring const& wide);
std::wstring wideText(std::string const& narrow);

class StringInPin : public MpControlPin<std::wstring, gmpi::MP_IN, gmpi::MP_STRING> {
public:
    explicit operator std::string() const { return narrowText(value_); }
};

class StringOutPin : public MpControlPin<std::wstring, gmpi::MP_OUT, gmpi::MP_STRING> {
public:
    using MpControlPin::operator=;
    StringOutPin& operator=(std::string const& narrow) {
        setValue(wideText(narrow));
        return *this;
    }
};

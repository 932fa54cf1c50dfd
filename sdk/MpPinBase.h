#pragma once
// The root of every audio-side pin: its index, its module and its event handler.

#include <cstdint>

#include "sdk/Interfaces.h"

class MpPluginBase;

// A member function of the module that receives a pin's events (MIDI inputs use one).
using MpEventHandler = void (MpPluginBase::*)(gmpi::MpEvent const* event);

// The bytes an event carries and their usable count: a negative size counts as none, and an
// event without extraData never yields more than its 8 inline bytes.
void const* eventPayload(gmpi::MpEvent const* event, int32_t& size);

class MpPinBase {
public:
    virtual ~MpPinBase() = default;
    virtual void setBuffer(float* /*buffer*/) {}
    virtual void preProcessEvent(gmpi::MpEvent const* /*event*/) {}
    // Calls the pin's handler, if it has one.
    virtual void processEvent(gmpi::MpEvent const* event);
    virtual void postProcessEvent(gmpi::MpEvent const* /*event*/) {}
    virtual int32_t getDatatype() const = 0;
    virtual int32_t getDirection() const = 0;
    virtual MpEventHandler getDefaultEventHandler() { return nullptr; }
    // At graph start: an output tells the host its current value or streaming state.
    virtual void sendFirstUpdate() = 0;

    // Sends a value on this pin at `blockPosition`, or at the module's block position for -1.
    void sendPinUpdate(int32_t rawSize, void const* rawData, int32_t blockPosition = -1);

    // Registration, called by the module's initializePin.
    void attach(MpPluginBase* plugin, int32_t pinIndex, MpEventHandler handler);
    int32_t getPinId() const { return pinIndex_; }

protected:
    int32_t pinIndex_ = -1;
    MpPluginBase* plugin_ = nullptr;
    MpEventHandler eventHandler_ = nullptr;
};

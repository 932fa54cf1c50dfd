#pragma once
// The root of every audio-side pin: its index, its module and its event handler.

#include <cstdint>

#include "sdk/Interfaces.h"

class MpPluginBase;

// A member function of the module that receives a pin's events (MIDI inputs use one).
using MpEventHandler = void (MpPluginBase::*)(gmpi::MpEvent const* event);

// The bytes an event carries and their usable count: a negative size counts as none, and an
// event without extraData never yields more than its 8 inline bytes. The pointer is into the
// host's event (or its extraData), valid only during process.
void const* eventPayload(gmpi::MpEvent const* event, int32_t& size);

// [audio thread] The event passes and the sends run inside the module's process; registration
// runs at construction. A pin is a member of its module and lives as long as it.
class MpPinBase {
public:
    virtual ~MpPinBase() = default;
    // Audio pins keep `buffer` (not owned); other pins ignore it.
    virtual void setBuffer(float* /*buffer*/) {}
    // The event walk's three passes over a run of events at one block position, each pin
    // seeing its own events: store the value or streaming state, then run the handler (before
    // onSetPins), then clear the run's updated flags (after it).
    virtual void preProcessEvent(gmpi::MpEvent const* /*event*/) {}
    // Calls the pin's handler, if it has one.
    virtual void processEvent(gmpi::MpEvent const* event);
    virtual void postProcessEvent(gmpi::MpEvent const* /*event*/) {}
    virtual int32_t getDatatype() const = 0;
    virtual int32_t getDirection() const = 0;
    // The handler an input gets when registered without one; null for none.
    virtual MpEventHandler getDefaultEventHandler() { return nullptr; }
    // At graph start: an output tells the host its current value or streaming state.
    virtual void sendFirstUpdate() = 0;

    // Sends `rawSize` bytes of `rawData` (read only during the call) through the host's
    // setPin, at `blockPosition`, or at the module's block position for -1. The pin's stored
    // value stays as it is. Nothing is sent without a host.
    void sendPinUpdate(int32_t rawSize, void const* rawData, int32_t blockPosition = -1);

    // Registration, called by the module's initializePin.
    void attach(MpPluginBase* plugin, int32_t pinIndex, MpEventHandler handler);
    int32_t getPinId() const { return pinIndex_; }

protected:
    int32_t pinIndex_ = -1;
    MpPluginBase* plugin_ = nullptr;
    MpEventHandler eventHandler_ = nullptr;
};

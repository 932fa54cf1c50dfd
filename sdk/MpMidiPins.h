#pragma once
// MIDI pins: events whose bytes go to the module's onMidiMessage.

#include "sdk/MpPinBase.h"

// An input's events go to MpPluginBase::midiHelper unless the module registers a handler.
class MidiInPin : public MpPinBase {
public:
    int32_t getDatatype() const override { return gmpi::MP_MIDI; }
    int32_t getDirection() const override { return gmpi::MP_IN; }
    MpEventHandler getDefaultEventHandler() override;
    void sendFirstUpdate() override {}
};

class MidiOutPin : public MidiInPin {
public:
    int32_t getDirection() const override { return gmpi::MP_OUT; }
    // Sends `size` bytes (read only during the call) at `blockPosition` (-1: the module's
    // block position); nothing without a host.
    void send(unsigned char const* bytes, int32_t size, int32_t blockPosition = -1) {
        sendPinUpdate(size, bytes, blockPosition);
    }
};

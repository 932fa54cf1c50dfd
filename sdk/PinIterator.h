#pragma once
// [audio thread] Walks a module's pins as the host describes them, through the host's pin
// iterator. Used in open() by modules that count their inputs.

#include "sdk/Interfaces.h"

class MpPluginBase;

// The properties of the pin a walk is on.
class IPinProperties {
public:
    virtual int32_t getDirection() = 0;
    virtual int32_t getDatatype() = 0;
    virtual int32_t getUniqueId() = 0;
};

class PinIterator : public IPinProperties {
public:
    // Asks the module's host for an iterator and holds its reference until destroyed;
    // without a host, or for an answer other than MP_OK or a null one, the walk is empty.
    explicit PinIterator(MpPluginBase const& module);
    ~PinIterator();
    PinIterator(PinIterator const&) = delete;
    PinIterator& operator=(PinIterator const&) = delete;

    // 0 while positioned on a pin, non-zero past the end (MP_FAIL without an iterator).
    int32_t first();
    int32_t next();
    // 0 without an iterator, or when the host writes none.
    int32_t getCount();

    // The current pin's properties; -1 past the end, without an iterator, or when the host
    // writes none.
    int32_t getDirection() override;
    int32_t getDatatype() override;
    int32_t getUniqueId() override;

private:
    gmpi::IMpPinIterator* iterator_ = nullptr;
};

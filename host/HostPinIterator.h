#pragma once
// The pin iterator the audio host hands to a module: the module's pins as the host describes
// them.

#include <atomic>
#include <vector>

#include "sdk/Interfaces.h"

namespace zr::host {

struct IteratorPin {
    int32_t id = 0;
    int32_t direction = gmpi::MP_IN;
    int32_t datatype = gmpi::MP_INT32;
};

// Created with one reference for the module; deletes itself when the last is released.
class HostPinIterator final : public gmpi::IMpPinIterator {
public:
    explicit HostPinIterator(std::vector<IteratorPin> pins);

    // [audio thread]
    int32_t queryInterface(gmpi::MpGuid const& iid, void** returnInterface) override;
    int32_t addRef() override;
    int32_t release() override;
    int32_t getCount(int32_t* returnCount) override;
    // Both return 0 while positioned on a pin and MP_FAIL past the end.
    int32_t first() override;
    int32_t next() override;
    // MP_FAIL without writing when past the end or given a null pointer.
    int32_t getPinId(int32_t* returnId) override;
    int32_t getPinDirection(int32_t* returnDirection) override;
    int32_t getPinDatatype(int32_t* returnDatatype) override;

private:
    ~HostPinIterator() = default;
    bool onPin() const { return position_ < pins_.size(); }
    int32_t positionResult() const { return onPin() ? gmpi::MP_OK : gmpi::MP_FAIL; }
    int32_t writeField(int32_t IteratorPin::*field, int32_t* out) const;

    std::vector<IteratorPin> pins_;
    std::size_t position_ = 0;
    std::atomic<int32_t> referenceCount_{1};
};

} // namespace zr::host

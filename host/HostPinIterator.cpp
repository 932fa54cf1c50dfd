#include "host/HostPinIterator.h"

#include "host/HostBookkeeping.h"

namespace zr::host {

HostPinIterator::HostPinIterator(std::vector<IteratorPin> pins) : pins_(std::move(pins)) {}

int32_t HostPinIterator::queryInterface(gmpi::MpGuid const& iid, void** returnInterface) {
    if (!returnInterface)
        return gmpi::MP_FAIL;
    // The protocol names no identifier of its own for the iterator: modules use the
    // pointer that createPinIterator wrote.
    if (iid != MP_IID_UNKNOWN) {
        *returnInterface = nullptr;
        return gmpi::MP_NOSUPPORT;
    }
    *returnInterface = static_cast<gmpi::IMpUnknown*>(this);
    addRef();
    return gmpi::MP_OK;
}

int32_t HostPinIterator::addRef() { return ++referenceCount_; }

int32_t HostPinIterator::release() {
    int32_t const remaining = --referenceCount_;
    if (remaining == 0) {
        HostBookkeeping bookkeeping;
        delete this;
    }
    return remaining;
}

int32_t HostPinIterator::getCount(int32_t* returnCount) {
    if (!returnCount)
        return gmpi::MP_FAIL;
    *returnCount = static_cast<int32_t>(pins_.size());
    return gmpi::MP_OK;
}

int32_t HostPinIterator::first() {
    position_ = 0;
    return positionResult();
}

int32_t HostPinIterator::next() {
    if (onPin())
        ++position_;
    return positionResult();
}

int32_t HostPinIterator::writeField(int32_t IteratorPin::*field, int32_t* out) const {
    if (!out || !onPin())
        return gmpi::MP_FAIL;
    *out = pins_[position_].*field;
    return gmpi::MP_OK;
}

int32_t HostPinIterator::getPinId(int32_t* returnId) { return writeField(&IteratorPin::id, returnId); }

int32_t HostPinIterator::getPinDirection(int32_t* returnDirection) {
    return writeField(&IteratorPin::direction, returnDirection);
}

int32_t HostPinIterator::getPinDatatype(int32_t* returnDatatype) {
    return writeField(&IteratorPin::datatype, returnDatatype);
}

} // namespace zr::host

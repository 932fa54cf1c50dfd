#include "sdk/PinIterator.h"

#include "sdk/MpPluginBase.h"

PinIterator::PinIterator(MpPluginBase const& module) {
    gmpi::IMpHost* host = module.getHost();
    if (host == nullptr)
        return;
    void* iterator = nullptr;
    if (host->createPinIterator(&iterator) == gmpi::MP_OK)
        iterator_ = static_cast<gmpi::IMpPinIterator*>(iterator);
}

PinIterator::~PinIterator() {
    if (iterator_ != nullptr)
        iterator_->release();
}

int32_t PinIterator::first() { return iterator_ != nullptr ? iterator_->first() : gmpi::MP_FAIL; }
int32_t PinIterator::next() { return iterator_ != nullptr ? iterator_->next() : gmpi::MP_FAIL; }

// Each query starts from a defined answer, in case the host does not write one.
int32_t PinIterator::getCount() {
    int32_t count = 0;
    if (iterator_ != nullptr)
        iterator_->getCount(&count);
    return count;
}

int32_t PinIterator::getDirection() {
    int32_t direction = -1;
    if (iterator_ != nullptr)
        iterator_->getPinDirection(&direction);
    return direction;
}

int32_t PinIterator::getDatatype() {
    int32_t datatype = -1;
    if (iterator_ != nullptr)
        iterator_->getPinDatatype(&datatype);
    return datatype;
}

int32_t PinIterator::getUniqueId() {
    int32_t id = -1;
    if (iterator_ != nullptr)
        iterator_->getPinId(&id);
    return id;
}

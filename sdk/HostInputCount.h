#pragma once
// How many inputs of one datatype the host lists for this module instance. Modules whose
// number of inputs the user chooses (shapes to morph, node heights) learn it in open().

#include "sdk/PinIterator.h"

// The most pins walked: an iterator that never reports its end cannot hold open() forever,
// and the count that sizes the module's tables stays bounded.
inline constexpr int32_t kMaxHostPinsWalked = 1024;

// [audio thread, in open()] 0 without a host or an iterator; at most kMaxHostPinsWalked.
inline int32_t countHostInputs(MpPluginBase const& module, int32_t datatype) {
    PinIterator pins(module);
    int32_t count = 0;
    int32_t walked = 0;
    for (int32_t onPin = pins.first(); onPin == 0 && walked < kMaxHostPinsWalked; onPin = pins.next(), ++walked)
        if (pins.getDirection() == gmpi::MP_IN && pins.getDatatype() == datatype)
            ++count;
    return count;
}

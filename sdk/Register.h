#pragma once
// Static registration of a module class: one statement at the end of each module's file,
//   static auto registered = gmpi::Register<ZR_Waveshaper2>::withId(L"ZR_Waveshaper2");
// The module's base supplies the sub-type and the interface handed to the host.

#include "sdk/MpFactory.h"

namespace gmpi {

template <typename Module>
struct Register {
    static IMpUnknown* create() { return Module::hostInterfaceOf(new Module); }
    static int32_t withId(wchar_t const* uniqueId) {
        return RegisterPlugin(uniqueId, Module::kRegistrationSubType, &Register::create);
    }
};

} // namespace gmpi

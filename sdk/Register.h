#pragma once
// Static registration of a module class: one statement at the end of each module's file,
//   static auto registered = gmpi::Register<ZR_Waveshaper2>::withId(L"ZR_Waveshaper2");
// The module's base supplies the sub-type and the interface handed to the host.

#include "sdk/MpFactory.h"

namespace gmpi {

template <typename Module>
struct Register {
    // [any thread, from createInstance] A new module holding one reference, the caller's;
    // whatever its constructor throws reaches createInstance, which answers MP_FAIL.
    static IMpUnknown* create() { return Module::hostInterfaceOf(new Module); }
    // [load time, static initialisation] Always 0; an identifier already registered under the
    // module's sub-type keeps its first class.
    static int32_t withId(wchar_t const* uniqueId) {
        return RegisterPlugin(uniqueId, Module::kRegistrationSubType, &Register::create);
    }
};

} // namespace gmpi

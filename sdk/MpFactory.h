#pragma once
// The factory: the registration table of every module the bundle offers, and the object the
// host reaches through MP_GetFactory.

#include <map>
#include <string>
#include <utility>

#include "sdk/Interfaces.h"

// Makes a module holding one reference, which createInstance hands to its caller; null when
// it made none.
using MP_CreateFunc2 = gmpi::IMpUnknown* (*)();

class MpFactory : public gmpi::IMpFactory2 {
public:
    // [load time] Inserts (uniqueId, subType); a key already present keeps its first function,
    // a null identifier is ignored, and a null function makes creation refuse the key
    // (MP_NOSUPPORT). Always 0; may throw std::bad_alloc.
    int32_t addRegistration(wchar_t const* uniqueId, int32_t subType, MP_CreateFunc2 create);

    // [any thread] Answers MP_IID_UNKNOWN, MP_IID_FACTORY and MP_IID_FACTORY2 with the
    // factory; the contracts of the rest are those of gmpi::IMpFactory2.
    int32_t queryInterface(gmpi::MpGuid const& iid, void** returnInterface) override;
    // The factory lives as long as the bundle: reference counting does nothing.
    int32_t addRef() override { return 1; }
    int32_t release() override { return 1; }
    int32_t createInstance(wchar_t const* uniqueId, int32_t subType, gmpi::IMpUnknown* host,
                           void** returnInterface) override;
    int32_t getSdkInformation(int32_t& returnSdkVersion, int32_t maxChars,
                              wchar_t* returnCompilerInformation) override;
    int32_t createInstance2(wchar_t const* uniqueId, int32_t subType, void** returnInterface) override;

    virtual ~MpFactory() = default;

private:
    // Keys order by sub-type, then by identifier character codes.
    using Key = std::pair<int32_t, std::wstring>;

    std::map<Key, MP_CreateFunc2> registrations_;
};

// The process-wide factory, created by the first registration or MP_GetFactory; the bundle
// owns it (may throw std::bad_alloc when first made).
MpFactory* Factory();

// [load time] Registers a creation function under (uniqueId, subType), the order in which
// createInstance takes them. Always 0; a key already present keeps its first function.
int32_t RegisterPlugin(wchar_t const* uniqueId, int32_t subType, MP_CreateFunc2 create);
// Module descriptions reach the host separately, so a description text is ignored. Always 0.
int32_t RegisterPluginXml(char const* xml);

// Deletes the factory when the bundle is unloaded: every pointer Factory() gave ends then.
class factory_deleter_helper {
public:
    ~factory_deleter_helper();
};

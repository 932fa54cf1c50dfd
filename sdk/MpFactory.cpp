#include "sdk/MpFactory.h"

#include <algorithm>

#include "sdk/Identifiers.h"
#include "sdk/Interfaces.h"

namespace {

// Zero-initialised before any static constructor runs, so registrations from any file may
// create the factory in any order.
MpFactory* factoryInstance = nullptr;

constexpr int32_t kSdkVersion = 30800;
constexpr wchar_t kCompilerInformation[] = L"GCC Compiler V1002 (Release)";

} // namespace

factory_deleter_helper grim_reaper;

factory_deleter_helper::~factory_deleter_helper() {
    delete factoryInstance;
    factoryInstance = nullptr;
}

MpFactory* Factory() {
    if (factoryInstance == nullptr)
        factoryInstance = new MpFactory;
    return factoryInstance;
}

int32_t RegisterPlugin(wchar_t const* uniqueId, int32_t subType, MP_CreateFunc2 create) {
    Factory()->addRegistration(uniqueId, subType, create);
    return 0;
}

int32_t RegisterPluginXml(char const*) { return 0; }

int32_t MpFactory::addRegistration(wchar_t const* uniqueId, int32_t subType, MP_CreateFunc2 create) {
    if (uniqueId != nullptr)
        registrations_.try_emplace(Key{subType, uniqueId}, create);
    return 0;
}

int32_t MpFactory::queryInterface(gmpi::MpGuid const& iid, void** returnInterface) {
    if (returnInterface == nullptr)
        return gmpi::MP_FAIL;
    *returnInterface = nullptr;
    if (iid == MP_IID_UNKNOWN || iid == MP_IID_FACTORY || iid == MP_IID_FACTORY2) {
        *returnInterface = static_cast<gmpi::IMpFactory2*>(this);
        addRef();
        return gmpi::MP_OK;
    }
    return gmpi::MP_NOSUPPORT;
}

int32_t MpFactory::createInstance2(wchar_t const* uniqueId, int32_t subType, void** returnInterface) {
    if (returnInterface == nullptr)
        return gmpi::MP_FAIL;
    *returnInterface = nullptr;
    if (uniqueId == nullptr)
        return gmpi::MP_NOSUPPORT;
    try {
        auto const found = registrations_.find(Key{subType, uniqueId});
        if (found == registrations_.end() || found->second == nullptr)
            return gmpi::MP_NOSUPPORT;
        *returnInterface = found->second();
    } catch (...) {
        return gmpi::MP_FAIL;
    }
    return gmpi::MP_OK;
}

int32_t MpFactory::createInstance(wchar_t const* uniqueId, int32_t subType, gmpi::IMpUnknown* host,
                                  void** returnInterface) {
    int32_t const result = createInstance2(uniqueId, subType, returnInterface);
    if (result != gmpi::MP_OK || *returnInterface == nullptr)
        return result;
    auto* instance = static_cast<gmpi::IMpUnknown*>(*returnInterface);
    // Audio-side modules take the host here; GUI-side modules get it from the host later.
    if (auto* legacy = dynamic_cast<gmpi::IMpLegacyInitialization*>(instance)) {
        try {
            legacy->setHost(host);
        } catch (...) {
            instance->release();
            *returnInterface = nullptr;
            return gmpi::MP_FAIL;
        }
    }
    return gmpi::MP_OK;
}

int32_t MpFactory::getSdkInformation(int32_t& returnSdkVersion, int32_t maxChars,
                                     wchar_t* returnCompilerInformation) {
    returnSdkVersion = kSdkVersion;
    if (returnCompilerInformation == nullptr || maxChars <= 0)
        return gmpi::MP_OK;
    constexpr int32_t length = sizeof(kCompilerInformation) / sizeof(wchar_t) - 1;
    int32_t const written = std::min(length, maxChars - 1);
    std::copy_n(kCompilerInformation, written, returnCompilerInformation);
    returnCompilerInformation[written] = L'\0';
    return gmpi::MP_OK;
}

extern "C" __attribute__((visibility("default"))) int32_t MP_GetFactory(void** returnInterface) {
    if (returnInterface == nullptr)
        return gmpi::MP_FAIL;
    *returnInterface = nullptr;
    try {
        return Factory()->queryInterface(MP_IID_UNKNOWN, returnInterface);
    } catch (...) {
        return gmpi::MP_FAIL;
    }
}

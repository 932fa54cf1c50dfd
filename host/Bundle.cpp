#include "host/Bundle.h"

#include <dlfcn.h>

#include <stdexcept>
#include <string>

namespace zr::host {
namespace {

using GetFactoryFunction = int32_t (*)(void**);

std::string loaderError() {
    char const* text = dlerror();
    return text ? text : "no reason given";
}

[[noreturn]] void fail(std::filesystem::path const& path, std::string const& reason) {
    throw std::runtime_error("bundle " + path.string() + ": " + reason);
}

GetFactoryFunction findEntryPoint(void* library, std::filesystem::path const& path) {
    dlerror();
    void* symbol = dlsym(library, "MP_GetFactory");
    if (!symbol)
        fail(path, "no MP_GetFactory: " + loaderError());
    return reinterpret_cast<GetFactoryFunction>(symbol);
}

// The entry point gives the factory's IMpUnknown view; the host works with IMpFactory2.
gmpi::IMpFactory2* obtainFactory(GetFactoryFunction getFactory, std::filesystem::path const& path) {
    void* unknownView = nullptr;
    int32_t const result = getFactory(&unknownView);
    if (result != gmpi::MP_OK || !unknownView)
        fail(path, "its factory could not be obtained; rebuild the bundle or name another with --bundle");
    auto* unknown = static_cast<gmpi::IMpUnknown*>(unknownView);
    void* factoryView = nullptr;
    int32_t const queried = unknown->queryInterface(MP_IID_FACTORY2, &factoryView);
    unknown->release();
    if (queried != gmpi::MP_OK || !factoryView)
        fail(path, "its factory is of another framework version; rebuild the bundle or name another with --bundle");
    return static_cast<gmpi::IMpFactory2*>(factoryView);
}

} // namespace

Bundle::Bundle(std::filesystem::path const& path) : path_(path) {
    library_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library_)
        fail(path, "cannot load: " + loaderError());
    try {
        factory_ = obtainFactory(findEntryPoint(library_, path), path);
    } catch (...) {
        dlclose(library_);
        throw;
    }
}

Bundle::~Bundle() {
    factory_->release();
    dlclose(library_);
}

} // namespace zr::host

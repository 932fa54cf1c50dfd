#pragma once
// A loaded bundle: the shared object and the factory it hands out.

#include <filesystem>

#include "sdk/Interfaces.h"

namespace zr::host {

class Bundle {
public:
    // [load time] Loads the bundle at `path` and obtains its factory. Throws
    // std::runtime_error naming the path and the loader's reason on any failure.
    explicit Bundle(std::filesystem::path const& path);
    // Releases the factory and unloads the bundle. Every module made by the factory must
    // have been released before.
    ~Bundle();

    Bundle(Bundle const&) = delete;
    Bundle& operator=(Bundle const&) = delete;

    gmpi::IMpFactory2* factory() const { return factory_; }
    std::filesystem::path const& path() const { return path_; }

private:
    std::filesystem::path path_;
    void* library_ = nullptr;
    gmpi::IMpFactory2* factory_ = nullptr;
};

} // namespace zr::host

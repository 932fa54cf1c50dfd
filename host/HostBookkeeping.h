#pragma once
// Marks work that the host does on its own account (building event lists, recording what a
// module sent), so that the real-time probe counts only what the module itself does.

namespace zr::host {

// Depth of open HostBookkeeping scopes on this thread. Constant-initialised, so reading it
// from inside an allocation hook never allocates.
inline thread_local int hostBookkeepingDepth = 0;

class HostBookkeeping {
public:
    HostBookkeeping() noexcept { ++hostBookkeepingDepth; }
    ~HostBookkeeping() { --hostBookkeepingDepth; }
    HostBookkeeping(HostBookkeeping const&) = delete;
    HostBookkeeping& operator=(HostBookkeeping const&) = delete;
};

} // namespace zr::host

#include "host/realtime/MemoryLock.h"

#include <sys/mman.h>

#include <cerrno>
#include <cstring>

namespace zr::host {

std::optional<std::string> lockMappedMemory() {
    if (kSanitizedBuild)
        return std::string("not in a sanitized build");
    if (mlockall(MCL_CURRENT) == 0)
        return std::nullopt;
    return std::string(std::strerror(errno)) + " (a memlock limit such as the audio group's in /etc/security/limits.d allows it)";
}

} // namespace zr::host

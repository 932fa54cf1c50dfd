#pragma once
// A new file of this process's own beside others, removed when the process is interrupted
// (see InterruptCleanup.h) and when the object goes, unless it was renamed into place.

#include <sys/types.h>

#include <filesystem>
#include <optional>

#include "host/cli/InterruptCleanup.h"

namespace zr::cli {

class TemporaryFile {
public:
    // Creates ".<name>.<tag>-<pid>" (with a number added while that exists) in `folder`, empty,
    // open for reading and writing, with permissions `mode` less the umask. Throws
    // std::runtime_error with the system's reason alone (the caller names what it wanted).
    // [main thread]
    TemporaryFile(std::filesystem::path const& folder, std::string const& name, std::string const& tag, mode_t mode = 0666);
    // Closes the file and removes it unless renameTo() succeeded.
    ~TemporaryFile();
    TemporaryFile(TemporaryFile const&) = delete;
    TemporaryFile& operator=(TemporaryFile const&) = delete;

    int descriptor() const { return descriptor_; }
    std::filesystem::path const& path() const { return path_; }

    // Flushes the content to the disk and closes the file. Returns 0 or the errno of the
    // failed step (a full disk may show only here).
    int flushAndClose();
    // Renames the file over `target`, after which it is no longer removed. Returns 0 or errno.
    int renameTo(std::filesystem::path const& target);

private:
    std::filesystem::path path_;
    std::optional<RemovedOnInterrupt> registration_;
    int descriptor_ = -1;
    bool renamed_ = false;
};

} // namespace zr::cli

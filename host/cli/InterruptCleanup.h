#pragma once
// Temporary files that an interrupted run removes. SIGINT, SIGTERM, SIGHUP and SIGPIPE unlink
// every registered file, then end the process by the same signal with its default action, so
// that the caller sees the conventional status (128 + the signal's number in a shell). A
// signal that was ignored when the process started (nohup, a background job) stays ignored.
// SIGXFSZ is ignored, so that a write past a file-size limit fails with EFBIG and is reported
// like a full disk instead of ending the process with a core dump.

#include <filesystem>

namespace zr::cli {

// [main thread, once, before any temporary file exists]
void installInterruptCleanup();

// Keeps a path registered for removal on interruption while it lives; the destructor only
// unregisters (removing the file is its owner's job). [main thread] At most 16 paths at once:
// the constructor throws std::runtime_error beyond that or for a path longer than PATH_MAX.
class RemovedOnInterrupt {
public:
    explicit RemovedOnInterrupt(std::filesystem::path const& path);
    ~RemovedOnInterrupt();
    RemovedOnInterrupt(RemovedOnInterrupt const&) = delete;
    RemovedOnInterrupt& operator=(RemovedOnInterrupt const&) = delete;

private:
    int slot_;
};

} // namespace zr::cli

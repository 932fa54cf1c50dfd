#include "host/cli/InterruptCleanup.h"

#include <climits>
#include <csignal>
#include <cstring>

#include <atomic>
#include <stdexcept>

#include <unistd.h>

#include "host/cli/SignalHandlers.h"

namespace zr::cli {
namespace {

constexpr int kSlots = 16;

// A fixed table, so that the handler reads it without allocating or locking: a slot's path is
// written before the slot is marked used, and the handler reads only used slots.
struct Slot {
    std::atomic<bool> used{false};
    char path[PATH_MAX] = {};
};
Slot slots[kSlots];
static_assert(std::atomic<bool>::is_always_lock_free, "the handler reads the flags");

constexpr int kCleanedSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

extern "C" void removeTemporariesAndReraise(int signal) {
    for (Slot& slot : slots)
        if (slot.used.load(std::memory_order_acquire))
            ::unlink(slot.path);
    // The signal stays blocked until the handler returns; then its default action ends the
    // process with the status the caller expects.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    ::sigaction(signal, &fallback, nullptr);
    ::raise(signal);
}

} // namespace

void installInterruptCleanup() {
    handleUnlessIgnored(kCleanedSignals, removeTemporariesAndReraise); // one cleanup at a time
    std::signal(SIGXFSZ, SIG_IGN);
}

RemovedOnInterrupt::RemovedOnInterrupt(std::filesystem::path const& path) : slot_(-1) {
    std::string const text = path.string();
    if (text.size() >= PATH_MAX)
        throw std::runtime_error("cannot write " + text + ": the path is too long");
    for (int i = 0; i < kSlots && slot_ < 0; ++i)
        if (!slots[i].used.load(std::memory_order_relaxed))
            slot_ = i;
    if (slot_ < 0)
        throw std::runtime_error("cannot write " + text + ": too many temporary files at once");
    std::memcpy(slots[slot_].path, text.c_str(), text.size() + 1);
    slots[slot_].used.store(true, std::memory_order_release);
}

RemovedOnInterrupt::~RemovedOnInterrupt() {
    slots[slot_].used.store(false, std::memory_order_release);
}

} // namespace zr::cli

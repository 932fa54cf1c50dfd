#include "testing/realtime/RealtimeProbe.h"

#include "host/HostBookkeeping.h"
#include "testing/realtime/ProbeCounters.h"

namespace zr::host {
namespace probe {
namespace {

// Read from inside malloc: static TLS, never allocated lazily.
[[gnu::tls_model("initial-exec")]] thread_local RealtimeProbe::Counts counted;
[[gnu::tls_model("initial-exec")]] thread_local int regionDepth = 0;
[[gnu::tls_model("initial-exec")]] thread_local int hostCountingDepth = 0; // open Regions with Scope::HostToo

bool observing() noexcept { return regionDepth > 0 && (hostCountingDepth > 0 || hostBookkeepingDepth == 0); }

} // namespace

void noteAllocation() noexcept {
    if (observing())
        ++counted.allocations;
}

void noteFree() noexcept {
    if (observing())
        ++counted.frees;
}

void noteLock() noexcept {
    if (observing())
        ++counted.locks;
}

RealtimeProbe::Counts threadCounts() noexcept { return counted; }
void enterRegion(bool countHostWork) noexcept {
    ++regionDepth;
    hostCountingDepth += countHostWork ? 1 : 0;
}

void leaveRegion(bool countHostWork) noexcept {
    --regionDepth;
    hostCountingDepth -= countHostWork ? 1 : 0;
}

} // namespace probe

RealtimeProbe::Region::Region(Scope scope) noexcept : scope_(scope) {
    probe::prepareHooks();
    atOpening_ = probe::threadCounts();
    probe::enterRegion(scope_ == Scope::HostToo);
}

RealtimeProbe::Region::~Region() { probe::leaveRegion(scope_ == Scope::HostToo); }

RealtimeProbe::Counts RealtimeProbe::Region::counts() const noexcept {
    RealtimeProbe::Counts const now = probe::threadCounts();
    return {now.allocations - atOpening_.allocations, now.frees - atOpening_.frees, now.locks - atOpening_.locks};
}

} // namespace zr::host

#include "testing/realtime/RealtimeProbe.h"

#include "host/HostBookkeeping.h"
#include "testing/realtime/ProbeCounters.h"

namespace zr::host {
namespace probe {
namespace {

// Read from inside malloc: static TLS, never allocated lazily.
[[gnu::tls_model("initial-exec")]] thread_local RealtimeProbe::Counts counted;
[[gnu::tls_model("initial-exec")]] thread_local int regionDepth = 0;

bool observing() noexcept { return regionDepth > 0 && hostBookkeepingDepth == 0; }

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
void enterRegion() noexcept { ++regionDepth; }
void leaveRegion() noexcept { --regionDepth; }

} // namespace probe

RealtimeProbe::Region::Region() noexcept {
    probe::prepareHooks();
    atOpening_ = probe::threadCounts();
    probe::enterRegion();
}

RealtimeProbe::Region::~Region() { probe::leaveRegion(); }

RealtimeProbe::Counts RealtimeProbe::Region::counts() const noexcept {
    RealtimeProbe::Counts const now = probe::threadCounts();
    return {now.allocations - atOpening_.allocations, now.frees - atOpening_.frees, now.locks - atOpening_.locks};
}

} // namespace zr::host

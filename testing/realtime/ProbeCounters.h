#pragma once
// Shared between the probe's Region and its hooks; not part of the probe's interface.

#include "testing/realtime/RealtimeProbe.h"

namespace zr::host::probe {

// The calling thread's counters, counted only while a Region is open and no host
// bookkeeping runs on the thread, or any open Region counts the host's work too.
void noteAllocation() noexcept;
void noteFree() noexcept;
void noteLock() noexcept;

RealtimeProbe::Counts threadCounts() noexcept;
void enterRegion(bool countHostWork) noexcept;
void leaveRegion(bool countHostWork) noexcept;

// Resolves the real functions behind the hooks, so that doing it later cannot be counted.
void prepareHooks() noexcept;

} // namespace zr::host::probe

#pragma once
// How much a module's runner sets aside before running on the audio thread, so that no block
// allocates: events and their bytes queued for one block, and calls the module makes to its
// host in one block with the bytes each may carry. What goes beyond is refused and counted,
// never grown into.

#include <cstddef>

namespace zr::host {

struct RealtimeCapacity {
    std::size_t eventsPerBlock = 256;
    // The bytes of all events of one block that do not travel inline.
    std::size_t eventBytesPerBlock = 64 * 1024;
    std::size_t recordsPerBlock = 64;
    // The largest value one call may carry: a shape's blob image of 100 nodes takes 808
    // bytes, its text of 100 nodes with nine digits a number about 9 KiB in wide characters;
    // 16 KiB leaves room for any value a shape pin carries.
    std::size_t bytesPerValue = 16 * 1024;
};

} // namespace zr::host

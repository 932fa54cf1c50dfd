#pragma once
// Counts the allocations, frees and mutex locks a thread makes while a Region is open on it,
// leaving out whatever the host does inside HostBookkeeping unless asked to count it too. Only a test binary that links
// zr_realtime_probe counts anything; it replaces malloc, so never beside a sanitizer or
// valgrind.
//
// The compiler may remove a new/delete pair it can see through: only allocations that really
// happen are counted.

#include <cstdint>

namespace zr::host {

class RealtimeProbe {
public:
    struct Counts {
        int64_t allocations = 0;  // malloc, calloc, realloc, aligned_alloc, posix_memalign (and new)
        int64_t frees = 0;        // free of a non-null pointer, realloc to 0 bytes (and delete)
        int64_t locks = 0;        // pthread_mutex_lock (and std::mutex::lock)
    };

    // What a Region counts: the module's work alone, or also the host's own bookkeeping, as
    // a live host's audio thread must allocate nothing at all.
    enum class Scope { ModuleOnly, HostToo };

    // Counting is per thread: a Region sees only its own thread's calls, from its opening to
    // the call of counts(). Regions nest; while any open Region counts the host too, the
    // host's bookkeeping is counted.
    class Region {
    public:
        explicit Region(Scope scope = Scope::ModuleOnly) noexcept;
        ~Region();
        Region(Region const&) = delete;
        Region& operator=(Region const&) = delete;

        Counts counts() const noexcept;

    private:
        Counts atOpening_;
        Scope scope_;
    };
};

} // namespace zr::host

// The real-time probe's hooks: the program's own malloc family and pthread_mutex_lock, which
// note the call for the calling thread and forward to the C library.

#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdlib>

#include "testing/realtime/ProbeCounters.h"

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void __libc_free(void* pointer);
void* __libc_memalign(std::size_t alignment, std::size_t size);
}

namespace zr::host::probe {
namespace {

using MutexLockFunction = int (*)(pthread_mutex_t*);

std::atomic<MutexLockFunction> realMutexLock{nullptr};

MutexLockFunction resolveMutexLock() noexcept {
    MutexLockFunction found = realMutexLock.load(std::memory_order_acquire);
    if (!found) {
        found = reinterpret_cast<MutexLockFunction>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
        realMutexLock.store(found, std::memory_order_release);
    }
    return found;
}

bool isValidAlignment(std::size_t alignment) noexcept {
    return alignment != 0 && (alignment & (alignment - 1)) == 0 && alignment % sizeof(void*) == 0;
}

} // namespace

void prepareHooks() noexcept { resolveMutexLock(); }

} // namespace zr::host::probe

using namespace zr::host::probe;

extern "C" {

void* malloc(std::size_t size) noexcept {
    noteAllocation();
    return __libc_malloc(size);
}

void* calloc(std::size_t count, std::size_t size) noexcept {
    noteAllocation();
    return __libc_calloc(count, size);
}

// realloc to 0 bytes frees; otherwise it allocates, and gives back the old block if any.
void* realloc(void* pointer, std::size_t size) noexcept {
    if (size > 0 || !pointer)
        noteAllocation();
    if (pointer)
        noteFree();
    return __libc_realloc(pointer, size);
}

void free(void* pointer) noexcept {
    if (pointer)
        noteFree();
    __libc_free(pointer);
}

void* aligned_alloc(std::size_t alignment, std::size_t size) noexcept {
    noteAllocation();
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** result, std::size_t alignment, std::size_t size) noexcept {
    if (!isValidAlignment(alignment))
        return EINVAL;
    noteAllocation();
    void* allocated = __libc_memalign(alignment, size);
    if (!allocated)
        return ENOMEM;
    *result = allocated;
    return 0;
}

int pthread_mutex_lock(pthread_mutex_t* mutex) noexcept {
    noteLock();
    return resolveMutexLock()(mutex);
}

} // extern "C"

#pragma once
// Keeps what a live run has mapped (its code and the libraries', the heap, the server's shared
// memory) in RAM: a page of code the system dropped and reads back from disk would hold up the
// audio thread for far longer than a period.

#include <optional>
#include <string>

#if defined(__has_feature)
#define ZR_HAS_FEATURE(feature) __has_feature(feature)
#else
#define ZR_HAS_FEATURE(feature) 0
#endif

namespace zr::host {

// Built with address or thread sanitizer, whose shadow memory is terabytes of address space:
// locking it would exhaust RAM, so such a build never locks.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || ZR_HAS_FEATURE(address_sanitizer) || \
    ZR_HAS_FEATURE(thread_sanitizer)
inline constexpr bool kSanitizedBuild = true;
#else
inline constexpr bool kSanitizedBuild = false;
#endif

// [main thread] Locks every page mapped now; pages mapped later are not locked, so that later
// allocations never fail on the lock limit. Returns why not when the system refuses (a user
// whose memlock limit is too low) or in a sanitized build; playing goes on either way.
std::optional<std::string> lockMappedMemory();

} // namespace zr::host

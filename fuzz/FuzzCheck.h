#pragma once
// The oracle of a fuzz target reports a broken property through FUZZ_CHECK. Under libFuzzer
// the process stops, so the input is kept as a crash file; in the replay tests the failure
// becomes a test failure that names the input file.

#include <cstddef>
#include <cstdint>
#include <string>

namespace zr::fuzz {

[[noreturn]] void failed(char const* file, int line, std::string const& what);

} // namespace zr::fuzz

// `detail` is evaluated only when the condition fails, so it may build a costly message.
#define FUZZ_CHECK(condition, detail)                                                  \
    do {                                                                               \
        if (!(condition))                                                              \
            ::zr::fuzz::failed(__FILE__, __LINE__, std::string(#condition ": ") + (detail)); \
    } while (false)

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, std::size_t size);

// Under libFuzzer a broken property ends the process, which keeps the input as a crash file.

#include <cstdio>
#include <cstdlib>

#include "fuzz/FuzzCheck.h"

namespace zr::fuzz {

void failed(char const* file, int line, std::string const& what) {
    std::fprintf(stderr, "\n%s:%d: property broken: %s\n", file, line, what.c_str());
    std::fflush(stderr);
    std::abort();
}

} // namespace zr::fuzz

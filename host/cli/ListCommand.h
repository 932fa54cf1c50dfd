#pragma once
// `zrhost list`: every module the descriptions name, each confirmed through the factory.

#include "host/cli/DemoCommand.h"

namespace zr::cli {

// Returns the process exit code: non-zero when a description disagrees with its module.
int runList(BundleFiles const& files);

} // namespace zr::cli

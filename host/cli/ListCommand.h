#pragma once
// `zrhost list`: every module the descriptions name, each confirmed through the factory.

#include "host/cli/DemoCommand.h"

namespace zr::cli {

// As text, or as JSON on stdout when `asJson`. Returns the process exit code: non-zero when
// a description disagrees with its module (each mismatch is reported).
int runList(BundleFiles const& files, bool asJson);

} // namespace zr::cli

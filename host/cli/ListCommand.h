#pragma once
// `zrhost list [MODULE]`: every module the descriptions name, or one in full, each confirmed
// through the factory.

#include <string>

#include "host/cli/DemoCommand.h"

namespace zr::cli {

struct ListRequest {
    enum class Format { text, json, markdown };

    std::string module; // an identifier: that module with every field of every pin; empty: all
    Format format = Format::text;
};

// Text on stdout (an overview line per pin, or one module in full), the same fields as JSON,
// or the modules page (docs/modules.md) as markdown. Returns the process exit code: non-zero
// when a description disagrees with its module (each mismatch is reported). Throws
// std::runtime_error naming the nearest identifiers for an unknown module.
int runList(BundleFiles const& files, ListRequest const& request);

} // namespace zr::cli

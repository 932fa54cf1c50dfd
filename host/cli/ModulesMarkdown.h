#pragma once
// The page docs/modules.md: every described module with every pin's fields, generated from
// the module descriptions by `zrhost list --markdown`, so the page cannot drift from them.

#include <string>

#include "host/ModuleDescriptions.h"

namespace zr::cli {

// The whole page: an introduction, a table of the modules, then one section and pin table per
// module, in the descriptions' order. Byte for byte the same for the same descriptions.
std::string modulesMarkdown(host::ModuleDescriptions const& descriptions);

} // namespace zr::cli

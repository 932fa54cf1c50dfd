#include "host/cli/ListCommand.h"

#include <cstdio>

#include "host/Bundle.h"
#include "host/DatatypeNames.h"
#include "host/DescriptionCheck.h"
#include "host/ModuleDescriptions.h"

namespace zr::cli {

int runList(BundleFiles const& files) {
    host::Bundle bundle(files.bundle);
    auto const descriptions = host::ModuleDescriptions::load(files.descriptions);
    int mismatches = 0;
    for (auto const& module : descriptions.all()) {
        std::printf("%s (sub-type %d)\n", module.idText().c_str(), module.subType);
        for (auto const& pin : module.pins)
            std::printf("  %2d %-16s %-6s %s%s\n", pin.index, pin.name.c_str(),
                        std::string(host::datatypeName(pin.datatype)).c_str(), pin.isInput() ? "in" : "out",
                        pin.repeatable ? " (repeatable)" : "");
        for (auto const& problem : host::checkDescription(bundle, module)) {
            std::printf("  MISMATCH: %s\n", problem.c_str());
            ++mismatches;
        }
    }
    return mismatches == 0 ? 0 : 1;
}

} // namespace zr::cli

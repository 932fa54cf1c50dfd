#include "host/cli/ListCommand.h"

#include <cstdio>

#include <nlohmann/json.hpp>

#include "host/Bundle.h"
#include "host/DatatypeNames.h"
#include "host/DescriptionCheck.h"
#include "host/ModuleDescriptions.h"

namespace zr::cli {
namespace {

std::string defaultText(host::PinDescription const& pin) {
    return pin.defaultValue ? pin.defaultValue->dump() : "-";
}

void printModule(host::ModuleDescription const& module, std::vector<std::string> const& problems) {
    std::printf("%s (sub-type %d)%s%s\n", module.idText().c_str(), module.subType, module.summary.empty() ? "" : ": ",
                module.summary.c_str());
    for (auto const& pin : module.pins)
        std::printf("  %2d %-16s %-6s %-3s default %s%s\n", pin.index, pin.name.c_str(),
                    std::string(host::datatypeName(pin.datatype)).c_str(), pin.isInput() ? "in" : "out",
                    defaultText(pin).c_str(), pin.repeatable ? " (repeatable)" : "");
    for (auto const& problem : problems)
        std::printf("  MISMATCH: %s\n", problem.c_str());
}

nlohmann::ordered_json moduleJson(host::ModuleDescription const& module, std::vector<std::string> const& problems) {
    nlohmann::ordered_json pins = nlohmann::ordered_json::array();
    for (auto const& pin : module.pins) {
        nlohmann::ordered_json entry = {{"index", pin.index},
                                {"name", pin.name},
                                {"kind", std::string(host::datatypeName(pin.datatype))},
                                {"direction", pin.isInput() ? "in" : "out"},
                                {"default", pin.defaultValue ? nlohmann::ordered_json::parse(pin.defaultValue->dump()) : nlohmann::ordered_json()}};
        if (pin.repeatable)
            entry["repeatable"] = true;
        pins.push_back(entry);
    }
    return {{"id", module.idText()}, {"subType", module.subType}, {"summary", module.summary},
            {"pins", pins},          {"confirmed", problems.empty()}, {"mismatches", problems}};
}

} // namespace

int runList(BundleFiles const& files, bool asJson) {
    host::Bundle bundle(files.bundle);
    auto const descriptions = host::ModuleDescriptions::load(files.descriptions);
    size_t mismatches = 0;
    nlohmann::ordered_json modules = nlohmann::ordered_json::array();
    for (auto const& module : descriptions.all()) {
        std::vector<std::string> const problems = host::checkDescription(bundle, module);
        mismatches += problems.size();
        if (asJson)
            modules.push_back(moduleJson(module, problems));
        else
            printModule(module, problems);
    }
    if (asJson)
        std::printf("%s\n", nlohmann::ordered_json{{"modules", modules}}.dump(2).c_str());
    else
        std::printf("%zu modules, %zu mismatch(es)\n", descriptions.all().size(), mismatches);
    if (mismatches > 0)
        std::fprintf(stderr, "zrhost: %zu mismatch(es) between the descriptions and the modules\n", mismatches);
    return mismatches == 0 ? 0 : 1;
}

} // namespace zr::cli

#include "host/cli/ListCommand.h"

#include <cstdio>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "host/Bundle.h"
#include "host/DescriptionCheck.h"
#include "host/ModuleDescriptions.h"
#include "host/TextConversion.h"
#include "host/cli/ModuleListing.h"
#include "host/cli/ModulesMarkdown.h"
#include "host/patch/NearestNames.h"

namespace zr::cli {
namespace {

using host::ModuleDescription;

// The modules the request names: all of them, or the one identifier it gives.
std::vector<ModuleDescription const*> chosenModules(host::ModuleDescriptions const& descriptions,
                                                    std::string const& id) {
    std::vector<ModuleDescription const*> chosen;
    std::vector<std::string> known;
    for (ModuleDescription const& module : descriptions.all()) {
        if (id.empty() || module.idText() == id)
            chosen.push_back(&module);
        known.push_back(module.idText());
    }
    if (chosen.empty())
        throw std::runtime_error("unknown module identifier '" + id + "'; nearest known: " +
                                 host::joinNames(host::nearestNames(id, known)));
    return chosen;
}

} // namespace

int runList(BundleFiles const& files, ListRequest const& request) {
    host::Bundle bundle(files.bundle);
    auto const descriptions = host::ModuleDescriptions::load(files.descriptions);
    std::vector<ModuleDescription const*> const modules = chosenModules(descriptions, request.module);
    bool const oneInFull = !request.module.empty();
    size_t mismatches = 0;
    nlohmann::ordered_json listed = nlohmann::ordered_json::array();
    std::string text;
    for (ModuleDescription const* module : modules) {
        std::vector<std::string> const problems = host::checkDescription(bundle, *module);
        mismatches += problems.size();
        if (request.format == ListRequest::Format::json)
            listed.push_back(moduleJson(*module, problems));
        else if (request.format == ListRequest::Format::text)
            text += oneInFull ? fullText(*module, problems) : overviewText(*module, problems);
        else
            for (std::string const& problem : problems)
                std::fprintf(stderr, "zrhost: MISMATCH: %s\n", problem.c_str());
    }
    if (request.format == ListRequest::Format::json)
        text = nlohmann::ordered_json{{"modules", listed}}.dump(2) + "\n";
    else if (request.format == ListRequest::Format::markdown)
        text = modulesMarkdown(descriptions);
    else if (!oneInFull)
        text += std::to_string(modules.size()) + " modules, " + std::to_string(mismatches) + " mismatch(es)\n";
    std::fputs(text.c_str(), stdout);
    if (mismatches > 0)
        std::fprintf(stderr, "zrhost: %zu mismatch(es) between the descriptions and the modules\n", mismatches);
    return mismatches == 0 ? 0 : 1;
}

} // namespace zr::cli

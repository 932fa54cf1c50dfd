#pragma once
// Findings of the hostile-script checks that are not mended yet, each with what was seen.
// The stress tests print them as skipped with the reason and the module fuzz targets leave
// these modules out, so a run shows new findings rather than these again.

#include <map>
#include <optional>
#include <string>

namespace zr::hostile {

inline std::optional<std::string> openFinding(std::wstring const& moduleId) {
    static std::map<std::wstring, std::string> const findings = {
    };
    auto const found = findings.find(moduleId);
    return found == findings.end() ? std::nullopt : std::optional<std::string>(found->second);
}

} // namespace zr::hostile

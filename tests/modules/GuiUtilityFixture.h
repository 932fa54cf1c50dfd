#pragma once
// GUI-side modules made from their descriptions, every transmission recorded.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "testing/RecordedValues.h"
#include "host/GuiModule.h"
#include "testing/TemporaryFolder.h"
#include "testing/hostile/HostilePolicies.h"
#include "tests/modules/BundleFixture.h"
#include "tests/modules/EditorFixture.h"

namespace zr::test {

// `id` as described, with `copies` of its repeatable pin if it has one.
inline std::unique_ptr<host::GuiModule> makeGuiModule(std::wstring const& id, host::GuiModuleOptions options = {},
                                                      int32_t copies = 1) {
    host::ModuleDescription description = *descriptions().find(id);
    if (description.repeatablePin() != nullptr)
        description = description.withRepeatedPin(copies);
    options.description = std::move(description);
    return std::make_unique<host::GuiModule>(bundle(), id, std::move(options));
}

// The floats of every transmission on `pin`, in order.
inline std::vector<float> floatsSentOn(host::GuiModule& module, int32_t pin) {
    std::vector<float> values;
    for (host::HostRecord const& record : module.host().transmissionsOf(pin))
        values.push_back(floatOf(record));
    return values;
}

// Options for a host that echoes every value sent straight back, when `echo`; else plain ones.
inline host::GuiModuleOptions echoOptions(bool echo) {
    host::GuiModuleOptions options;
    if (echo)
        options.hostPolicy = hostile::echoingGuiHost();
    return options;
}

// The text last sent on `pin` ("" if none).
inline std::wstring lastText(host::GuiModule& module, int32_t pin) {
    auto const last = module.host().lastTransmission(pin);
    return last ? textOf(*last) : L"";
}

} // namespace zr::test

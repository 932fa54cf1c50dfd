// The built bundle checked against the descriptions that ship beside it.

#include <gtest/gtest.h>

#include "host/DescriptionCheck.h"
#include "tests/modules/BundleFixture.h"

namespace zr::host {
namespace {

// Every audio-side module matches its description, and every control input has a default
// for a host to send when the patch starts.
TEST(Bundle, BuiltBundleMatchesItsDescriptions) {
    for (ModuleDescription const& module : test::descriptions().all()) {
        SCOPED_TRACE(module.idText());
        for (PinDescription const& pin : module.pins) {
            if (pin.isInput() && !pin.isAudio() && pin.datatype != gmpi::MP_MIDI) {
                EXPECT_TRUE(pin.defaultValue.has_value()) << "input '" << pin.name << "' has no default";
            }
        }
        if (isCheckedByDescriptionCheck(module)) {
            for (std::string const& mismatch : checkDescription(test::bundle(), module))
                ADD_FAILURE() << mismatch;
        }
    }
}

} // namespace
} // namespace zr::host

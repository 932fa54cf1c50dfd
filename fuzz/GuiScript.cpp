// Fuzz target: hostile hosts driving GUI-side modules. The bytes choose the module (every
// GUI-side identifier in the module descriptions), the host (an echo, one refused interface,
// odd answers), and operation by operation: pin values stored and notified apart or together
// (wrong and negative sizes, null data, NaN and infinities, huge and malformed texts and
// blobs, unknown pin indices) and, for the editors, layouts with hostile rectangles, frames
// through the recording back end and pointer gestures at ordinary and hostile points.
// Oracle (GuiScriptRunner): every call returns; transmissions go only to described pins;
// every transmitted blob is an image the blob reader accepts and, while every blob sent kept
// the node rules, keeps them too; transmitted shape texts parse; an echoing host settles;
// unknown pins are refused; the released module gives back every host reference.

#include <algorithm>
#include <filesystem>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "fuzz/LinkedBundle.h"
#include "host/ModuleDescriptions.h"
#include "testing/TemporaryFolder.h"
#include "testing/hostile/Choices.h"
#include "testing/hostile/GuiScript.h"
#include "testing/hostile/GuiScriptRunner.h"
#include "sdk/Interfaces.h"

namespace {

using namespace zr::hostile;

constexpr long kMaxOperations = 100;

// Loaders and savers resolve file names inside this folder, emptied after each run that uses files.
std::filesystem::path const& fileFolder() {
    static zr::test::TemporaryFolder const folder("zr_fuzz_gui");
    return folder.path();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, std::size_t size) {
    ByteChoices choices(data, size);
    zr::host::ModuleDescription const* const picked = zr::fuzz::pickModule<guiSideModules>(choices, size);
    if (picked == nullptr)
        return 0;
    zr::host::ModuleDescription const& module = *picked;
    bool const usesFiles = std::ranges::any_of(module.pins, takesFileName);
    GuiRunSettings const settings = chooseGuiSettings(choices);
    std::vector<std::string> const violations =
        runGuiScript(zr::fuzz::linkedFactory(), module, settings, choices, kMaxOperations, fileFolder());
    if (usesFiles)
        std::filesystem::remove_all(fileFolder());
    FUZZ_CHECK(violations.empty(), zr::fuzz::joined(violations));
    return 0;
}

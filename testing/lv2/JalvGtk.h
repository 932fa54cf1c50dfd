#pragma once
// jalv.gtk3 running one plug-in with its interface, driven as a person drives it: its File
// menu saves the plug-in's state into a folder (through the file dialog), its Presets menu
// applies a preset. It runs in a folder of the caller's (where its dialogs open), prints every
// message between plug-in and interface into a file there (-d), and is ended (SIGTERM, then
// SIGKILL) by the destructor, and killed with the test process should that die first.
//
// Menus are reached by the keyboard from the menu bar's first entry, so nothing here depends
// on the width of a label: File is the bar's first menu, Presets the second; the Presets menu
// lists "Save Preset...", "Delete Current Preset..." and a separator before the presets.
// Every operation waits for what it causes and throws std::runtime_error, with jalv's output,
// when that does not happen within a few seconds.

#include <filesystem>
#include <optional>
#include <string>

#include "testing/ChildProcess.h"
#include "testing/x11/XTools.h"

namespace zr::test {

class JalvGtk {
public:
    // Starts jalv.gtk3 on the plug-in `pluginUri` (`pluginName` is its doap:name, the title of
    // jalv's window) on the JACK server `jackServer` and the DISPLAY of this process, with the
    // bundles under `lv2Path`, and waits for its window.
    JalvGtk(std::string const& pluginUri, std::string const& pluginName, std::string const& jackServer,
            std::filesystem::path const& lv2Path, std::filesystem::path const& folder);

    // Everything jalv printed so far (its -d dump of plug-in ⇄ interface messages included).
    std::string output() const;
    // jalv's window title: the plug-in's name, then " - PRESET" once a preset is applied.
    std::string title() const { return window_->title(); }

    // File → Save into `name` (a new folder in jalv's folder); gives the state file written there.
    std::filesystem::path saveState(std::string const& name) const;
    // Presets → the `index`-th preset (0 = the first listed); gives the applied preset's label as
    // jalv's title shows it.
    std::string choosePreset(int index) const;

private:
    void openMenuBar() const;
    [[noreturn]] void fail(std::string const& what) const;

    std::string pluginName_;
    std::filesystem::path folder_;
    std::filesystem::path outputFile_;
    ChildProcess jalv_;
    std::optional<XWindow> window_;
};

// The text the state file `stateFile` (Turtle, as LV2 State writes it) keeps for the plug-in
// property `propertyUri`; empty when it keeps none. Read through sordi, so that any Turtle
// spelling of the string is understood.
std::string savedProperty(std::filesystem::path const& stateFile, std::string const& propertyUri);

} // namespace zr::test

#include "testing/lv2/JalvGtk.h"

#include <regex>
#include <stdexcept>

#include "testing/Eventually.h"
#include "testing/TemporaryFolder.h"

namespace zr::test {
namespace {

constexpr double kPatience = 10.0; // seconds for jalv to answer one action

// The menu bar's first entry (File), in jalv's window: the bar spans the window's top.
constexpr int kMenuBarX = 8;
constexpr int kMenuBarY = 10;

// Entries of the Presets menu before its first preset: "Save Preset...",
// "Delete Current Preset..." (the separator takes no step).
constexpr int kEntriesBeforePresets = 2;

// jalv.gtk3 line-buffered (so that each message is in the file once printed), in `folder`, on
// the JACK server `jackServer` only, with the bundles under `lv2Path`.
ChildSetup jalvSetup(std::string const& pluginUri, std::string const& jackServer, std::filesystem::path const& lv2Path,
                     std::filesystem::path const& folder, std::filesystem::path const& outputFile) {
    return {{"stdbuf", "-oL", "jalv.gtk3", "-d", "--jack-name", uniqueName("zrtest-jalv"), pluginUri},
            outputFile,
            folder,
            {{"LV2_PATH", lv2Path.string()}, {"JACK_DEFAULT_SERVER", jackServer}, {"JACK_NO_START_SERVER", "1"}}};
}

// The regular expression that matches `text` itself.
std::string literally(std::string const& text) {
    static std::regex const special(R"([.^$|()\[\]{}*+?\\])");
    return std::regex_replace(text, special, R"(\$&)");
}

std::string unescapedNTriplesString(std::string const& text) {
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            char const escaped = text[++i];
            plain += escaped == 'n' ? '\n' : escaped == 't' ? '\t' : escaped;
        } else {
            plain += text[i];
        }
    }
    return plain;
}

} // namespace

JalvGtk::JalvGtk(std::string const& pluginUri, std::string const& pluginName, std::string const& jackServer,
                 std::filesystem::path const& lv2Path, std::filesystem::path const& folder)
    : pluginName_(pluginName), folder_(folder), outputFile_(folder / "jalv-output.txt"),
      jalv_(jalvSetup(pluginUri, jackServer, lv2Path, folder, outputFile_)) {
    window_ = XWindow::find("^" + literally(pluginName_) + "( - .*)?$", 20.0);
    if (!window_)
        fail("jalv's window did not appear");
}

std::string JalvGtk::output() const { return contentOf(outputFile_); }

void JalvGtk::fail(std::string const& what) const {
    throw std::runtime_error(what + "\njalv said:\n" + output());
}

void JalvGtk::openMenuBar() const { window_->click(kMenuBarX, kMenuBarY); }

std::filesystem::path JalvGtk::saveState(std::string const& name) const {
    std::filesystem::path const stateFile = folder_ / name / "state.ttl";
    openMenuBar();
    typeKeys({"Down", "Return"}); // File → Save
    std::optional<XWindow> const dialog = XWindow::find("^Save State$", kPatience, true);
    if (!dialog)
        fail("File → Save opened no dialog");
    // Without a window manager the keyboard follows the pointer; the dialog gives its name
    // field the keyboard. Select-all first, so that whatever the field holds is replaced.
    dialog->hover(dialog->width() / 2, dialog->height() / 2);
    typeKeys({"ctrl+a"});
    typeText(name);
    // The name field may still be completing what was typed when the first Return comes.
    bool const saved = eventually([&] {
        typeKeys({"Return"});
        return eventually([&] { return std::filesystem::exists(stateFile); }, 1.0);
    }, kPatience);
    if (!saved)
        fail("no state was saved in " + (folder_ / name).string());
    // jalv writes the file whole before it closes the dialog.
    if (!eventually([&] { return !XWindow::find("^Save State$", 0.0, true); }, kPatience))
        fail("the save dialog stayed open");
    return stateFile;
}

std::string JalvGtk::choosePreset(int index) const {
    std::string const titleBefore = title();
    openMenuBar();
    std::vector<std::string> keys{"Right"}; // File → Presets, nothing selected yet
    for (int step = 0; step < kEntriesBeforePresets + 1 + index; ++step)
        keys.push_back("Down");
    keys.push_back("Return");
    typeKeys(keys);
    std::string const prefix = pluginName_ + " - ";
    std::string shown;
    bool const applied = eventually([&] {
        shown = title();
        return shown.starts_with(prefix) && shown != titleBefore;
    }, kPatience);
    if (!applied)
        fail("preset " + std::to_string(index) + " was not applied (title \"" + shown + "\")");
    return shown.substr(prefix.size());
}

std::string savedProperty(std::filesystem::path const& stateFile, std::string const& propertyUri) {
    std::string const triples = tool({"sordi", "-o", "ntriples", stateFile.string(), "file://" + stateFile.string()});
    std::regex const statement("<" + literally(propertyUri) + R"re(> "((?:[^"\\]|\\.)*)")re");
    std::smatch found;
    if (!std::regex_search(triples, found, statement))
        return {};
    return unescapedNTriplesString(found[1]);
}

} // namespace zr::test

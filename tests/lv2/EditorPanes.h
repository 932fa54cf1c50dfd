#pragma once
// The plug-ins' interface lays its editors side by side, each under a label: pane N of the
// window at its first size is kPaneWidth × kPaneHeight at (N × kPaneWidth, kLabelHeight).
// A pane's picture is compared with what `zrhost draw` draws of the same shape at that size.

#include <filesystem>
#include <ostream>
#include <string>

#include "testing/x11/XTools.h"

namespace zr::test {

constexpr int kLabelHeight = 18; // above each editor
constexpr int kPaneWidth = 320;  // each editor's width at the interface's first size
constexpr int kPaneHeight = 220;

// Captures `window` into `folder/NAME-window.png` and crops its editor `pane` (of the given
// size) into `folder/NAME.png`, which it gives.
inline std::filesystem::path capturedPane(XWindow const& window, int pane, std::filesystem::path const& folder,
                                          std::string const& name, int paneWidth = kPaneWidth, int paneHeight = kPaneHeight) {
    std::filesystem::path const whole = folder / (name + "-window.png");
    std::filesystem::path const part = folder / (name + ".png");
    window.capture(whole);
    tool({"convert", whole.string(), "-crop",
          std::to_string(paneWidth) + "x" + std::to_string(paneHeight) + "+" + std::to_string(pane * paneWidth) + "+" +
              std::to_string(kLabelHeight),
          "+repage", part.string()});
    return part;
}

// `zrhost draw` of the shape file at the given size, into `folder/NAME-drawn.png`.
inline std::filesystem::path drawnShape(std::filesystem::path const& shapeFile, std::filesystem::path const& folder,
                                        std::string const& name, int width = kPaneWidth, int height = kPaneHeight) {
    std::filesystem::path const png = folder / (name + "-drawn.png");
    tool({ZRHOST_PATH, "draw", "--shape-file", shapeFile.string(), "--width", std::to_string(width), "--height",
          std::to_string(height), "-o", png.string()});
    return png;
}

// The cases of the interface's tests carry a name: gtest names a failing case and the
// instantiated test by it.
template <typename Case>
    requires requires(Case tested) { tested.name; }
void PrintTo(Case const& tested, std::ostream* out) {
    *out << tested.name;
}
inline auto const byName = [](auto const& info) { return std::string(info.param.name); };

} // namespace zr::test

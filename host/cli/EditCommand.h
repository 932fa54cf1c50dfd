#pragma once
// `zrhost edit [FILE.shp]`: the shape editor ZR_ShapeEditor5 in a window on the X display,
// driven by the person's mouse, with keys for the mode, undo and redo, saving and opening.

#include <filesystem>
#include <optional>

#include "host/cli/DemoCommand.h"
#include "host/cli/ShapeSound.h"

namespace zr::cli {

struct EditRequest {
    // The shape file edited and saved; none: the editor's default shape, saved under a name
    // asked for on the terminal. A file that does not exist yet is made by the first save.
    std::optional<std::filesystem::path> file;
    int width = 400; // before the scale
    int height = 200;
    // For high-density screens: the window and the editor's node and line sizes grow by it.
    double scale = 1.0;
    // With a value, the shape is heard while it is edited.
    std::optional<ListenRequest> listen;
};

// The keys, as `--help` and the README state them.
inline constexpr char const* kEditKeys =
    "Keys: 1 none, 2 linear, 3 spline, 4 natural spline, i next mode; Ctrl+Z undo, Ctrl+Shift+Z or Ctrl+Y redo; "
    "Ctrl+S save; Ctrl+O open; Ctrl+Q or Escape quit (asks on the terminal when unsaved). Mouse: drag a node; "
    "double-click empty space to add a node, a node to remove it; Ctrl while dragging moves finely.";

// Runs until the window is closed. Returns the exit code; throws std::exception with a message
// for bad input, and window::NoDisplayError when no X display can be reached.
int runEdit(BundleFiles const& files, EditRequest const& request);

} // namespace zr::cli

#pragma once
// What `zrhost edit` adds around the shape editor in its window: the shape's file, the undo
// history of the shapes the editor sends, the keys (mode, undo, redo, save, open, quit) and
// the window's title. All editing of nodes is the editor module's own; the controller only keeps
// what it sends and hands a chosen state back to it. [main thread]

#include <filesystem>
#include <optional>
#include <string>

#include "host/HostRecord.h"
#include "host/cli/EditHistory.h"
#include "host/cli/ShapeSound.h"
#include "host/window/ModuleView.h"
#include "host/window/X11Window.h"

namespace zr::cli {

class EditController {
public:
    // Shows `initial` in the editor behind `view`, titles `window` after `file` (none: a shape
    // not yet saved anywhere) and takes over the view's keys, gestures and close request.
    // `listener` (may be null, else outlives the controller) hears the initial shape at once.
    EditController(window::ModuleView& view, window::X11Window& window, std::optional<std::filesystem::path> file,
                EditedShape const& initial, ShapeListener* listener);

    // The interpolation modes in the order the `i` key steps through them.
    static constexpr int32_t kModes[] = {None, Linear, VarekSpline, NaturalSpline};

    bool unsaved() const { return !(history_.shown() == saved_); }
    EditedShape const& shown() const { return history_.shown(); }
    std::string title() const;

    // Writes the shown shape, when it is unsaved, beside its file as NAME.recovered.shp (or as
    // untitled.recovered.shp in the working folder), for when the window is lost without a
    // chance to ask. Returns the file written; nothing when there was nothing to keep or the
    // write failed (which it reports). Touches no X resource, so it may run while the
    // connection to the X server is gone.
    std::optional<std::filesystem::path> rescueUnsaved() const;

    void keyPressed(window::KeyEvent const& key);
    void closeRequested() { quit(); }

private:
    void transmitted(host::HostRecord const& record);
    void gestureEnded();
    void show(EditedShape const& state);
    void choose(EditedShape const& state);
    void chooseMode(int32_t mode);
    void undo();
    void redo();
    // Whether the shape is in a file afterwards.
    bool save();
    void open();
    void quit();
    // Whether the unsaved changes may be left: saved, discarded or none; false: cancelled.
    bool changesSettled(std::string const& action);
    void changed();

    window::ModuleView& view_;
    window::X11Window& window_;
    std::optional<std::filesystem::path> file_;
    EditHistory history_;
    EditedShape saved_;
    // The editor's shape as last sent, mid-gesture included; the history takes it when the
    // gesture ends.
    EditedShape sent_;
    ShapeListener* listener_;
};

// The shape as the shape core holds it, and as the editor takes it.
Shape shapeOf(EditedShape const& state);
EditedShape editedShapeOf(Shape const& shape);
// The shape in a shape file. Throws std::invalid_argument "PATH: reason" for a file that
// cannot be read or holds no shape.
EditedShape readShapeFile(std::filesystem::path const& file);

} // namespace zr::cli

#include "host/cli/EditController.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <iterator>

#include "host/cli/Messages.h"
#include "host/cli/OutputFile.h"
#include "host/cli/TerminalQuestion.h"
#include "host/patch/ShapeValues.h"

namespace zr::cli {
namespace {

constexpr int32_t kShapePin = 0;
constexpr int32_t kModePin = 1;

std::string nameOf(std::optional<std::filesystem::path> const& file) {
    return file ? file->filename().string() : "untitled";
}

// Writes the shape file safely: the old file stays whole until the new one is complete.
void writeShapeFile(std::filesystem::path const& file, EditedShape const& state) {
    OutputFile output(file, OutputFile::Content::Text);
    std::string const content = shapeOf(state).shpContent();
    output.write(content.data(), content.size());
    output.commit();
}

// Beside the shape's file, or in the working folder for a shape without one:
// "triangle.shp" → "triangle.recovered.shp".
std::filesystem::path recoveryFileOf(std::optional<std::filesystem::path> const& file) {
    if (!file)
        return "untitled.recovered.shp";
    std::filesystem::path recovery = *file;
    recovery.replace_filename(file->stem().string() + ".recovered.shp");
    return recovery;
}

} // namespace

Shape shapeOf(EditedShape const& state) {
    Shape shape;
    shape.readBlob(state.image.data(), static_cast<int32_t>(state.image.size()));
    shape.setInterpolation(state.mode);
    return shape;
}

EditedShape editedShapeOf(Shape const& shape) { return {host::imageOf(shape), shape.interpolation}; }

EditedShape readShapeFile(std::filesystem::path const& file) {
    try {
        return editedShapeOf(host::shapeOfFileContent(host::readShapeInput(file)));
    } catch (host::ShapeInputError const& error) {
        throw std::invalid_argument(file.string() + ": " + error.what());
    }
}

EditController::EditController(window::ModuleView& view, window::X11Window& window, std::optional<std::filesystem::path> file,
                         EditedShape const& initial, ShapeListener* listener)
    : view_(view), window_(window), file_(std::move(file)), history_(initial), saved_(initial), sent_(initial),
      listener_(listener) {
    view_.onTransmission([this](host::HostRecord const& record) { transmitted(record); });
    view_.onGestureEnd([this] { gestureEnded(); });
    view_.onKey([this](window::KeyEvent const& key) { keyPressed(key); });
    view_.onClose([this] { closeRequested(); });
    show(initial);
}

std::string EditController::title() const { return (unsaved() ? "*" : "") + nameOf(file_) + " \u2014 zrhost edit"; }

void EditController::changed() {
    window_.setTitle(title());
    if (listener_ != nullptr)
        listener_->shapeChanged(shapeOf(sent_));
}

// Every image the editor sends is heard at once; the history takes a gesture's last one.
void EditController::transmitted(host::HostRecord const& record) {
    if (record.pin != kShapePin)
        return;
    sent_.image = record.bytes;
    if (listener_ != nullptr)
        listener_->shapeChanged(shapeOf(sent_));
}

void EditController::gestureEnded() {
    if (history_.record(sent_))
        window_.setTitle(title());
}

// The editor takes the image and the mode as a patch would send them; it sends neither back.
void EditController::show(EditedShape const& state) {
    view_.deliver(kShapePin, state.image.data(), static_cast<int32_t>(state.image.size()));
    view_.deliver(kModePin, &state.mode, sizeof state.mode);
    sent_ = state;
    changed();
}

void EditController::choose(EditedShape const& state) {
    history_.record(state);
    show(state);
}

void EditController::chooseMode(int32_t mode) {
    EditedShape state = sent_;
    state.mode = mode;
    choose(state);
}

void EditController::undo() {
    if (EditedShape const* state = history_.undo())
        show(*state);
}

void EditController::redo() {
    if (EditedShape const* state = history_.redo())
        show(*state);
}

void EditController::keyPressed(window::KeyEvent const& key) {
    if (key.control) {
        if (key.key == "s")
            save();
        else if (key.key == "o")
            open();
        else if (key.key == "q")
            quit();
        else if (key.key == "z" && !key.shift)
            undo();
        else if ((key.key == "z" && key.shift) || key.key == "y")
            redo();
        return;
    }
    if (key.key == "Escape") {
        quit();
    } else if (key.key == "i") {
        auto const current = std::find(std::begin(kModes), std::end(kModes), sent_.mode);
        auto const next = current == std::end(kModes) || current + 1 == std::end(kModes) ? std::begin(kModes) : current + 1;
        chooseMode(*next);
    } else if (key.key.size() == 1 && key.key[0] >= '1' && key.key[0] <= '4') {
        chooseMode(kModes[key.key[0] - '1']);
    }
}

bool EditController::save() {
    if (!file_) {
        std::optional<std::string> const name = askLine("Save the shape as (a .shp file name; empty: do not save): ");
        if (!name || name->empty()) {
            std::fprintf(stderr, "zrhost: not saved\n");
            return false;
        }
        file_ = std::filesystem::path(*name);
    }
    try {
        writeShapeFile(*file_, history_.shown());
    } catch (std::exception const& error) {
        std::fprintf(stderr, "zrhost: %s\n", error.what());
        return false;
    }
    saved_ = history_.shown();
    window_.setTitle(title());
    report("saved %s", file_->string().c_str());
    return true;
}

std::optional<std::filesystem::path> EditController::rescueUnsaved() const {
    if (!unsaved())
        return std::nullopt;
    std::filesystem::path const recovery = recoveryFileOf(file_);
    try {
        writeShapeFile(recovery, history_.shown());
    } catch (std::exception const& error) {
        std::fprintf(stderr, "zrhost: the unsaved shape could not be kept: %s\n", error.what());
        return std::nullopt;
    }
    return recovery;
}

void EditController::open() {
    if (!changesSettled("opening another"))
        return;
    std::optional<std::string> const name = askLine("Open which shape file (empty: none)? ");
    if (!name || name->empty())
        return;
    try {
        EditedShape const loaded = readShapeFile(*name);
        file_ = std::filesystem::path(*name);
        history_ = EditHistory(loaded);
        saved_ = loaded;
        show(loaded);
        report("opened %s", name->c_str());
    } catch (std::exception const& error) {
        std::fprintf(stderr, "zrhost: %s\n", error.what());
    }
}

bool EditController::changesSettled(std::string const& action) {
    if (!unsaved())
        return true;
    switch (askToSave(nameOf(file_), action)) {
    case SaveAnswer::Save:
        return save();
    case SaveAnswer::Discard:
        return true;
    case SaveAnswer::Cancel:
        return false;
    case SaveAnswer::NoAnswer:
        std::fprintf(stderr, "zrhost: no answer (standard input is closed): the changes are not saved\n");
        return true;
    }
    return false;
}

void EditController::quit() {
    if (changesSettled("quitting"))
        window_.stop();
}

} // namespace zr::cli

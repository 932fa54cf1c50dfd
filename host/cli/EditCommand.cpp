#include "host/cli/EditCommand.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

#include "host/Bundle.h"
#include "host/GuiModule.h"
#include "host/ModuleDescriptions.h"
#include "host/cli/EditController.h"
#include "host/cli/Messages.h"
#include "host/window/ConnectionLoss.h"
#include "host/window/ModuleView.h"
#include "host/window/X11Window.h"

namespace zr::cli {
namespace {

constexpr wchar_t const* kEditorId = L"ZR_ShapeEditor5";
constexpr double kLargestScale = 8.0;
constexpr int kLargestSide = 10000;
// The editor's sizes in pixels, which a scale enlarges like the window.
constexpr char const* kPixelSizePins[] = {"NodeSize", "NodeThickness", "ShapeThickness"};

void checkRequest(EditRequest const& request) {
    if (!(request.scale > 0.0 && request.scale <= kLargestScale))
        throw std::invalid_argument("--scale " + std::to_string(request.scale) + ": give a factor above 0 and at most 8, "
                                    "e.g. --scale 2 for a high-density screen");
    if (request.width < 1 || request.height < 1 || request.width * request.scale > kLargestSide ||
        request.height * request.scale > kLargestSide)
        throw std::invalid_argument("--width and --height: give each in pixels, at most " + std::to_string(kLargestSide) +
                                    " once scaled");
}

int scaled(int pixels, double scale) { return std::max(1, static_cast<int>(std::lround(pixels * scale))); }

void scalePixelSizes(host::GuiModule& editor, double scale) {
    if (scale == 1.0)
        return;
    for (char const* name : kPixelSizePins) {
        host::PinDescription const& pin = editor.description()->pinByName(name);
        editor.setByName(name, scaled(pin.defaultValue.value_or(1).get<int>(), scale));
    }
}

EditedShape initialShape(std::optional<std::filesystem::path> const& file) {
    if (file && std::filesystem::exists(*file))
        return readShapeFile(*file);
    return editedShapeOf(Shape{});
}

// Says, once, whether the shape is heard.
std::unique_ptr<ShapeSound> startSound(std::optional<ListenRequest> const& request, EditedShape const& initial,
                                       host::Bundle& bundle, host::ModuleDescriptions const& descriptions) {
    if (!request)
        return nullptr;
    std::unique_ptr<ShapeSound> sound = makeShapeSound(*request, shapeOf(initial), bundle, descriptions);
    if (std::optional<std::string> const reason = sound->whyOff())
        std::fprintf(stderr, "zrhost: listening is off: %s\n", reason->c_str());
    return sound;
}

// The X server went away mid-edit; the process ends with status 1 after this.
void reportLostDisplay(EditController const& controller) {
    std::optional<std::filesystem::path> const kept = controller.rescueUnsaved();
    if (kept)
        std::fprintf(stderr, "zrhost: the connection to the X server is lost; the unsaved shape is in %s\n",
                     kept->string().c_str());
    else
        std::fprintf(stderr, "zrhost: the connection to the X server is lost\n");
}

} // namespace

int runEdit(BundleFiles const& files, EditRequest const& request) {
    checkRequest(request);
    EditedShape const initial = initialShape(request.file);
    host::Bundle bundle(files.bundle);
    auto const descriptions = host::ModuleDescriptions::load(files.descriptions);
    host::ModuleDescription const* description = descriptions.find(kEditorId);
    if (description == nullptr)
        throw std::runtime_error(files.descriptions.string() + " does not describe ZR_ShapeEditor5");

    host::GuiModule editor(bundle, kEditorId, {.description = *description});
    editor.sendDefaults();
    scalePixelSizes(editor, request.scale);
    window::ModuleView view(editor);
    window::X11Window window({.title = "zrhost edit", .width = scaled(request.width, request.scale),
                              .height = scaled(request.height, request.scale), .parent = 0, .display = {}},
                             view);
    std::unique_ptr<ShapeSound> const sound = startSound(request.listen, initial, bundle, descriptions);
    EditController controller(view, window, request.file, initial, sound.get());
    detail("editing %s in window 0x%lx", controller.title().c_str(), window.id());
    window::onConnectionLost([&controller] { reportLostDisplay(controller); });
    window.run();
    window::onConnectionLost({});
    return 0;
}

} // namespace zr::cli

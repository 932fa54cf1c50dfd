// The plug-ins' interface in a host of our own on lilv: the interface's library loaded with
// dlopen, given a parent window on a virtual X server of the test's own, its messages passed
// to the plug-in and the plug-in's notifications passed back, its idle interface called as a
// host's idle loop does. This host reaches what a test cannot ask of jalv: notifications a
// host should never send, the sizes the interface asks for, a preset applied in a sanitized
// build (where jalv does not start), and the picture at every turn of the loop.

#include <gtest/gtest.h>

#include <cairo.h>
#include <dlfcn.h>
#include <fontconfig/fontconfig.h>

#include <chrono>
#include <cstring>
#include <limits>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/patch/patch.h>
#include <lv2/ui/ui.h>

#include "testing/TemporaryFolder.h"
#include "tests/lv2/EditorPanes.h"
#include "testing/lv2/LilvHost.h"
#include "testing/x11/XTools.h"
#include "testing/x11/XvfbServer.h"

// Last: Xlib defines macros (Bool, Status) that the LV2 headers use as names.
#include <X11/Xlib.h>

namespace zr::test {
namespace {

using zr::test::PrintTo; // found by gtest through the cases' namespace

constexpr uint32_t kNotifyPort = 1;

std::string const kExamples = ZR_EXAMPLES_DIR;

// The plug-in `pluginUri` and its interface, loaded from the bundle, in a parent window as a
// host gives one; `window` is the interface's window, titled `title`.
class LoadedInterface {
public:
    PluginInstance plugin;
    std::optional<XWindow> window;

    LoadedInterface(LilvTestWorld& world, std::string const& pluginUri, std::string const& title)
        : plugin(world, pluginUri), world_(world), display_(XOpenDisplay(nullptr)) {
        if (!display_)
            throw std::runtime_error("no display for the parent window");
        parent_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 2 * kPaneWidth, kPaneHeight + kLabelHeight, 0,
                                      0, 0);
        XMapWindow(display_, parent_);
        XSync(display_, False);
        std::filesystem::path const bundle = std::filesystem::path(ZR_LV2_BUNDLE_PARENT) / "zr-shapes.lv2";
        // Kept mapped after dlclose: the caches of cairo and fontconfig, which it pulls in, live
        // until the process ends, and a leak checker then still sees them, and names the frames
        // of any leak of the interface's own.
        library_ = dlopen((bundle / "zr-shapes-ui.so").c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        if (!library_)
            throw std::runtime_error(dlerror());
        auto const entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(library_, "lv2ui_descriptor"));
        for (uint32_t i = 0; entry && (descriptor_ = entry(i)); ++i)
            if (std::string(descriptor_->URI) == pluginUri + "#ui")
                break;
        if (!descriptor_)
            throw std::runtime_error("no interface for " + pluginUri);
        LV2_Feature const map{LV2_URID__map, world_.urids().mapFeature()};
        LV2_Feature const parentFeature{LV2_UI__parent, reinterpret_cast<void*>(parent_)};
        LV2_Feature const idleFeature{LV2_UI__idleInterface, nullptr};
        LV2_Feature const resizeFeature{LV2_UI__resize, &resize_};
        LV2_Feature const* features[] = {&map, &parentFeature, &idleFeature, &resizeFeature, nullptr};
        LV2UI_Widget widget = nullptr;
        handle_ = descriptor_->instantiate(descriptor_, pluginUri.c_str(), (bundle.string() + "/").c_str(), &LoadedInterface::write,
                                           this, &widget, features);
        if (!handle_)
            throw std::runtime_error("the interface did not instantiate");
        idle_ = static_cast<LV2UI_Idle_Interface const*>(descriptor_->extension_data(LV2_UI__idleInterface));
        if (!idle_)
            throw std::runtime_error("the interface has no idle interface");
        window = XWindow::find(title);
    }
    ~LoadedInterface() {
        if (handle_)
            descriptor_->cleanup(handle_);
        if (library_)
            dlclose(library_);
        XDestroyWindow(display_, parent_);
        XCloseDisplay(display_);
    }
    LoadedInterface(LoadedInterface const&) = delete;
    LoadedInterface& operator=(LoadedInterface const&) = delete;

    // As a host grows or shrinks the room it gives its interface.
    void resize(int width, int height) {
        XResizeWindow(display_, parent_, static_cast<unsigned>(width), static_cast<unsigned>(height));
        XSync(display_, False);
        window->resize(width, height);
    }

    // One turn of a host's loop: the plug-in runs a block with what the interface wrote, its
    // shape notifications reach the interface, which then handles its window's events.
    void turn(std::vector<std::string> const& properties) {
        plugin.run(256);
        for (std::string const& property : properties)
            for (std::string const& text : plugin.notifiedTexts(property))
                notify(property, text);
        idle_->idle(handle_);
    }

    void notify(std::string const& property, std::string const& text) {
        alignas(8) uint8_t buffer[8192] = {};
        LV2_Atom const* atom = forgeSet(buffer, sizeof buffer, property, text);
        portEvent(kNotifyPort, lv2_atom_total_size(atom), map(LV2_ATOM__eventTransfer), atom);
    }
    // A patch:Set of `property` to the shape `text`, forged into `buffer`; a hostile host's
    // forges the property (`urid` false) or the value (`stringValue` false) as an atom:Int.
    LV2_Atom* forgeSet(uint8_t* buffer, uint32_t size, std::string const& property, std::string const& text, bool urid = true,
                       bool stringValue = true) {
        LV2_Atom_Forge forge;
        lv2_atom_forge_init(&forge, world_.urids().mapFeature());
        lv2_atom_forge_set_buffer(&forge, buffer, size);
        LV2_Atom_Forge_Frame frame;
        auto* atom = reinterpret_cast<LV2_Atom*>(lv2_atom_forge_object(&forge, &frame, 0, map(LV2_PATCH__Set)));
        lv2_atom_forge_key(&forge, map(LV2_PATCH__property));
        if (urid)
            lv2_atom_forge_urid(&forge, map(property.c_str()));
        else
            lv2_atom_forge_int(&forge, static_cast<int32_t>(map(property.c_str())));
        lv2_atom_forge_key(&forge, map(LV2_PATCH__value));
        if (stringValue)
            lv2_atom_forge_string(&forge, text.data(), static_cast<uint32_t>(text.size()));
        else
            lv2_atom_forge_int(&forge, 7);
        lv2_atom_forge_pop(&forge, &frame);
        return atom;
    }
    void portEvent(uint32_t port, uint32_t size, uint32_t format, void const* buffer) {
        descriptor_->port_event(handle_, port, size, format, buffer);
    }
    LV2_URID map(char const* uri) { return world_.urids().map(uri); }
    // The sizes the interface asked its host for, in order.
    std::vector<std::pair<int, int>> const& requestedSizes() const { return requestedSizes_; }

private:
    static int requestSize(LV2UI_Feature_Handle handle, int width, int height) {
        static_cast<LoadedInterface*>(handle)->requestedSizes_.emplace_back(width, height);
        return 0;
    }

    // Passes a patch:Set or patch:Get the interface writes to the plug-in's next block.
    static void write(LV2UI_Controller controller, uint32_t, uint32_t size, uint32_t, void const* buffer) {
        auto& self = *static_cast<LoadedInterface*>(controller);
        auto const* atom = static_cast<LV2_Atom const*>(buffer);
        if (size < sizeof(LV2_Atom_Object) || atom->type != self.map(LV2_ATOM__Object))
            return;
        auto const* object = reinterpret_cast<LV2_Atom_Object const*>(atom);
        if (object->body.otype == self.map(LV2_PATCH__Get)) {
            self.plugin.patchGet(0, std::nullopt);
            return;
        }
        LV2_Atom const* property = nullptr;
        LV2_Atom const* value = nullptr;
        lv2_atom_object_get(object, self.map(LV2_PATCH__property), &property, self.map(LV2_PATCH__value), &value, 0);
        if (property && value)
            self.plugin.patchSetString(0, self.world_.urids().unmap(reinterpret_cast<LV2_Atom_URID const*>(property)->body),
                                        std::string(static_cast<char const*>(LV2_ATOM_BODY_CONST(value))));
    }

    LilvTestWorld& world_;
    Display* display_;
    Window parent_ = 0;
    void* library_ = nullptr;
    LV2UI_Descriptor const* descriptor_ = nullptr;
    LV2UI_Handle handle_ = nullptr;
    LV2UI_Idle_Interface const* idle_ = nullptr;
    LV2UI_Resize resize_{this, &LoadedInterface::requestSize};
    std::vector<std::pair<int, int>> requestedSizes_;
};

class InterfaceHost : public ::testing::Test {
protected:
    InterfaceHost() : world_(ZR_LV2_BUNDLE_PARENT) {}
    // The interface's labels are drawn with cairo's fonts; their caches are released here, as
    // a host does before exiting, so that a leak checker sees only what is really lost.
    static void TearDownTestSuite() {
        cairo_debug_reset_static_data();
        FcFini();
    }

    // The interface's editor `pane` as it shows now, after a few turns of the loop.
    std::filesystem::path capturePane(LoadedInterface& ui, std::vector<std::string> const& properties, int pane,
                                      std::string const& name, int paneWidth = kPaneWidth, int paneHeight = kPaneHeight) {
        for (int i = 0; i < 5; ++i) {
            ui.turn(properties);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return capturedPane(*ui.window, pane, folder_.path(), name, paneWidth, paneHeight);
    }

    std::filesystem::path drawn(std::string const& shapeFile, std::string const& name, int width = kPaneWidth,
                                int height = kPaneHeight) {
        return drawnShape(shapeFile, folder_.path(), name, width, height);
    }

    XvfbServer display_;
    TemporaryFolder folder_{"zr-lv2-interface-host"};
    LilvTestWorld world_;
};

struct PresetCase {
    char const* name;
    char const* pluginUri;
    char const* title;
    char const* property; // the shape the presets set
    char const* preset;   // examples/shapes/NAME.shp
};

class PresetRedraw : public InterfaceHost, public ::testing::WithParamInterface<PresetCase> {};

// Applying a preset changes the editor's picture to `zrhost draw` of the preset's shape file.
TEST_P(PresetRedraw, PresetChangeRedrawsTheEditor) {
    PresetCase const& preset = GetParam();
    LoadedInterface ui(world_, preset.pluginUri, preset.title);
    ASSERT_TRUE(ui.window);
    std::filesystem::path const target = drawn(kExamples + "/shapes/" + preset.preset + ".shp", "target");
    std::filesystem::path const before = capturePane(ui, {preset.property}, 0, "before");
    ASSERT_NE(differingPixels(before, target), std::optional<long>(0)) << "the default shape already looks like the preset";

    ui.plugin.applyPreset(std::string(preset.pluginUri) + ":preset:" + preset.preset);
    float const mode = ui.plugin.control("interpolation");
    uint32_t const modePort = 2 + static_cast<uint32_t>(ui.plugin.audioInputCount() + ui.plugin.audioOutputCount());
    ui.portEvent(modePort, sizeof mode, 0, &mode);
    EXPECT_EQ(differingPixels(capturePane(ui, {preset.property}, 0, "after"), target), std::optional<long>(0));
}

INSTANTIATE_TEST_SUITE_P(Presets, PresetRedraw,
                         ::testing::Values(PresetCase{"shaper_triangle", "urn:zr-shapes:lv2:shaper", "Shape Shaper shape editor",
                                                      "urn:zr-shapes:lv2:shape", "triangle"},
                                           PresetCase{"envelope_ramp_down", "urn:zr-shapes:lv2:envelope",
                                                      "Shape Envelope shape editor", "urn:zr-shapes:lv2:envelopeShape",
                                                      "ramp-down"}),
                         byName);

struct ResizeCase {
    char const* name;
    int width; // the window's new size
    int height;
};

class Resize : public InterfaceHost, public ::testing::WithParamInterface<ResizeCase> {};

// The synth's interface asks for two editors' room; resized, each editor fills its half again
// and shows what `zrhost draw` draws of its shape at that size.
TEST_P(Resize, EditorsAreLaidOutAgain) {
    ResizeCase const& resize = GetParam();
    std::vector<std::string> const properties{"urn:zr-shapes:lv2:waveShape", "urn:zr-shapes:lv2:envelopeShape"};
    LoadedInterface ui(world_, "urn:zr-shapes:lv2:synth", "Shape Synth shape editor");
    ASSERT_EQ(ui.requestedSizes(), (std::vector<std::pair<int, int>>{{2 * kPaneWidth, kPaneHeight + kLabelHeight}}));
    ASSERT_TRUE(ui.window);
    ui.turn(properties);
    ui.resize(resize.width, resize.height);

    int const paneWidth = resize.width / 2;
    int const paneHeight = resize.height - kLabelHeight;
    std::filesystem::path const envelope = folder_.write("envelope.shp", "(-5,-5)(-4.5,5)(-1,1)(5,-5)\nITP=10\n");
    std::filesystem::path const wave = folder_.write("wave.shp", "(-5,0)(-2.5,5)(2.5,-5)(5,0)\nITP=10\n");
    std::filesystem::path const shownWave = capturePane(ui, properties, 0, "wave", paneWidth, paneHeight);
    std::filesystem::path const shownEnvelope = capturePane(ui, properties, 1, "envelope", paneWidth, paneHeight);
    EXPECT_EQ(differingPixels(shownWave, drawn(wave, "wave", paneWidth, paneHeight)), std::optional<long>(0));
    EXPECT_EQ(differingPixels(shownEnvelope, drawn(envelope, "envelope", paneWidth, paneHeight)), std::optional<long>(0));
}

INSTANTIATE_TEST_SUITE_P(Sizes, Resize,
                         ::testing::Values(ResizeCase{"larger", 900, 418}, ResizeCase{"smaller", 300, 138},
                                           ResizeCase{"wide_and_flat", 1000, 100}),
                         byName);

// A message the interface must pass over, built from a valid patch:Set of a shape text.
struct HostileCase {
    char const* name;
    char const* text;           // the shape text sent
    bool stringValue = true;    // false: the value is an atom:Int
    bool urid = true;           // false: the property is an atom:Int
    int sizeChange = 0;         // added to the size the host states (negative: cut short)
    int atomSizeChange = 0;     // added to the atom's own size field
    uint32_t statedSize = 0;    // else: the size the host states
    bool nullBuffer = false;
};

class HostileNotification : public InterfaceHost, public ::testing::WithParamInterface<HostileCase> {};

// The editor shows the same picture after the message (and after interpolation values that
// are not numbers) as before, and still follows a good message afterwards.
TEST_P(HostileNotification, LeavesTheEditorAsItWas) {
    HostileCase const& hostile = GetParam();
    std::string const property = "urn:zr-shapes:lv2:shape";
    LoadedInterface ui(world_, "urn:zr-shapes:lv2:shaper", "Shape Shaper shape editor");
    ASSERT_TRUE(ui.window);
    std::filesystem::path const before = capturePane(ui, {property}, 0, "before");

    alignas(8) uint8_t buffer[8192] = {};
    LV2_Atom* atom = ui.forgeSet(buffer, sizeof buffer, property, hostile.text, hostile.urid, hostile.stringValue);
    uint32_t const size = hostile.statedSize != 0
                              ? hostile.statedSize
                              : static_cast<uint32_t>(static_cast<int>(lv2_atom_total_size(atom)) + hostile.sizeChange);
    atom->size = static_cast<uint32_t>(static_cast<int>(atom->size) + hostile.atomSizeChange);
    ui.portEvent(kNotifyPort, size, ui.map(LV2_ATOM__eventTransfer), hostile.nullBuffer ? nullptr : buffer);
    float const notANumber = std::numeric_limits<float>::quiet_NaN();
    ui.portEvent(2 + 2, sizeof notANumber, 0, &notANumber); // the interpolation port
    ui.portEvent(2 + 2, 2, 0, &notANumber);
    EXPECT_EQ(differingPixels(capturePane(ui, {property}, 0, "after"), before), std::optional<long>(0));

    ui.notify(property, "(-5,5)(0,-5)(5,5)");
    std::filesystem::path const followed = capturePane(ui, {}, 0, "followed");
    EXPECT_NE(differingPixels(followed, before), std::optional<long>(0)) << "a good message afterwards is not shown";
}

INSTANTIATE_TEST_SUITE_P(
    Messages, HostileNotification,
    ::testing::Values(HostileCase{.name = "not_a_shape_text", .text = "not a shape"},
                      HostileCase{.name = "one_node", .text = "(-5,0)"},
                      HostileCase{.name = "nodes_out_of_order", .text = "(-5,0)(3,1)(1,1)(5,0)"},
                      HostileCase{.name = "empty_text", .text = ""},
                      HostileCase{.name = "value_not_a_string", .text = "(-5,0)(5,1)", .stringValue = false},
                      HostileCase{.name = "property_not_a_urid", .text = "(-5,0)(5,1)", .urid = false},
                      HostileCase{.name = "cut_short", .text = "(-5,0)(5,1)", .sizeChange = -12},
                      HostileCase{.name = "smaller_than_an_atom", .text = "(-5,0)(5,1)", .statedSize = 4},
                      HostileCase{.name = "atom_longer_than_buffer", .text = "(-5,0)(5,1)", .atomSizeChange = 4000},
                      HostileCase{.name = "no_buffer", .text = "(-5,0)(5,1)", .nullBuffer = true}),
    byName);

} // namespace
} // namespace zr::test

// The plug-ins' interface in jalv (jalv.gtk3, which shows an X11 interface inside its own
// window), on a virtual X server and a JACK dummy server of the test's own, driven as a person
// drives it: a drag in an editor changes the plug-in's shape, read back from the state jalv
// saves through its File menu; a preset chosen in jalv's Presets menu redraws the editor.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "host/TextConversion.h"
#include "shapes/Shape.h"
#include "shapes/Volts.h"
#include "testing/Eventually.h"
#include "testing/TemporaryFolder.h"
#include "testing/jack/JackServer.h"
#include "testing/lv2/JalvGtk.h"
#include "testing/x11/XTools.h"
#include "testing/x11/XvfbServer.h"
#include "tests/lv2/EditorPanes.h"

namespace zr::test {
namespace {

using zr::test::PrintTo; // found by gtest through the cases' namespace

// ZR_ShapeEditor5 leaves this share of its size free on every side (BorderFactor, 3.5 %).
constexpr float kBorder = 0.035f;

std::filesystem::path const kExampleShapes = std::filesystem::path(ZR_EXAMPLES_DIR) / "shapes";

struct PixelPoint {
    int x;
    int y;
};

// Where a node in volts lies in pane `pane` of the interface's window.
PixelPoint pixelOfNode(float xVolts, float yVolts, int pane) {
    float const innerWidth = (1.0f - 2.0f * kBorder) * kPaneWidth - 1.0f;
    float const innerHeight = (1.0f - 2.0f * kBorder) * kPaneHeight - 1.0f;
    float const x = pane * kPaneWidth + kBorder * kPaneWidth + (xVolts + 5.0f) / 10.0f * innerWidth;
    float const y = kLabelHeight + kBorder * kPaneHeight + (5.0f - yVolts) / 10.0f * innerHeight;
    return {static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y))};
}

float voltsOfPixelsY(int pixels) { return -pixels * 10.0f / ((1.0f - 2.0f * kBorder) * kPaneHeight - 1.0f); }

// How many times the plug-in has announced a shape for `property` to its interface (a
// patch:Set from the plug-in, in jalv's dump), and the last shape text it announced.
struct Announcements {
    std::size_t count = 0;
    std::string last;
};

Announcements announcedShapes(std::string const& dump, std::string const& property) {
    Announcements found;
    std::regex const message("## Plugin => UI \\([0-9]+ bytes\\) ##[^#]*?patch:property <" + property + ">[^#]*?patch:value \"([^\"]*)\"");
    for (auto it = std::sregex_iterator(dump.begin(), dump.end(), message); it != std::sregex_iterator(); ++it) {
        ++found.count;
        found.last = (*it)[1];
    }
    return found;
}

Shape shapeOfText(std::string const& text) {
    Shape shape;
    shape.setString(host::wideFromUtf8(text));
    return shape;
}

class InterfaceInJalv : public ::testing::Test {
protected:
    XvfbServer display_;
    JackServer jack_;
    TemporaryFolder folder_{"zr-lv2-interface"};
};

struct DragCase {
    char const* name;
    char const* pluginUri;
    char const* pluginName;
    char const* property; // the dragged shape's parameter
    int pane;             // the editor showing it
    int node;
    int dy; // pixels, downwards
};

class Drag : public InterfaceInJalv, public ::testing::WithParamInterface<DragCase> {};

// A node dragged down in the editor moves down as far in the shape the plug-in keeps (as jalv
// saves it); every other node stays.
TEST_P(Drag, ChangesTheShapeInTheSavedState) {
    DragCase const& drag = GetParam();
    JalvGtk const jalv(drag.pluginUri, drag.pluginName, jack_.name(), ZR_LV2_BUNDLE_PARENT, folder_.path());
    std::optional<XWindow> const editor = XWindow::find(std::string(drag.pluginName) + " shape editor", 20.0);
    ASSERT_TRUE(editor) << jalv.output();

    Announcements before;
    ASSERT_TRUE(eventually([&] { return (before = announcedShapes(jalv.output(), drag.property)).count > 0; }, 10.0))
        << "the plug-in never announced its shape\n" << jalv.output();
    Shape const initial = shapeOfText(before.last);
    ASSERT_FALSE(initial.invalid) << before.last;
    Node const node = initial.nodes[drag.node];
    PixelPoint const from = pixelOfNode(voltsFromX(node.x), voltsFromY(node.y), drag.pane);
    editor->drag(from.x, from.y, from.x, from.y + drag.dy);
    // The plug-in announces the shape it keeps once its worker has taken the edit.
    ASSERT_TRUE(eventually([&] { return announcedShapes(jalv.output(), drag.property).count > before.count; }, 10.0))
        << "the plug-in took no edit from the drag\n" << jalv.output();

    std::string const saved = savedProperty(jalv.saveState("after-drag"), drag.property);
    Shape const after = shapeOfText(saved);
    ASSERT_FALSE(after.invalid) << saved;
    ASSERT_EQ(after.nodeCount, initial.nodeCount) << saved;
    for (int32_t i = 0; i < initial.nodeCount; ++i) {
        SCOPED_TRACE("node " + std::to_string(i) + " of " + saved);
        EXPECT_NEAR(voltsFromX(after.nodes[i].x), voltsFromX(initial.nodes[i].x), 1e-3f);
        float const expectedY = voltsFromY(initial.nodes[i].y) + (i == drag.node ? voltsOfPixelsY(drag.dy) : 0.0f);
        EXPECT_NEAR(voltsFromY(after.nodes[i].y), expectedY, 1e-2f);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Plugins, Drag,
    ::testing::Values(DragCase{"shaper_middle_node", "urn:zr-shapes:lv2:shaper", "Shape Shaper", "urn:zr-shapes:lv2:shape", 0, 2, 40},
                      DragCase{"synth_envelope_second_node", "urn:zr-shapes:lv2:synth", "Shape Synth",
                               "urn:zr-shapes:lv2:envelopeShape", 1, 2, 30},
                      DragCase{"synth_wave_peak_node", "urn:zr-shapes:lv2:synth", "Shape Synth", "urn:zr-shapes:lv2:waveShape",
                               0, 1, 25}),
    byName);

struct PresetCase {
    char const* name;
    char const* pluginUri;
    char const* pluginName;
    int pane;  // the editor of the shape the presets set
    int panes; // editors in the interface; the others keep their picture
};

class PresetMenu : public InterfaceInJalv, public ::testing::WithParamInterface<PresetCase> {};

// Each preset in jalv's menu (one made from each example shape file) redraws the editor as
// `zrhost draw` draws that file; an editor whose shape the presets leave alone keeps its picture.
TEST_P(PresetMenu, EachPresetRedrawsTheEditor) {
    PresetCase const& preset = GetParam();
    JalvGtk const jalv(preset.pluginUri, preset.pluginName, jack_.name(), ZR_LV2_BUNDLE_PARENT, folder_.path());
    std::optional<XWindow> const editor = XWindow::find(std::string(preset.pluginName) + " shape editor", 20.0);
    ASSERT_TRUE(editor) << jalv.output();
    // Once the plug-in has announced a shape for every editor, the untouched editors are at rest.
    auto const announcements = [&] {
        std::string const dump = jalv.output();
        int count = 0;
        for (std::size_t at = dump.find("## Plugin => UI"); at != std::string::npos; at = dump.find("## Plugin => UI", at + 1))
            ++count;
        return count;
    };
    ASSERT_TRUE(eventually([&] { return announcements() >= preset.panes; }, 10.0)) << jalv.output();

    std::set<std::string> expected;
    for (auto const& entry : std::filesystem::directory_iterator(kExampleShapes))
        if (entry.path().extension() == ".shp")
            expected.insert(entry.path().stem());
    std::vector<std::filesystem::path> untouchedBefore;
    for (int pane = 0; pane < preset.panes; ++pane)
        if (pane != preset.pane)
            untouchedBefore.push_back(capturedPane(*editor, pane, folder_.path(), "untouched-" + std::to_string(pane)));

    std::set<std::string> chosen;
    for (int index = 0; index < static_cast<int>(expected.size()); ++index) {
        std::string const label = jalv.choosePreset(index);
        SCOPED_TRACE("preset " + std::to_string(index) + ": " + label);
        ASSERT_TRUE(expected.contains(label));
        chosen.insert(label);
        std::filesystem::path const target = drawnShape(kExampleShapes / (label + ".shp"), folder_.path(), label);
        std::optional<long> differing;
        eventually([&] {
            differing = differingPixels(capturedPane(*editor, preset.pane, folder_.path(), label), target);
            return differing == std::optional<long>(0);
        }, 5.0);
        EXPECT_EQ(differing, std::optional<long>(0));
    }
    EXPECT_EQ(chosen, expected);

    int untouched = 0;
    for (int pane = 0; pane < preset.panes; ++pane) {
        if (pane == preset.pane)
            continue;
        std::filesystem::path const now = capturedPane(*editor, pane, folder_.path(), "untouched-after-" + std::to_string(pane));
        EXPECT_EQ(differingPixels(now, untouchedBefore[untouched++]), std::optional<long>(0)) << "pane " << pane;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Plugins, PresetMenu,
    ::testing::Values(PresetCase{"shaper", "urn:zr-shapes:lv2:shaper", "Shape Shaper", 0, 1},
                      PresetCase{"envelope", "urn:zr-shapes:lv2:envelope", "Shape Envelope", 0, 1},
                      PresetCase{"synth", "urn:zr-shapes:lv2:synth", "Shape Synth", 0, 2}),
    byName);

} // namespace
} // namespace zr::test

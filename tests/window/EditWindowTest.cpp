// `zrhost edit` on a virtual X server of the test's own, driven as a person drives it: drags
// with the mouse, keys, resizing; read back through the files it saves and the pictures of
// its window.

#include <gtest/gtest.h>

#include <chrono>
#include <algorithm>
#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include <unistd.h>

#include "host/patch/ShapeValues.h"
#include "shapes/Volts.h"
#include "testing/TemporaryFolder.h"
#include "testing/jack/JackServer.h"
#include "testing/jack/JackTestClients.h"
#include "testing/x11/XTools.h"
#include "testing/x11/XvfbServer.h"
#include "tests/cli/ZrhostProcess.h"

namespace zr::test {
namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 200;
// The editor leaves this share of the window's size free on every side (ZR_ShapeEditor5's
// BorderFactor default, 3.5 %); the shape spans the rest less one pixel.
constexpr float kBorder = 0.035f;

struct PixelPoint {
    int x;
    int y;
};

// Where a node in volts lies in a window of the given size.
PixelPoint pixelOfNode(float xVolts, float yVolts, int width, int height) {
    float const innerWidth = (1.0f - 2.0f * kBorder) * width - 1.0f;
    float const innerHeight = (1.0f - 2.0f * kBorder) * height - 1.0f;
    float const x = kBorder * width + (xVolts + 5.0f) / 10.0f * innerWidth;
    float const y = kBorder * height + (5.0f - yVolts) / 10.0f * innerHeight;
    return {static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y))};
}

// How far a node moves, in volts, for a pointer movement in pixels: it follows the pointer.
float voltsOfPixelsX(int pixels, int width) { return pixels * 10.0f / ((1.0f - 2.0f * kBorder) * width - 1.0f); }
float voltsOfPixelsY(int pixels, int height) { return -pixels * 10.0f / ((1.0f - 2.0f * kBorder) * height - 1.0f); }

Shape shapeInFile(std::filesystem::path const& file) { return host::shapeOfFileContent(contentOf(file)); }

// The test's name as one folder name: a parameterised test's "Name/Case" becomes "Name-Case".
std::string folderNameOfTest() {
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '-');
    return name;
}

// zrhost edit FILE on the fixture's display, its window found by the file's name.
class EditWindow : public ::testing::Test {
protected:
    EditWindow() : folder_("zr-edit-window-" + folderNameOfTest()) {}

    // Starts the editor on `shapeFile` (written into the folder as `name`), with `input` as
    // its standard input (the answers to its questions).
    XWindow start(std::string const& name, std::string const& shapeFile, std::string const& input = {},
                  std::vector<std::string> const& extra = {}) {
        file_ = folder_.write(name, shapeFile);
        std::vector<std::string> arguments{"edit", name};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        process_.emplace(Launch{.arguments = arguments, .folder = folder_.path(), .input = input});
        std::optional<XWindow> window = XWindow::find(name + " \u2014 zrhost edit");
        if (!window)
            throw std::runtime_error("no window titled after " + name);
        return *window;
    }

    // Presses keys (e.g. ctrl+s) and waits until the file's content differs from `before`.
    std::string saveAfter(XWindow const& window, std::string const& before) {
        window.key("ctrl+s");
        std::string content;
        eventually([&] { return (content = contentOf(file_)) != before; }, 10.0);
        return content;
    }

    // Pictures of the window until one equals `zrhost draw` of the saved shape at this size,
    // with the node `activeNode` selected.
    std::optional<long> differenceFromDraw(XWindow const& window, int width, int height, int activeNode,
                                           std::vector<std::string> const& pins = {}) {
        std::filesystem::path const drawn = folder_.path() / "drawn.png";
        std::filesystem::path const shown = folder_.path() / "shown.png";
        std::vector<std::string> arguments{"draw", "--shape-file", file_.string(), "--width", std::to_string(width),
                                           "--height", std::to_string(height), "--pin", "ActiveNode=" + std::to_string(activeNode),
                                           "-o", drawn.string()};
        for (std::string const& pin : pins)
            arguments.insert(arguments.end(), {"--pin", pin});
        Finished const draw = runZrhost({.arguments = arguments, .folder = folder_.path()});
        if (draw.exitCode != 0)
            throw std::runtime_error("zrhost draw failed: " + draw.err);
        std::optional<long> difference;
        eventually([&] {
            window.capture(shown);
            difference = differingPixels(shown, drawn);
            return difference == 0L;
        }, 5.0);
        return difference;
    }

    Finished quit(XWindow const& window) {
        window.closingKey("Escape");
        return process_->wait();
    }

    XvfbServer server_;
    TemporaryFolder folder_;
    std::filesystem::path file_;
    std::optional<ZrhostProcess> process_;
};

struct DragCase {
    char const* name;
    char const* shapeFile;
    int node;
    int dx; // pixels
    int dy;
    bool endNode; // its x stays at its end
};

void PrintTo(DragCase const& drag, std::ostream* out) { *out << drag.name; }

class EditWindowDrag : public EditWindow, public ::testing::WithParamInterface<DragCase> {};

// A drag moves the node by the pointer's movement; save writes it; undo restores the shape
// and redo brings the moved one back, each read back from a save.
TEST_P(EditWindowDrag, SaveUndoRedo) {
    DragCase const& drag = GetParam();
    XWindow const window = start("dragged.shp", drag.shapeFile);
    std::string const original = contentOf(file_);
    Shape const before = shapeInFile(file_);
    Node const node = before.nodes[drag.node];
    PixelPoint const from = pixelOfNode(voltsFromX(node.x), voltsFromY(node.y), kWidth, kHeight);

    window.drag(from.x, from.y, from.x + drag.dx, from.y + drag.dy);
    EXPECT_TRUE(eventually([&] { return window.title().starts_with("*dragged.shp"); }, 5.0)) << window.title();
    std::string const moved = saveAfter(window, original);
    ASSERT_NE(moved, original) << "ctrl+s wrote nothing";
    EXPECT_EQ(window.title(), "dragged.shp \u2014 zrhost edit");
    Shape const after = host::shapeOfFileContent(moved);
    ASSERT_EQ(after.nodeCount, before.nodeCount);
    float const expectedX = drag.endNode ? voltsFromX(node.x) : voltsFromX(node.x) + voltsOfPixelsX(drag.dx, kWidth);
    float const expectedY = voltsFromY(node.y) + voltsOfPixelsY(drag.dy, kHeight);
    EXPECT_NEAR(voltsFromX(after.nodes[drag.node].x), expectedX, 1e-3f);
    EXPECT_NEAR(voltsFromY(after.nodes[drag.node].y), expectedY, 1e-3f);
    for (int i = 0; i < before.nodeCount; ++i) {
        if (i == drag.node)
            continue;
        EXPECT_EQ(after.nodes[i].x, before.nodes[i].x) << "node " << i;
        EXPECT_EQ(after.nodes[i].y, before.nodes[i].y) << "node " << i;
    }

    window.key("ctrl+z");
    std::string const undone = saveAfter(window, moved);
    Shape const restored = host::shapeOfFileContent(undone);
    ASSERT_EQ(restored.nodeCount, before.nodeCount);
    for (int i = 0; i < before.nodeCount; ++i) {
        EXPECT_EQ(restored.nodes[i].x, before.nodes[i].x) << "undo, node " << i;
        EXPECT_EQ(restored.nodes[i].y, before.nodes[i].y) << "undo, node " << i;
    }

    for (char const* redo : {"ctrl+shift+z", "ctrl+y"}) {
        SCOPED_TRACE(redo);
        window.key(redo);
        EXPECT_EQ(saveAfter(window, undone), moved);
        window.key("ctrl+z");
        EXPECT_EQ(saveAfter(window, moved), undone);
    }
    Finished const finished = quit(window);
    EXPECT_EQ(finished.exitCode, 0) << finished.err;
}

INSTANTIATE_TEST_SUITE_P(Nodes, EditWindowDrag,
                         ::testing::Values(DragCase{"PeakRightDown", "(-5,-5)(0,5)(5,-5)\nITP=10", 1, 40, 40, false},
                                           DragCase{"MiddleLeftUp", "(-5,-5)(0,0)(5,5)\nITP=20", 1, -30, -25, false},
                                           DragCase{"FirstNodeUp", "(-5,-5)(2,1)(5,4)\nITP=10", 0, 0, -30, true}),
                         [](auto const& info) { return std::string(info.param.name); });

// The window shows what `zrhost draw` draws of the same shape at the same size, after a drag
// (the dragged node stays selected) and after each resize.
TEST_F(EditWindow, PictureEqualsDrawAtEverySize) {
    XWindow const window = start("picture.shp", "(-5,-5)(-2,3)(1,-1)(5,5)\nITP=30");
    PixelPoint const from = pixelOfNode(-2.0f, 3.0f, kWidth, kHeight);
    window.drag(from.x, from.y, from.x + 25, from.y + 30);
    ASSERT_NE(saveAfter(window, contentOf(file_)), "");
    struct Size {
        int width;
        int height;
    };
    for (Size const size : {Size{kWidth, kHeight}, Size{300, 260}, Size{560, 170}}) {
        SCOPED_TRACE(std::to_string(size.width) + " x " + std::to_string(size.height));
        if (size.width != kWidth || size.height != kHeight)
            window.resize(size.width, size.height);
        EXPECT_EQ(differenceFromDraw(window, size.width, size.height, 1), 0L);
    }
    EXPECT_EQ(quit(window).exitCode, 0);
}

// --scale 2 doubles the window and the editor's node and line sizes (10, 1 and 2 pixels).
TEST_F(EditWindow, ScaleDoublesWindowAndPixelSizes) {
    XWindow const window = start("scaled.shp", "(-5,-5)(-2,3)(1,-1)(5,5)\nITP=30", {}, {"--scale", "2"});
    EXPECT_EQ(differenceFromDraw(window, 2 * kWidth, 2 * kHeight, -1, {"NodeSize=20", "NodeThickness=2", "ShapeThickness=4"}),
              0L);
    EXPECT_EQ(quit(window).exitCode, 0);
}

struct ModeCase {
    char const* keys;
    int32_t mode;
};

// The mode keys choose the shape's interpolation; undo goes back to the mode before.
TEST_F(EditWindow, ModeKeys) {
    XWindow const window = start("modes.shp", "(-5,-5)(0,3)(5,5)\nITP=10");
    std::string saved = contentOf(file_);
    int32_t previous = Linear;
    for (ModeCase const mode : {ModeCase{"3", VarekSpline}, ModeCase{"1", None}, ModeCase{"4", NaturalSpline},
                                ModeCase{"i", None}, ModeCase{"i", Linear}}) {
        SCOPED_TRACE(mode.keys);
        window.key(mode.keys);
        saved = saveAfter(window, saved);
        EXPECT_EQ(host::shapeOfFileContent(saved).interpolation, mode.mode);
        window.key("ctrl+z");
        saved = saveAfter(window, saved);
        EXPECT_EQ(host::shapeOfFileContent(saved).interpolation, previous);
        window.key("ctrl+y");
        saved = saveAfter(window, saved);
        previous = mode.mode;
    }
    EXPECT_EQ(quit(window).exitCode, 0);
}

struct QuitCase {
    char const* answer;
    bool saved;
};

void PrintTo(QuitCase const& quitCase, std::ostream* out) { *out << "answers \"" << quitCase.answer << "\""; }

class EditWindowQuit : public EditWindow, public ::testing::WithParamInterface<QuitCase> {};

// Quitting with unsaved changes asks on the terminal: yes saves, no leaves the file as it was.
TEST_P(EditWindowQuit, AsksWhenUnsaved) {
    QuitCase const& quitCase = GetParam();
    XWindow const window = start("unsaved.shp", "(-5,-5)(0,5)(5,-5)\nITP=10", quitCase.answer);
    std::string const original = contentOf(file_);
    PixelPoint const from = pixelOfNode(0.0f, 5.0f, kWidth, kHeight);
    window.drag(from.x, from.y, from.x, from.y + 50);
    ASSERT_TRUE(eventually([&] { return window.title().starts_with("*"); }, 5.0)) << window.title();
    Finished const finished = quit(window);
    EXPECT_EQ(finished.exitCode, 0) << finished.err;
    EXPECT_NE(finished.err.find("Save the changes to unsaved.shp"), std::string::npos) << finished.err;
    EXPECT_EQ(contentOf(file_) != original, quitCase.saved);
}

INSTANTIATE_TEST_SUITE_P(Answers, EditWindowQuit,
                         ::testing::Values(QuitCase{"y\n", true}, QuitCase{"n\n", false}, QuitCase{"maybe\nyes\n", true},
                                           QuitCase{"", false}),
                         [](auto const& info) { return "Case" + std::to_string(info.index); });

struct NoDisplayCase {
    char const* name;
    char const* display; // null: unset
};

void PrintTo(NoDisplayCase const& without, std::ostream* out) { *out << without.name; }

class EditWithoutDisplay : public ::testing::TestWithParam<NoDisplayCase> {};

// No X server to reach: one clear message naming the display, a failure status, at once.
TEST_P(EditWithoutDisplay, SaysSoAndFails) {
    NoDisplayCase const& without = GetParam();
    TemporaryFolder const folder("zr-edit-no-display-" + std::string(without.name));
    if (without.display != nullptr)
        ::setenv("DISPLAY", without.display, 1);
    else
        ::unsetenv("DISPLAY");
    auto const started = std::chrono::steady_clock::now();
    Finished const finished = runZrhost({.arguments = {"edit"}, .folder = folder.path()});
    double const seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(finished.exitCode, 1);
    EXPECT_NE(finished.err.find("display"), std::string::npos) << finished.err;
    EXPECT_EQ(std::count(finished.err.begin(), finished.err.end(), '\n'), 1) << finished.err;
    EXPECT_LT(seconds, 5.0);
}

INSTANTIATE_TEST_SUITE_P(Displays, EditWithoutDisplay,
                         ::testing::Values(NoDisplayCase{"Unset", nullptr}, NoDisplayCase{"Empty", ""},
                                           NoDisplayCase{"NoServer", ":4999"}, NoDisplayCase{"Nonsense", "not a display"}),
                         [](auto const& info) { return std::string(info.param.name); });

} // namespace
} // namespace zr::test

namespace zr::test {
namespace {

// Asked to listen where no sound can play, the editor says why once and edits on.
TEST_F(EditWindow, ListeningOffIsSaidAndEditingGoesOn) {
    std::string const noServer = "zr-test-no-server-" + std::to_string(::getpid());
    for (std::vector<std::string> const& listen : {std::vector<std::string>{"--listen", "--server", noServer},
                                                   std::vector<std::string>{"--listen", "patch.json", "--as", "wave"}}) {
        SCOPED_TRACE(listen.size());
        XWindow const window = start("heard.shp", "(-5,-5)(0,5)(5,-5)\nITP=10", {}, listen);
        window.key("3");
        EXPECT_EQ(host::shapeOfFileContent(saveAfter(window, contentOf(file_))).interpolation, VarekSpline);
        Finished const finished = quit(window);
        EXPECT_EQ(finished.exitCode, 0);
        EXPECT_EQ(finished.err.find("zrhost: listening is off: "), 0u) << finished.err;
    }
}

} // namespace
} // namespace zr::test

namespace zr::test {
namespace {

struct DoubleClickCase {
    char const* name;
    float xVolts; // where the two clicks land
    float yVolts;
    int delayMilliseconds;
    int nodesAfter;
};

void PrintTo(DoubleClickCase const& click, std::ostream* out) { *out << click.name; }

class EditWindowDoubleClick : public EditWindow, public ::testing::WithParamInterface<DoubleClickCase> {};

// Two quick clicks, timed by the X server's event times, are a double click: on empty space
// it adds a node, on an interior node it removes it; two slow clicks are two single clicks.
TEST_P(EditWindowDoubleClick, AddsOrRemovesANode) {
    DoubleClickCase const& click = GetParam();
    XWindow const window = start("clicked.shp", "(-5,-5)(0,3)(5,5)\nITP=10");
    PixelPoint const at = pixelOfNode(click.xVolts, click.yVolts, kWidth, kHeight);
    window.doubleClick(at.x, at.y, click.delayMilliseconds);
    window.key("ctrl+s");
    // The window handles its events in order, so once it has quit the save is done.
    Finished const finished = quit(window);
    EXPECT_EQ(finished.exitCode, 0) << finished.err;
    EXPECT_EQ(finished.err.find("Save the changes"), std::string::npos) << "the save came before the quit";
    EXPECT_EQ(host::shapeOfFileContent(contentOf(file_)).nodeCount, click.nodesAfter) << contentOf(file_);
}

INSTANTIATE_TEST_SUITE_P(Clicks, EditWindowDoubleClick,
                         ::testing::Values(DoubleClickCase{"OnEmptySpaceAdds", -2.5f, -4.0f, 60, 4},
                                           DoubleClickCase{"OnInteriorNodeRemoves", 0.0f, 3.0f, 60, 2},
                                           DoubleClickCase{"SlowClicksAddNothing", -2.5f, -4.0f, 450, 3}),
                         [](auto const& info) { return std::string(info.param.name); });

} // namespace
} // namespace zr::test

namespace zr::test {
namespace {

struct LostServerCase {
    char const* name;
    bool edited;      // a node dragged and not saved before the server goes
};

void PrintTo(LostServerCase const& lost, std::ostream* out) { *out << lost.name; }

class EditWindowLosingItsServer : public EditWindow, public ::testing::WithParamInterface<LostServerCase> {};

// The X server going away mid-edit ends the editor at once, and unsaved work is kept beside
// its file (the file itself untouched); with nothing unsaved no recovery file appears.
TEST_P(EditWindowLosingItsServer, KeepsUnsavedWork) {
    LostServerCase const& lost = GetParam();
    XWindow const window = start("lost.shp", "(-5,-5)(0,5)(5,-5)\nITP=10");
    std::string const original = contentOf(file_);
    if (lost.edited) {
        PixelPoint const from = pixelOfNode(0.0f, 5.0f, kWidth, kHeight);
        window.drag(from.x, from.y, from.x, from.y + 50);
        ASSERT_TRUE(eventually([&] { return window.title().starts_with("*lost.shp"); }, 5.0)) << window.title();
    }
    server_.stop();
    Finished const finished = process_->wait();
    EXPECT_EQ(finished.exitCode, 1);
    EXPECT_NE(finished.err.find("connection to the X server is lost"), std::string::npos) << finished.err;
    EXPECT_EQ(contentOf(file_), original);
    std::filesystem::path const recovery = folder_.path() / "lost.recovered.shp";
    ASSERT_EQ(std::filesystem::exists(recovery), lost.edited) << finished.err;
    if (lost.edited) {
        Shape const kept = shapeInFile(recovery);
        ASSERT_EQ(kept.nodeCount, 3);
        EXPECT_NEAR(voltsFromY(kept.nodes[1].y), 5.0f + voltsOfPixelsY(50, kHeight), 1e-3f);
        EXPECT_NE(finished.err.find(recovery.filename().string()), std::string::npos) << finished.err;
    }
}

INSTANTIATE_TEST_SUITE_P(Edits, EditWindowLosingItsServer,
                         ::testing::Values(LostServerCase{"UnsavedDrag", true}, LostServerCase{"NothingUnsaved", false}),
                         [](auto const& info) { return std::string(info.param.name); });

} // namespace
} // namespace zr::test

namespace zr::test {
namespace {

// The largest magnitude among the last `frames` samples of what the recorder kept.
float loudnessOfLast(JackRecorder const& recorder, int64_t frames) {
    std::vector<float> const samples = recorder.samples(0);
    float loudest = 0.0f;
    for (size_t i = samples.size() - std::min<size_t>(samples.size(), static_cast<size_t>(frames)); i < samples.size(); ++i)
        loudest = std::max(loudest, std::abs(samples[i]));
    return loudest;
}

// With --listen the shape is heard through JACK and every edit reaches the sound: a flat
// transfer curve at 0 V is silent, the tone sounds once a drag lifts its middle node, and
// undo silences it again.
TEST_F(EditWindow, ListeningFollowsEachEdit) {
    using namespace std::chrono_literals;
    JackServer jack;
    JackRecorder recorder(jack, "recorder", 1, 60 * jack.sampleRate());
    XWindow const window = start("heard.shp", "(-5,0)(0,0)(5,0)\nITP=10", {}, {"--listen", "--server", jack.name()});
    ASSERT_TRUE(eventually([&] {
        try {
            connectPorts(jack, "zrhost-listen:out_1", recorder.portName(0));
            return true;
        } catch (std::runtime_error const&) {
            return false;
        }
    }, 5.0));
    int64_t const tenth = jack.sampleRate() / 10;
    auto heardAfterNow = [&] {
        int64_t const from = recorder.framesKept();
        EXPECT_TRUE(recorder.waitFor(from + 2 * tenth, 5s));
        return loudnessOfLast(recorder, tenth);
    };
    EXPECT_EQ(heardAfterNow(), 0.0f) << "a flat curve at 0 V sounds";

    PixelPoint const middle = pixelOfNode(0.0f, 0.0f, kWidth, kHeight);
    window.drag(middle.x, middle.y, middle.x, middle.y - 60);
    ASSERT_TRUE(eventually([&] { return window.title().starts_with("*heard.shp"); }, 5.0)) << window.title();
    EXPECT_GT(heardAfterNow(), 0.05f) << "the lifted node is not heard";

    window.key("ctrl+z");
    ASSERT_TRUE(eventually([&] { return window.title().starts_with("heard.shp"); }, 5.0)) << window.title();
    EXPECT_EQ(heardAfterNow(), 0.0f) << "undo is not heard";
    Finished const finished = quit(window);
    EXPECT_EQ(finished.exitCode, 0) << finished.err;
    EXPECT_EQ(finished.err.find("listening is off"), std::string::npos) << finished.err;
}

} // namespace
} // namespace zr::test

// The plug-ins' interface in jalv (jalv.gtk3, which shows an X11 interface inside its own
// window), on a virtual X server and a JACK dummy server of the test's own: a drag in an
// editor changes the plug-in's shape, read back from the plug-in's own announcement of the
// shape it keeps (jalv -d prints every message between plug-in and interface).

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host/TextConversion.h"
#include "shapes/Shape.h"
#include "shapes/Volts.h"
#include "testing/TemporaryFolder.h"
#include "testing/jack/JackServer.h"
#include "testing/x11/XTools.h"
#include "testing/x11/XvfbServer.h"

namespace zr::test {
namespace {

// ZR_ShapeEditor5 leaves this share of its size free on every side (BorderFactor, 3.5 %).
constexpr float kBorder = 0.035f;
constexpr int kLabelHeight = 18; // above each editor
constexpr int kPaneWidth = 320;  // each editor's width at the interface's first size
constexpr int kPaneHeight = 220;

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

std::string contentOf(std::filesystem::path const& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

bool eventually(auto condition, double seconds) {
    auto const deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// jalv.gtk3 running one plug-in, its output in a file, ended (SIGTERM, then SIGKILL) by the
// destructor, and killed with the test process should that die first.
class JalvProcess {
public:
    JalvProcess(std::string const& pluginUri, std::string const& jackServer, std::filesystem::path const& output) {
        std::string const clientName = "zrtest-ui-" + std::to_string(::getpid());
        pid_ = ::fork();
        if (pid_ == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            int const file = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(file, STDOUT_FILENO);
            ::dup2(file, STDERR_FILENO);
            ::setenv("LV2_PATH", ZR_LV2_BUNDLE_PARENT, 1);
            ::setenv("JACK_DEFAULT_SERVER", jackServer.c_str(), 1);
            ::setenv("JACK_NO_START_SERVER", "1", 1);
            // Line-buffered, so that each message is in the file once printed.
            ::execlp("stdbuf", "stdbuf", "-oL", "jalv.gtk3", "-d", "-n", clientName.c_str(), pluginUri.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~JalvProcess() {
        ::kill(pid_, SIGTERM);
        for (int i = 0; i < 50; ++i) {
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    JalvProcess(JalvProcess const&) = delete;
    JalvProcess& operator=(JalvProcess const&) = delete;

private:
    pid_t pid_ = -1;
};

// The shape texts the plug-in announced for `property` (a patch:Set from the plug-in to its
// interface), in the order of jalv's dump.
std::vector<std::string> announcedShapes(std::string const& dump, std::string const& property) {
    std::vector<std::string> texts;
    std::regex const message("## Plugin => UI \\([0-9]+ bytes\\) ##[^#]*?patch:property <" + property + ">[^#]*?patch:value \"([^\"]*)\"");
    for (auto it = std::sregex_iterator(dump.begin(), dump.end(), message); it != std::sregex_iterator(); ++it)
        texts.push_back((*it)[1]);
    return texts;
}

Shape shapeOfText(std::string const& text) {
    Shape shape;
    shape.setString(host::wideFromUtf8(text));
    return shape;
}

struct DragCase {
    char const* name;
    char const* pluginUri;
    char const* title;
    char const* property; // the dragged shape's parameter
    int pane;             // the editor showing it
    int node;
    int dy; // pixels, downwards
};

void PrintTo(DragCase const& drag, std::ostream* out) { *out << drag.name; }

class InterfaceInJalv : public ::testing::TestWithParam<DragCase> {
protected:
    XvfbServer display_;
    JackServer jack_;
    TemporaryFolder folder_{"zr-lv2-interface"};
};

// A node dragged down in the editor moves down as far in the shape the plug-in keeps; every
// other node stays.
TEST_P(InterfaceInJalv, DragChangesThePluginsShape) {
    DragCase const& drag = GetParam();
    std::filesystem::path const dump = folder_.path() / "jalv.txt";
    JalvProcess const jalv(drag.pluginUri, jack_.name(), dump);
    std::optional<XWindow> const window = XWindow::find(drag.title, 20.0);
    ASSERT_TRUE(window) << contentOf(dump);

    std::vector<std::string> before;
    ASSERT_TRUE(eventually([&] { return !(before = announcedShapes(contentOf(dump), drag.property)).empty(); }, 10.0))
        << "the plug-in never announced its shape\n" << contentOf(dump);
    Shape const initial = shapeOfText(before.back());
    ASSERT_FALSE(initial.invalid) << before.back();
    Node const node = initial.nodes[drag.node];
    PixelPoint const from = pixelOfNode(voltsFromX(node.x), voltsFromY(node.y), drag.pane);
    window->drag(from.x, from.y, from.x, from.y + drag.dy);

    std::optional<Shape> after;
    eventually([&] {
        std::vector<std::string> const texts = announcedShapes(contentOf(dump), drag.property);
        if (texts.size() <= before.size())
            return false;
        after = shapeOfText(texts.back());
        return std::fabs(voltsFromY(after->nodes[drag.node].y) - (voltsFromY(node.y) + voltsOfPixelsY(drag.dy))) < 1e-2f;
    }, 10.0);
    ASSERT_TRUE(after) << "the plug-in announced no new shape after the drag\n" << contentOf(dump);
    ASSERT_EQ(after->nodeCount, initial.nodeCount);
    for (int32_t i = 0; i < initial.nodeCount; ++i) {
        SCOPED_TRACE("node " + std::to_string(i));
        EXPECT_NEAR(voltsFromX(after->nodes[i].x), voltsFromX(initial.nodes[i].x), 1e-3f);
        float const expectedY = voltsFromY(initial.nodes[i].y) + (i == drag.node ? voltsOfPixelsY(drag.dy) : 0.0f);
        EXPECT_NEAR(voltsFromY(after->nodes[i].y), expectedY, 1e-2f);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Plugins, InterfaceInJalv,
    ::testing::Values(
        DragCase{"shaper_middle_node", "urn:zr-shapes:lv2:shaper", "Shape Shaper shape editor", "urn:zr-shapes:lv2:shape", 0, 2, 40},
        DragCase{"synth_envelope_second_node", "urn:zr-shapes:lv2:synth", "Shape Synth shape editor",
                 "urn:zr-shapes:lv2:envelopeShape", 1, 2, 30},
        DragCase{"synth_wave_peak_node", "urn:zr-shapes:lv2:synth", "Shape Synth shape editor", "urn:zr-shapes:lv2:waveShape",
                 0, 1, 25}),
    [](auto const& info) { return std::string(info.param.name); });

} // namespace
} // namespace zr::test

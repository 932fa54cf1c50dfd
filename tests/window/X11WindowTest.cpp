// The window layer on its own, inside a test process, on a virtual X server of the test's
// own: as a child of a given window (a plug-in host's), driven by a host's idle loop through
// handlePendingEvents, its picture copied onto the window.

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <chrono>
#include <cstdint>
#include <vector>

#include "host/window/X11Window.h"
#include "testing/x11/XTools.h"
#include "testing/x11/XvfbServer.h"

namespace zr::test {
namespace {

// Shows one colour and records what reaches it.
class OneColourClient final : public window::WindowClient {
public:
    explicit OneColourClient(uint32_t rgb) : rgb_(rgb) {}
    ~OneColourClient() override {
        if (picture_ != nullptr)
            cairo_surface_destroy(picture_);
    }

    void resized(int width, int height) override {
        sizes.push_back({width, height});
        if (picture_ != nullptr)
            cairo_surface_destroy(picture_);
        picture_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
        cairo_t* cr = cairo_create(picture_);
        cairo_set_source_rgb(cr, ((rgb_ >> 16) & 0xFF) / 255.0, ((rgb_ >> 8) & 0xFF) / 255.0, (rgb_ & 0xFF) / 255.0);
        cairo_paint(cr);
        cairo_destroy(cr);
    }
    _cairo_surface* picture() override {
        ++pictures;
        return picture_;
    }
    bool wantsRedraw() const override { return false; }
    void pointerPressed(window::PointerEvent const& event) override { presses.push_back(event); }
    void pointerMoved(window::PointerEvent const&) override {}
    void pointerReleased(window::PointerEvent const& event) override { releases.push_back(event); }
    void keyPressed(window::KeyEvent const& event) override { keys.push_back(event); }
    void closeRequested() override {}

    struct Size {
        int width;
        int height;
        bool operator==(Size const&) const = default;
    };
    std::vector<Size> sizes;
    std::vector<window::PointerEvent> presses;
    std::vector<window::PointerEvent> releases;
    std::vector<window::KeyEvent> keys;
    int pictures = 0;

private:
    uint32_t rgb_;
    cairo_surface_t* picture_ = nullptr;
};

// Handles events as a plug-in host's idle loop would, until `done` or two seconds passed.
template <typename Done>
bool idleUntil(window::X11Window& window, Done const& done) {
    auto const deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (std::chrono::steady_clock::now() < deadline) {
        window.handlePendingEvents();
        if (done())
            return true;
    }
    return false;
}

uint32_t pixelOf(Display* display, unsigned long window, int x, int y) {
    XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
    uint32_t const pixel = static_cast<uint32_t>(XGetPixel(image, 0, 0)) & 0xFFFFFF;
    XDestroyImage(image);
    return pixel;
}

// A virtual X server, a host's own connection to it and a shown window of the host's, the
// parent the window layer is given; the connection is closed however the test ends.
class X11WindowInHost : public ::testing::Test {
protected:
    void SetUp() override {
        host = XOpenDisplay(server.name().c_str());
        ASSERT_NE(host, nullptr);
        parent = XCreateSimpleWindow(host, DefaultRootWindow(host), 0, 0, 500, 300, 0, 0, 0);
        XMapWindow(host, parent);
        XSync(host, False);
    }
    void TearDown() override {
        if (host != nullptr)
            XCloseDisplay(host);
    }

    XvfbServer const server;
    Display* host = nullptr;
    unsigned long parent = 0;
};

TEST_F(X11WindowInHost, LivesInsideAGivenParentAndRunsFromAnIdleLoop) {
    constexpr uint32_t kColour = 0x3080C0;
    OneColourClient client(kColour);
    {
        window::X11Window window({.title = "inside", .width = 200, .height = 120, .parent = parent, .display = server.name()},
                                 client);
        Window root = 0;
        Window actualParent = 0;
        Window* children = nullptr;
        unsigned int childCount = 0;
        XQueryTree(host, window.id(), &root, &actualParent, &children, &childCount);
        XFree(children);
        EXPECT_EQ(actualParent, parent);
        ASSERT_FALSE(client.sizes.empty());
        EXPECT_EQ(client.sizes.front(), (OneColourClient::Size{200, 120}));

        // The picture reaches the window once it is shown.
        EXPECT_TRUE(idleUntil(window, [&] { return client.pictures > 0 && pixelOf(host, window.id(), 150, 100) == kColour; }));

        std::string const id = std::to_string(window.id());
        tool({"xdotool", "windowsize", id, "320", "90"});
        EXPECT_TRUE(idleUntil(window, [&] { return client.sizes.back() == OneColourClient::Size{320, 90}; }));
        EXPECT_TRUE(idleUntil(window, [&] { return pixelOf(host, window.id(), 310, 80) == kColour; }));

        tool({"xdotool", "mousemove", "--window", id, "40", "30", "click", "1"});
        ASSERT_TRUE(idleUntil(window, [&] { return !client.releases.empty(); }));
        ASSERT_EQ(client.presses.size(), 1u);
        EXPECT_EQ(client.presses[0].button, 1);
        EXPECT_EQ(client.presses[0].x, 40.0f);
        EXPECT_EQ(client.presses[0].y, 30.0f);
        EXPECT_FALSE(client.releases[0].primaryHeld);

        tool({"xdotool", "key", "--window", id, "ctrl+shift+z"});
        // The modifier keys arrive as presses of their own, before the z.
        auto const z = [&] {
            return std::find_if(client.keys.begin(), client.keys.end(), [](window::KeyEvent const& key) { return key.key == "z"; });
        };
        ASSERT_TRUE(idleUntil(window, [&] { return z() != client.keys.end(); }));
        EXPECT_TRUE(z()->control);
        EXPECT_TRUE(z()->shift);

        window.stop();
        EXPECT_FALSE(window.handlePendingEvents());
    }
}

// A host may destroy its window before the interface's clean-up, taking the child with it:
// drawing into the gone window and destroying it then must not end the host's process
// (Xlib's default error handler would); a parent that is no window is refused at once.
TEST_F(X11WindowInHost, OutlivesItsParentAndRefusesAParentThatIsNoWindow) {
    OneColourClient client(0x20A040);
    {
        window::X11Window window({.title = "orphan", .width = 200, .height = 120, .parent = parent, .display = server.name()},
                                 client);
        ASSERT_TRUE(idleUntil(window, [&] { return client.pictures > 0; }));
        XDestroyWindow(host, parent);
        XSync(host, False);
        window.setTitle("still here"); // a request to the window that is gone
        window.handlePendingEvents();
    }
    EXPECT_THROW(window::X11Window({.title = "nowhere", .width = 10, .height = 10, .parent = parent, .display = server.name()},
                                   client),
                 std::runtime_error);
    // Errors on other connections still reach the handler that was there before.
    static int othersSeen = 0;
    XErrorHandler const before = XSetErrorHandler([](Display*, XErrorEvent*) { return ++othersSeen, 0; });
    {
        window::X11Window window({.title = "beside", .width = 10, .height = 10, .parent = 0, .display = server.name()}, client);
        XDestroyWindow(host, parent); // gone already: an error on the host's own connection
        XSync(host, False);
    }
    XSetErrorHandler(before);
    EXPECT_EQ(othersSeen, 1);
}

} // namespace
} // namespace zr::test

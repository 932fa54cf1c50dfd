#pragma once
// A virtual X server of the test's own: Xvfb started on a display it chooses itself (so that
// tests running in parallel never meet), waited for until it accepts connections, made the
// DISPLAY of this process and its children, and killed in the destructor, also when the test
// fails. Should the test process die first, the server is killed with it.

#include <X11/Xlib.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

#include "testing/ChildProcess.h"

namespace zr::test {

class XvfbServer {
public:
    static constexpr char const* kScreen = "1024x768x24";

    XvfbServer() {
        int channel[2];
        if (::pipe(channel) != 0)
            throw std::runtime_error("no pipe for Xvfb's display number");
        // Xvfb inherits the pipe's writing end and writes the display number into it.
        server_.emplace(ChildSetup{{"Xvfb", "-displayfd", std::to_string(channel[1]), "-screen", "0", kScreen, "-nolisten",
                                    "tcp", "-noreset"},
                                   {},
                                   {}});
        ::close(channel[1]);
        std::optional<std::string> const number = readDisplayNumber(channel[0]);
        ::close(channel[0]);
        if (!number) {
            stop();
            throw std::runtime_error("Xvfb did not start (is it installed? scripts/setup.sh installs it)");
        }
        name_ = ":" + *number;
        if (char const* previous = std::getenv("DISPLAY"))
            previousDisplay_ = previous;
        ::setenv("DISPLAY", name_.c_str(), 1);
        if (!acceptsConnections()) {
            stop();
            throw std::runtime_error("Xvfb on " + name_ + " accepts no connection");
        }
    }
    ~XvfbServer() {
        stop();
        if (previousDisplay_)
            ::setenv("DISPLAY", previousDisplay_->c_str(), 1);
        else
            ::unsetenv("DISPLAY");
    }
    XvfbServer(XvfbServer const&) = delete;
    XvfbServer& operator=(XvfbServer const&) = delete;

    std::string const& name() const { return name_; }

    // Ends the server now, as when a user's X server stops mid-session (SIGTERM, then SIGKILL
    // after two seconds). The destructor does it otherwise.
    void stop() {
        if (server_)
            server_->stop(std::chrono::seconds(2));
    }

private:
    // Xvfb writes the number followed by a line end once it listens.
    static std::optional<std::string> readDisplayNumber(int readEnd) {
        std::string text;
        pollfd waiting{readEnd, POLLIN, 0};
        while (text.find('\n') == std::string::npos && ::poll(&waiting, 1, 10'000) > 0) {
            char chunk[16];
            ssize_t const got = ::read(readEnd, chunk, sizeof chunk);
            if (got <= 0)
                break;
            text.append(chunk, static_cast<std::size_t>(got));
        }
        std::size_t const end = text.find('\n');
        if (end == std::string::npos || end == 0)
            return std::nullopt;
        return text.substr(0, end);
    }

    bool acceptsConnections() const {
        auto const deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            if (Display* display = XOpenDisplay(name_.c_str())) {
                XCloseDisplay(display);
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    std::optional<ChildProcess> server_;
    std::string name_;
    std::optional<std::string> previousDisplay_;
};

} // namespace zr::test

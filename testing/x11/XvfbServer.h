#pragma once
// A virtual X server of the test's own: Xvfb started on a display it chooses itself (so that
// tests running in parallel never meet), waited for until it accepts connections, made the
// DISPLAY of this process and its children, and killed in the destructor, also when the test
// fails. Should the test process die first, the server is killed with it.

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

namespace zr::test {

class XvfbServer {
public:
    static constexpr char const* kScreen = "1024x768x24";

    XvfbServer() {
        int channel[2];
        if (::pipe(channel) != 0)
            throw std::runtime_error("no pipe for Xvfb's display number");
        pid_ = ::fork();
        if (pid_ == 0)
            becomeXvfb(channel[0], channel[1]); // never returns
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
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGTERM);
        for (int tries = 0; tries < 200; ++tries) {
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    [[noreturn]] static void becomeXvfb(int readEnd, int writeEnd) {
        ::close(readEnd);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        int const quiet = ::open("/dev/null", O_WRONLY);
        ::dup2(quiet, STDOUT_FILENO);
        ::dup2(quiet, STDERR_FILENO);
        std::string const fd = std::to_string(writeEnd);
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", kScreen, "-nolisten", "tcp", "-noreset",
                 static_cast<char*>(nullptr));
        ::_exit(127);
    }

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

    pid_t pid_ = -1;
    std::string name_;
    std::optional<std::string> previousDisplay_;
};

} // namespace zr::test

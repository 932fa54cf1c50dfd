#pragma once
// The X tools a person's actions and eyes are simulated with: xdotool (find a window, move
// and press the mouse, type keys, resize), ImageMagick's import (the window's picture) and
// compare (how many pixels differ). Each runs on the DISPLAY of this process.

#include <chrono>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "testing/ChildProcess.h"
#include "testing/TemporaryFolder.h"

namespace zr::test {

struct ToolResult {
    int exitCode = -1;
    std::string output; // standard output and error together
};

inline ToolResult runTool(std::vector<std::string> words) {
    std::filesystem::path const said = std::filesystem::temp_directory_path() / uniqueName("zrtest-tool");
    ToolResult result;
    result.exitCode = ChildProcess({std::move(words), said}).wait();
    result.output = contentOf(said);
    std::error_code ignored;
    std::filesystem::remove(said, ignored);
    return result;
}

// Runs the tool and throws, with what it said, when it fails.
inline std::string tool(std::vector<std::string> const& words) {
    ToolResult const result = runTool(words);
    if (result.exitCode != 0) {
        std::string command;
        for (std::string const& word : words)
            command += word + " ";
        throw std::runtime_error(command + "failed (" + std::to_string(result.exitCode) + "): " + result.output);
    }
    return result.output;
}

class XWindow {
public:
    // The first window whose title contains `title`, waited for up to `seconds`; with
    // `shownOnly`, the first one mapped on the screen (a window may be found before it is).
    static std::optional<XWindow> find(std::string const& title, double seconds = 10.0, bool shownOnly = false) {
        auto const deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        std::vector<std::string> search{"xdotool", "search", "--name", title};
        if (shownOnly)
            search.insert(search.begin() + 2, "--onlyvisible");
        do {
            ToolResult const found = runTool(search);
            if (found.exitCode == 0 && !found.output.empty())
                return XWindow(found.output.substr(0, found.output.find('\n')));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        } while (std::chrono::steady_clock::now() < deadline);
        return std::nullopt;
    }

    std::string const& id() const { return id_; }
    std::string title() const {
        std::string name = tool({"xdotool", "getwindowname", id_});
        while (!name.empty() && name.back() == '\n')
            name.pop_back();
        return name;
    }

    int width() const { return geometry("WIDTH"); }
    int height() const { return geometry("HEIGHT"); }

    // Presses the primary button at `from`, moves through `steps` points to `to`, releases.
    void drag(int fromX, int fromY, int toX, int toY, int steps = 4) const {
        std::vector<std::string> words{"xdotool", "mousemove", "--window", id_, std::to_string(fromX), std::to_string(fromY),
                                       "mousedown", "1"};
        for (int step = 1; step <= steps; ++step) {
            int const x = fromX + (toX - fromX) * step / steps;
            int const y = fromY + (toY - fromY) * step / steps;
            words.insert(words.end(), {"mousemove", "--window", id_, std::to_string(x), std::to_string(y)});
        }
        words.insert(words.end(), {"mouseup", "1"});
        tool(words);
    }
    // Two clicks of the primary button at `(x, y)`, `delayMilliseconds` apart.
    void doubleClick(int x, int y, int delayMilliseconds = 60) const {
        tool({"xdotool", "mousemove", "--window", id_, std::to_string(x), std::to_string(y), "click", "--repeat", "2",
              "--delay", std::to_string(delayMilliseconds), "1"});
    }
    // The pointer moved to `(x, y)`, nothing pressed.
    void hover(int x, int y) const { tool({"xdotool", "mousemove", "--window", id_, std::to_string(x), std::to_string(y)}); }
    // A click of the primary button at `(x, y)`.
    void click(int x, int y) const {
        tool({"xdotool", "mousemove", "--window", id_, std::to_string(x), std::to_string(y), "click", "1"});
    }
    // A key as xdotool names it: "ctrl+s", "ctrl+shift+z", "Escape", "3".
    void key(std::string const& keys) const { tool({"xdotool", "key", "--window", id_, keys}); }
    // A key that may close the window at its press, so that its release finds no window.
    void closingKey(std::string const& keys) const { runTool({"xdotool", "key", "--window", id_, keys}); }
    void resize(int width, int height) const {
        tool({"xdotool", "windowsize", "--sync", id_, std::to_string(width), std::to_string(height)});
    }
    void capture(std::filesystem::path const& png) const { tool({"import", "-window", id_, "png:" + png.string()}); }

private:
    explicit XWindow(std::string id) : id_(std::move(id)) {}
    // One value of xdotool's `getwindowgeometry --shell` (X, Y, WIDTH, HEIGHT).
    int geometry(std::string const& name) const {
        std::string const shell = tool({"xdotool", "getwindowgeometry", "--shell", id_});
        std::size_t const at = shell.find(name + "=");
        if (at == std::string::npos)
            throw std::runtime_error("xdotool gave no " + name + " for window " + id_);
        return std::stoi(shell.substr(at + name.size() + 1));
    }
    std::string id_;
};

// Keys typed as on the keyboard (XTEST, not events sent to one window): they reach whichever
// window has the focus or a keyboard grab, as an open menu has. Toolkits that ignore sent
// events (GTK) take these.
inline void typeKeys(std::vector<std::string> const& keys) {
    std::vector<std::string> words{"xdotool", "key", "--delay", "40"};
    words.insert(words.end(), keys.begin(), keys.end());
    tool(words);
}
inline void typeText(std::string const& text) { tool({"xdotool", "type", "--delay", "20", text}); }

// The number of pixels that differ between two pictures (ImageMagick's absolute error count);
// nothing when they cannot be compared (a size differs, a file is missing).
inline std::optional<long> differingPixels(std::filesystem::path const& a, std::filesystem::path const& b) {
    ToolResult const result = runTool({"compare", "-metric", "AE", a.string(), b.string(), "null:"});
    if (result.exitCode > 1)
        return std::nullopt;
    try {
        return std::stol(result.output);
    } catch (std::exception const&) {
        return std::nullopt;
    }
}

} // namespace zr::test

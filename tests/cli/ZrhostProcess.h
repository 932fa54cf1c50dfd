#pragma once
// zrhost started as a child process without a shell: its standard input given, its outputs
// captured, the signals a terminal would send delivered to it alone, and a file-size limit
// set for it where a test simulates a full disk.

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "testing/Eventually.h"
#include "testing/TemporaryFolder.h"

namespace zr::test {

struct Finished {
    int exitCode = -1;   // when it exited
    int killedBy = 0;    // the signal that ended it, else 0
    std::string out;
    std::string err;
};

struct Launch {
    std::vector<std::string> arguments;   // after the program's name
    std::filesystem::path folder;         // where it runs
    std::string input = {};               // its standard input
    rlim_t fileSizeLimit = RLIM_INFINITY; // bytes
    bool errorsOnTerminal = false;        // standard error a terminal, as when a person runs it
};

class ZrhostProcess {
public:
    explicit ZrhostProcess(Launch const& launch) : captures_("zrhost-io-" + std::to_string(++started())) {
        std::filesystem::path const in = captures_.write("in", launch.input);
        out_ = captures_.path() / "out";
        err_ = captures_.path() / "err";
        std::vector<std::string> words{ZRHOST_PATH};
        words.insert(words.end(), launch.arguments.begin(), launch.arguments.end());
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        int terminal = -1;
        if (launch.errorsOnTerminal && ::openpty(&terminal_, &terminal, nullptr, nullptr, nullptr) != 0)
            terminal_ = terminal = -1;
        pid_ = ::fork();
        if (pid_ == 0)
            becomeZrhost(launch, in, argv, terminal); // never returns
        if (terminal >= 0)
            ::close(terminal);
    }
    ~ZrhostProcess() {
        if (pid_ > 0 && !finished_ && !reaped_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (terminal_ >= 0)
            ::close(terminal_);
    }
    ZrhostProcess(ZrhostProcess const&) = delete;
    ZrhostProcess& operator=(ZrhostProcess const&) = delete;

    void signal(int number) const { ::kill(pid_, number); }

    // Whether it ended within `timeout`; then wait() returns at once.
    bool endsWithin(std::chrono::milliseconds timeout) {
        auto const deadline = std::chrono::steady_clock::now() + timeout;
        while (::waitpid(pid_, &status_, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        reaped_ = true;
        return true;
    }

    pid_t pid() const { return pid_; }

    Finished wait() {
        int status = status_;
        if (!reaped_)
            ::waitpid(pid_, &status, 0);
        finished_ = true;
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, WIFSIGNALED(status) ? WTERMSIG(status) : 0, contentOf(out_),
                terminal_ >= 0 ? drainTerminal() : contentOf(err_)};
    }

private:
    static int& started() {
        static int count = 0;
        return count;
    }

    std::string drainTerminal() const {
        ::fcntl(terminal_, F_SETFL, O_NONBLOCK);
        std::string text;
        char chunk[4096];
        for (ssize_t got; (got = ::read(terminal_, chunk, sizeof chunk)) > 0;)
            text.append(chunk, static_cast<size_t>(got));
        return text;
    }

    // In the child after fork: only calls that are safe there, then exec.
    [[noreturn]] static void becomeZrhost(Launch const& launch, std::filesystem::path const& in, std::vector<char*> const& argv,
                                          int terminal) {
        if (::chdir(launch.folder.c_str()) != 0)
            ::_exit(126);
        int const input = ::open(in.c_str(), O_RDONLY);
        int const output = ::open((in.parent_path() / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int const errors = ::open((in.parent_path() / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(input, STDIN_FILENO);
        ::dup2(output, STDOUT_FILENO);
        ::dup2(terminal >= 0 ? terminal : errors, STDERR_FILENO);
        // As from a terminal: nothing ignored or blocked, whatever the test runner set.
        for (int number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ})
            ::signal(number, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        rlimit const limit{launch.fileSizeLimit, launch.fileSizeLimit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }

    TemporaryFolder captures_;
    std::filesystem::path out_;
    std::filesystem::path err_;
    pid_t pid_ = -1;
    int terminal_ = -1; // our side of the child's terminal
    bool finished_ = false;
    bool reaped_ = false; // by endsWithin
    int status_ = 0;
};

inline Finished runZrhost(Launch const& launch) {
    return ZrhostProcess(launch).wait();
}

// A fresh folder per test, named after it, and zrhost run inside it, so that short file names
// land there.
class ZrhostInFolder : public ::testing::Test {
protected:
    // `arguments` split into words as a shell splits them, 'single quotes' keeping spaces.
    Finished run(std::string const& arguments, std::string const& input = "") const {
        return runZrhost({wordsOf(arguments), folder_, input});
    }
    std::filesystem::path write(std::string const& name, std::string const& text) const { return temporary_.write(name, text); }

    // Every name in the folder and below it, links not followed: what a failed run must not add to.
    std::vector<std::string> everything(std::filesystem::path const& folder) const {
        std::vector<std::string> names;
        for (auto const& entry : std::filesystem::recursive_directory_iterator(folder))
            names.push_back(std::filesystem::relative(entry.path(), folder).string());
        std::sort(names.begin(), names.end());
        return names;
    }

    static std::vector<std::string> wordsOf(std::string const& line) {
        std::vector<std::string> words;
        bool inWord = false;
        bool quoted = false;
        for (char const c : line) {
            if (c == ' ' && !quoted) {
                inWord = false;
                continue;
            }
            if (!inWord)
                words.emplace_back(); // a word starts, '' included
            inWord = true;
            if (c == '\'')
                quoted = !quoted;
            else
                words.back() += c;
        }
        return words;
    }

    TemporaryFolder temporary_{"zrhost-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name()) +
                               "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name()};
    std::filesystem::path const& folder_ = temporary_.path();
};

} // namespace zr::test

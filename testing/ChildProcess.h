#pragma once
// A program a test starts beside itself, without a shell: the servers and applications the
// tests drive (a JACK server, a virtual X server, a plug-in host). It is ended by the
// destructor however the test ends, and with the test process should that die first.

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

extern char** environ;

namespace zr::test {

// "PREFIX-PID-N": a name no other test process, and no other call in this one, gives; for
// servers, clients and files that tests running in parallel must not share.
inline std::string uniqueName(std::string const& prefix) {
    static std::atomic<int> counter{0};
    return prefix + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
}

struct ChildSetup {
    std::vector<std::string> words;  // the program, looked up on PATH, then its arguments
    std::filesystem::path output = {}; // its standard output and error; empty: discarded
    std::filesystem::path folder = {}; // where it runs; empty: where the test runs
    std::vector<std::pair<std::string, std::string>> environment = {}; // set for it alone
    // Sent to it when the test process dies first: SIGTERM lets a server leave what it
    // registered; 0 leaves it running.
    int deathSignal = SIGKILL;
};

class ChildProcess {
public:
    // [test thread] Starts the program; throws std::runtime_error when no process can be made.
    // A program that cannot be run ends at once with exit code 127 (126: no such folder).
    explicit ChildProcess(ChildSetup setup) {
        std::vector<char*> const argv = pointersTo(setup.words);
        std::vector<std::string> environment = environmentWith(setup.environment);
        std::vector<char*> const envp = pointersTo(environment);
        std::string const output = setup.output.empty() ? "/dev/null" : setup.output.string();
        pid_ = ::fork();
        if (pid_ < 0)
            throw std::runtime_error("cannot start " + setup.words.at(0) + ": fork failed");
        if (pid_ == 0)
            become(argv, envp, output, setup.folder, setup.deathSignal); // never returns
    }
    ~ChildProcess() { stop(std::chrono::seconds(2)); }
    ChildProcess(ChildProcess const&) = delete;
    ChildProcess& operator=(ChildProcess const&) = delete;

    pid_t pid() const { return pid_; }

    // Whether it has ended (and is reaped).
    bool ended() {
        if (pid_ > 0 && ::waitpid(pid_, &status_, WNOHANG) == pid_)
            pid_ = -1;
        return pid_ <= 0;
    }

    // Waits until it ends; gives its exit code, or -1 when a signal ended it.
    int wait() {
        if (pid_ > 0 && ::waitpid(pid_, &status_, 0) == pid_)
            pid_ = -1;
        return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
    }

    // Asks it to end (SIGTERM) without waiting, as a person stopping it does; once only, since
    // a second request during a server's shut-down can end it before it deregisters.
    void terminate() {
        if (pid_ > 0 && !terminating_)
            ::kill(pid_, SIGTERM);
        terminating_ = true;
    }

    // terminate(), then SIGKILL when it has not ended within `grace`; reaped either way.
    void stop(std::chrono::milliseconds grace) {
        if (pid_ <= 0)
            return;
        terminate();
        auto const deadline = std::chrono::steady_clock::now() + grace;
        while (!ended()) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid_, SIGKILL);
                wait();
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

private:
    static std::vector<char*> pointersTo(std::vector<std::string>& words) {
        std::vector<char*> pointers;
        for (std::string& word : words)
            pointers.push_back(word.data());
        pointers.push_back(nullptr);
        return pointers;
    }

    // This process's environment, with `changes` replacing or adding variables. Made before
    // the fork: the child may only make calls that are safe there.
    static std::vector<std::string> environmentWith(std::vector<std::pair<std::string, std::string>> const& changes) {
        std::vector<std::string> entries;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            std::string const text = *entry;
            bool changed = false;
            for (auto const& [name, value] : changes)
                changed |= text.starts_with(name + "=");
            if (!changed)
                entries.push_back(text);
        }
        for (auto const& [name, value] : changes)
            entries.push_back(name + "=" + value);
        return entries;
    }

    [[noreturn]] static void become(std::vector<char*> const& argv, std::vector<char*> const& envp, std::string const& output,
                                    std::filesystem::path const& folder, int deathSignal) {
        if (deathSignal != 0)
            ::prctl(PR_SET_PDEATHSIG, deathSignal);
        int const file = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(file, STDOUT_FILENO);
        ::dup2(file, STDERR_FILENO);
        if (!folder.empty() && ::chdir(folder.c_str()) != 0)
            ::_exit(126);
        ::execvpe(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }

    pid_t pid_ = -1;
    int status_ = 0; // as waitpid gave it, once reaped
    bool terminating_ = false;
};

} // namespace zr::test

#pragma once
// Runs the built zrhost as a user would, in a folder of the test's own, and collects what it
// says and how it ends.

#include <cstdlib>
#include <filesystem>
#include <string>

#include <sys/wait.h>

#include <gtest/gtest.h>

#include "testing/TemporaryFolder.h"

namespace zr::test {

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs `zrhost arguments` in `folder`, so that short file names land there.
inline Outcome runZrhost(std::filesystem::path const& folder, std::string const& arguments) {
    std::filesystem::path const out = folder / "stdout.txt";
    std::filesystem::path const err = folder / "stderr.txt";
    std::string const command = "cd '" + folder.string() + "' && " + ZRHOST_PATH + " " + arguments + " >" + out.string() +
                                " 2>" + err.string();
    int const status = std::system(command.c_str());
    Outcome const result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, contentOf(out), contentOf(err)};
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return result;
}

// A fresh folder per test, named after it, and zrhost run inside it.
class ZrhostInFolder : public ::testing::Test {
protected:
    explicit ZrhostInFolder(std::string const& prefix)
        : temporary_(prefix + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name())) {}

    Outcome run(std::string const& arguments) const { return runZrhost(folder_, arguments); }

    TemporaryFolder temporary_;
    std::filesystem::path const& folder_ = temporary_.path();
};

} // namespace zr::test

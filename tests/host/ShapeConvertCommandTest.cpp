// `zrhost shape convert` on real files: each form to each other, and the failures that must
// exit non-zero, say why, and leave no file behind.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include <sys/wait.h>

#include "tests/modules/GuiUtilityFixture.h"

namespace zr::test {
namespace {

namespace fs = std::filesystem;

struct ToolRun {
    int exitCode;
    std::string output; // stdout and stderr together
};

// Runs the built zrhost (beside the bundle) with `arguments`, in `folder`.
ToolRun zrhost(fs::path const& folder, std::string const& arguments) {
    fs::path const tool = fs::path(ZR_BUNDLE_PATH).parent_path() / "zrhost";
    std::string const command = "cd '" + folder.string() + "' && '" + tool.string() + "' " + arguments + " 2>&1";
    ToolRun run{-1, {}};
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return run;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
        run.output += buffer;
    int const status = ::pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string contentOf(fs::path const& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

TEST(ShapeConvertCommand, ConvertsBetweenEveryForm) {
    TemporaryFolder folder("zr-shape-convert");
    ASSERT_EQ(zrhost(folder.path(), "shape convert '(-5,-5)(0,3)(5,5)' bend.shp --mode 20").exitCode, 0);
    EXPECT_EQ(contentOf(folder.path() / "bend.shp"), "(-5,-5)(0,3)(5,5)\nITP=20");

    ASSERT_EQ(zrhost(folder.path(), "shape convert bend.shp bend.blob").exitCode, 0);
    std::vector<uint8_t> const image = shapeImage({{0.0f, -1.0f}, {0.5f, 0.6f}, {1.0f, 1.0f}});
    EXPECT_EQ(contentOf(folder.path() / "bend.blob"), std::string(image.begin(), image.end()));

    ASSERT_EQ(zrhost(folder.path(), "shape convert bend.blob bend.txt").exitCode, 0);
    EXPECT_EQ(contentOf(folder.path() / "bend.txt"), "(-5,-5)(0,3)(5,5)\n");

    ASSERT_EQ(zrhost(folder.path(), "shape convert bend.txt again.shp").exitCode, 0);
    EXPECT_EQ(contentOf(folder.path() / "again.shp"), "(-5,-5)(0,3)(5,5)\nITP=10") << "text carries no mode";

    ToolRun const printed = zrhost(folder.path(), "shape convert bend.shp -");
    EXPECT_EQ(printed.exitCode, 0);
    EXPECT_EQ(printed.output, "(-5,-5)(0,3)(5,5)\n");
}

TEST(ShapeConvertCommand, FailuresExitNonZeroAndLeaveNoFile) {
    TemporaryFolder folder("zr-shape-convert-fail");
    fs::create_directories(folder.path() / "folder.shp");
    std::ofstream(folder.path() / "kept.blob", std::ios::binary) << "old";
    struct Case {
        char const* arguments;
        char const* says;
    };
    Case const cases[] = {
        {"shape convert '(-5,0)(5,0)' /dev/full --to shp", "could not write /dev/full"},
        {"shape convert '(-5,0)(5,0)' /dev/full --to blob", "could not write"},
        {"shape convert '(-5,0)(5,0)' no-such-folder/x.shp", "could not write"},
        {"shape convert '(-5,0)(5,0)' folder.shp", "could not write"},
        {"shape convert '(-5,0)(4,0)' kept.blob", "not a shape text"},
        {"shape convert folder.shp kept.blob", "cannot read"},
        {"shape convert missing.blob kept.blob", "cannot read"},
        {"shape convert '(-5,0)(5,0)' x.shp --mode 25", "--mode must be"},
        {"shape convert '(-5,0)(5,0)' kept.blob --mode 10", "--mode needs a .shp target"},
        {"shape convert '(-5,0)(5,0)' x.wav", "name the target"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.arguments);
        ToolRun const run = zrhost(folder.path(), c.arguments);
        EXPECT_NE(run.exitCode, 0);
        EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
        EXPECT_EQ(contentOf(folder.path() / "kept.blob"), "old");
        std::vector<std::string> names;
        for (auto const& entry : fs::directory_iterator(folder.path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"folder.shp", "kept.blob"})) << "no partial file";
    }
}

} // namespace
} // namespace zr::test

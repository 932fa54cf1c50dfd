// Shape files on disk: what is written, accepted, and refused without changing the record.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>

#include "shapes/Shape.h"
#include "tests/shapes/TemporaryFolder.h"

namespace {

namespace fs = std::filesystem;

class ShapeFile : public testing::Test {
protected:
    std::wstring write(std::string const& name, std::string const& content) {
        return temporary.write(name, content).wstring();
    }

    zr::test::TemporaryFolder temporary{"zr-shape-file"};
    fs::path const& folder = temporary.path();
};

// The content rule is the shape-file fuzz target's oracle; these rows add what its kept inputs lack.
TEST_F(ShapeFile, LoadsWhatItAcceptsAndKeepsTheRestUnchanged) {
    struct Case {
        char const* name;
        std::string content;
        bool result, accepted; // accepted: invalid cleared
        int32_t mode;      // interpolation afterwards (started at 10)
        int32_t nodeCount; // afterwards (started at 2)
    };
    Case const cases[] = {
        {"unchanged nodes, new mode", "(-5,0)(5,0)\nITP=20", true, true, 20, 2},
        {"a legacy mode", "(-5,-5)(5,5)\nITP=2", true, true, 10, 2},
        {"mode line later in the file", "(-5,-5)(5,5)\nnote\nITP=30\n", true, true, 30, 2},
        {"no digits after ITP=", "(-5,-5)(5,5)\nITP=x30", true, true, 10, 2},
        {"bad nodes with a good mode", "(-4,0)(5,0)\nITP=30", false, false, 10, 2},
        {"NUL inside the nodes", std::string("(-5,-5)\0(5,5)", 13), false, false, 10, 2},
        {"binary bytes", std::string("\x7f" "ELF\x02\x01\x01\0\0\0\xff\xfe", 12), false, false, 10, 2},
        {"NUL in the mode line", std::string("(-5,-5)(5,5)\nITP=\0" "30", 19), true, true, 10, 2},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        zr::Shape shape;
        EXPECT_EQ(shape.loadShp(write("case.shp", c.content)), c.result);
        EXPECT_EQ(shape.invalid == 0, c.accepted);
        EXPECT_EQ(shape.interpolation, c.mode);
        EXPECT_EQ(shape.nodeCount, c.nodeCount);
    }
}

TEST_F(ShapeFile, UnusablePathsFailWithoutThrowing) {
    std::wstring const tooLarge = write("large.shp", "(-5,0)(5,0)\nITP=10" + std::string(2 << 20, ' '));
    std::pair<char const*, std::wstring> const cases[] = {
        {"empty", L""},
        {"missing", (folder / "missing.shp").wstring()},
        {"a directory", folder.wstring()},
        {"beyond U+10FFFF", std::wstring(1, static_cast<wchar_t>(0x110000))},
        {"a lone surrogate", std::wstring(1, static_cast<wchar_t>(0xD800))},
        {"too large to be a shape file", tooLarge},
    };
    for (auto const& [name, path] : cases) {
        SCOPED_TRACE(name);
        zr::Shape shape(L"(-5,-5)(5,5)");
        EXPECT_FALSE(shape.loadShp(path));
        EXPECT_EQ(shape.invalid, 1);
        EXPECT_EQ(shape.getString(), L"(-5,-5)(5,5)");
    }
    for (std::wstring const& path : {std::wstring(), std::wstring(1, static_cast<wchar_t>(0x110000)),
                                     (folder / "no-such-folder" / "x.shp").wstring(), folder.wstring()}) {
        EXPECT_FALSE(zr::Shape().saveShp(path));
    }
    if (fs::exists("/dev/full")) {
        EXPECT_FALSE(zr::Shape().saveShp(L"/dev/full")) << "a failed write is not a saved file";
    }
}

} // namespace

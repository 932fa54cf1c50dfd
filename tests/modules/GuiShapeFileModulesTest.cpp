// ZR_ShapeLoader3 and ZR_ShapeSaver3 with real files: what reaches the pins and the disk (and,
// where the two generations differ, ZR_ShapeLoader2 beside them); the older GUI modules:
// ZR_SSModGUI, the legacy shape files, the legacy editors.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "testing/RecordedValues.h"
#include "host/TextConversion.h"
#include "shapes/LegacyParser.h"
#include "tests/modules/GuiUtilityFixture.h"

namespace zr::test {
namespace {

namespace fs = std::filesystem;

enum FilePin : int32_t { kFileShape, kInterpolation, kTrig, kAutoMode, kFNameL, kFNameR };

class ShapeFileModules : public testing::Test {
protected:
    std::unique_ptr<host::GuiModule> make(std::wstring const& id, hostile::GuiHostileSwitches hostile = {}) {
        host::GuiModuleOptions options;
        options.hostPolicy = std::make_shared<hostile::HostileGuiPolicy>(hostile);
        auto module = makeGuiModule(id, std::move(options));
        module->host().setFileFolder(folder.path());
        return module;
    }
    std::wstring path(char const* name) const { return (folder.path() / name).wstring(); }
    void trigger(host::GuiModule& module) {
        module.setBool(kTrig, false);
        module.setBool(kTrig, true);
    }

    TemporaryFolder folder{"zr-gui-shape-files"};
};

TEST_F(ShapeFileModules, LoaderSendsTheFileShapeAndModeOnEveryTriggerAndNameInAutoModeOne) {
    folder.write("peak.shp", "(-5,-5)(0,5)(5,-5)\nITP=30");
    folder.write("a.shp", "(-5,1)(5,1)");
    auto loader = make(L"ZR_ShapeLoader3");
    loader->setText(kFNameL, L"peak.shp"); // short name: the host resolves it into the folder
    trigger(*loader);
    trigger(*loader);
    auto const shapes = loader->host().transmissionsOf(kFileShape);
    ASSERT_EQ(shapes.size(), 2u) << "the second load changes nothing and is still sent";
    EXPECT_EQ(nodesOf(shapes[1]), (Nodes{{0.0f, -1.0f}, {0.5f, 1.0f}, {1.0f, -1.0f}}));
    ASSERT_EQ(loader->host().transmissionsOf(kInterpolation).size(), 1u) << "sent only when the mode differs";
    EXPECT_EQ(intOf(*loader->host().lastTransmission(kInterpolation)), 30);

    for (int32_t autoMode : {0, 1, 2}) {
        SCOPED_TRACE(autoMode);
        auto named = make(L"ZR_ShapeLoader3");
        named->setInt(kAutoMode, autoMode);
        named->setText(kFNameR, L"a.shp");
        EXPECT_EQ(named->host().transmissionsOf(kFileShape).size(), autoMode == 1 ? 1u : 0u);
        if (autoMode == 1) {
            EXPECT_EQ(intOf(*named->host().lastTransmission(kInterpolation)), 10) << "no mode line: the kept mode";
        }
    }
}

// A missing and a refused file (which files the reader refuses is the reader's own test).
TEST_F(ShapeFileModules, LoaderSendsNothingForFilesItCannotUse) {
    folder.write("crlf.shp", "(-5,0)(5,0)\r\nITP=10");
    for (char const* name : {"missing.shp", "crlf.shp"}) {
        SCOPED_TRACE(name);
        auto loader = make(L"ZR_ShapeLoader3");
        loader->setText(kFNameL, (folder.path() / name).wstring());
        trigger(*loader);
        EXPECT_TRUE(loader->host().transmissions().empty());
    }
}

TEST_F(ShapeFileModules, BadResolverAnswersGiveNoNameOrABoundedOne) {
    folder.write("a.shp", "(-5,1)(5,1)");
    hostile::GuiHostileSwitches nothingWritten; // an unterminated answer is left to the hostile GUI scripts
    nothingWritten.leaveFilenameUnwritten = true;
    hostile::GuiHostileSwitches noOlderHost;
    noOlderHost.refuseUiHost = true;
    for (std::wstring const id : {L"ZR_ShapeLoader3", L"ZR_ShapeSaver3"}) {
        SCOPED_TRACE(host::utf8FromWide(id));
        auto silent = make(id, nothingWritten);
        silent->setBytes(kFileShape, shapeImage({{0.0f, 0.0f}, {1.0f, 0.5f}}));
        silent->setText(kFNameL, L"a.shp");
        trigger(*silent);
        EXPECT_TRUE(silent->host().transmissions().empty());
        // Without the older UI host the name is used as it is: here the full path.
        auto module = make(id, noOlderHost);
        module->setBytes(kFileShape, shapeImage({{0.0f, 0.0f}, {1.0f, 0.5f}}));
        module->setText(kFNameL, (folder.path() / "a.shp").wstring());
        trigger(*module);
    }
    EXPECT_EQ(contentOf(folder.path() / "a.shp"), "(-5,0)(5,2.5)\nITP=0") << "the mode pin starts at 0, a valid mode";
    EXPECT_EQ(fs::directory_iterator(folder.path())->path().filename(), "a.shp") << "no file named x...x was made";
}

// A full name that the host cut short to the loaders' buffer (500 characters, terminator
// included) and answered MP_FAIL for: the current loader uses what the host wrote, the legacy
// loader takes no name. Here the cut leaves the path of a readable file.
TEST_F(ShapeFileModules, NamesTheHostCutShortLoadOnlyInTheCurrentLoader) {
    constexpr std::size_t kWrittenCharacters = 499;
    std::wstring const fileName = L"f.shp";
    std::size_t const folderLength = folder.path().wstring().size() + 1;
    ASSERT_LT(folderLength + fileName.size() + 4, kWrittenCharacters);
    std::size_t const directories = kWrittenCharacters - folderLength - fileName.size() - 2;
    std::wstring const kept = std::wstring(directories / 2, L'd') + L"/" + std::wstring(directories - directories / 2, L'e') +
                              L"/" + fileName;
    fs::create_directories((folder.path() / kept).parent_path());
    std::ofstream(folder.path() / kept, std::ios::binary) << "(-5,1)(5,1)";
    ASSERT_EQ((folder.path() / kept).wstring().size(), kWrittenCharacters);

    for (auto const& [id, loads] : {std::pair{L"ZR_ShapeLoader3", true}, std::pair{L"ZR_ShapeLoader2", false}}) {
        SCOPED_TRACE(host::utf8FromWide(id));
        auto loader = make(id);
        loader->setText(kFNameL, kept + L"/" + std::wstring(100, L'z'));
        trigger(*loader);
        EXPECT_EQ(loader->host().transmissionsOf(kFileShape).size(), loads ? 1u : 0u);
    }
}

TEST_F(ShapeFileModules, SaverWritesTheFileFormInAutoModeOne) {
    auto saver = make(L"ZR_ShapeSaver3");
    saver->setBytes(kFileShape, shapeImage({{0.0f, -1.0f}, {0.25f, 0.5f}, {1.0f, 1.0f}}));
    saver->setInt(kInterpolation, 20);
    saver->setInt(kAutoMode, 1);
    saver->setText(kFNameL, L"saved.shp");
    EXPECT_EQ(contentOf(folder.path() / "saved.shp"), "(-5,-5)(-2.5,2.5)(5,5)\nITP=20");
}

TEST_F(ShapeFileModules, SaverKeepsItsModeForUnknownValuesAndWritesNothingForABadImage) {
    auto saver = make(L"ZR_ShapeSaver3");
    saver->setText(kFNameL, L"out.shp");
    trigger(*saver);
    EXPECT_FALSE(fs::exists(folder.path() / "out.shp")) << "an unconnected shape pin writes nothing";

    saver->setBytes(kFileShape, shapeImage({{0.0f, 0.0f}, {1.0f, 0.0f}}));
    saver->setInt(kInterpolation, 25);
    trigger(*saver);
    EXPECT_EQ(contentOf(folder.path() / "out.shp"), "(-5,0)(5,0)\nITP=10");
}

std::unique_ptr<host::GuiModule> makeGui(std::wstring const& id, host::GuiModuleOptions options = {}) {
    auto module = makeGuiModule(id, std::move(options));
    module->sendDefaults();
    return module;
}

// With an echoing host every value sent comes straight back; the result must be the same.
TEST(LegacySSModGUI, LinksNodesBothWaysAlsoUnderEchoes) {
    constexpr int32_t kShapeL = 0, kShapeR = 13;
    for (bool echo : {false, true}) {
        SCOPED_TRACE(echo);
        auto mod = makeGui(L"ZR_SSModGUI", echoOptions(echo));
        mod->setInt(1, 1); // group 1: node 1, x
        mod->setInt(2, 0);
        mod->setInt(4, 2); // group 2: node 2, y
        mod->setInt(5, 1);
        mod->setText(kShapeL, L"(-5,0)(1,2)(5,-3)");
        EXPECT_EQ(floatOf(*mod->host().lastTransmission(3)), 1.0f);
        EXPECT_EQ(floatOf(*mod->host().lastTransmission(6)), -3.0f);
        EXPECT_EQ(lastText(*mod, kShapeR), L"(-5,0)(1,2)(5,-3)");

        mod->setFloat(3, 7.0f); // beyond the right neighbour: limited, and the limit written back
        EXPECT_EQ(floatOf(*mod->host().lastTransmission(3)), 4.99f);
        EXPECT_EQ(lastText(*mod, kShapeL), L"(-5,0)(4.99,2)(5,-3)");
        mod->setFloat(6, 9.0f); // y is taken unchecked
        EXPECT_EQ(lastText(*mod, kShapeR), L"(-5,0)(4.99,2)(5,9)");

        std::size_t const sent = mod->host().transmissions().size();
        mod->setText(kShapeR, L"(-5,0)(4,0)");
        EXPECT_EQ(mod->host().transmissions().size(), sent) << "a refused text changes nothing";
    }
}

using LegacyFiles = ShapeFileModules;

TEST_F(LegacyFiles, SaverWritesNodesAndALegacyModeLine) {
    struct Case {
        char const* name;
        wchar_t const* text;
        int32_t mode;
        char const* file; // nullptr: nothing written
    };
    Case const cases[] = {
        {"six digits", L"(-5,-5)(0.333333333,1)(5,5)", 2, "(-5,-5)(0.333333,1)(5,5)\nITP=2"},
        {"a current mode writes no mode line", L"(-5,0)(5,0)", 10, "(-5,0)(5,0)"},
        {"y clamped", L"(-5,8)(5,0)", 0, "(-5,5)(5,0)\nITP=0"},
        {"x six digits cannot tell apart: nine digits", L"(-5,0)(1.00001,1)(1.000012,2)(5,0)", 0,
         "(-5,0)(1.00001001,1)(1.00001192,2)(5,0)\nITP=0"},
        // Both x read as 1 V; 1.00000036 is the first float above 1 whose 0..1 position,
        // as the table modules read it, differs from that of 1.
        {"x equal once read: the later node moves up until every reader tells them apart",
         L"(-5,0)(1.0000001,1)(1.0000002,2)(5,0)", 0, "(-5,0)(1,1)(1.00000036,2)(5,0)\nITP=0"},
        {"a refused text writes nothing", L"(-5,0)(4,0)", 0, nullptr},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring const file = path("saved.shp");
        std::filesystem::remove(file);
        auto saver = makeGui(L"ZR_ShapeSaver2");
        saver->setText(0, c.text);
        saver->setInt(1, c.mode);
        saver->setText(4, file);
        saver->setBool(2, true);
        if (c.file == nullptr)
            EXPECT_FALSE(std::filesystem::exists(file));
        else
            EXPECT_EQ(contentOf(file), c.file);
    }
}

TEST_F(LegacyFiles, LoaderReadsLegacyAndCurrentFiles) {
    struct Case {
        char const* name;
        std::string content;
        int32_t mode; // -1: the mode pin is not sent
        wchar_t const* text;
    };
    Case const cases[] = {
        {"legacy file", "(-5,-5)(5,5)\nITP=2", 2, L"(-5,-5)(5,5)"},
        {"current file: the first digit of its mode", "(-5,0)(0,3)(5,0)\nITP=30", 3, L"(-5,0)(0,3)(5,0)"},
        {"a file ending after the prefix keeps the mode", "(-5,1)(5,1)\nITP=", -1, L"(-5,1)(5,1)"},
        {"a digit above 3 keeps the mode", "(-5,1)(5,2)\nITP=7", -1, L"(-5,1)(5,2)"},
        {"a refused shape sends nothing", "(-5,0)(4,0)\nITP=1", -1, L""},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        folder.write("load.shp", c.content);
        auto loader = makeGui(L"ZR_ShapeLoader2");
        loader->setText(4, path("load.shp"));
        loader->setBool(2, true);
        EXPECT_EQ(lastText(*loader, 0), c.text);
        auto const mode = loader->host().lastTransmission(1);
        EXPECT_EQ(mode ? intOf(*mode) : -1, c.mode);
    }
}

TEST_F(LegacyFiles, NamesResolveThroughTheHostOrStayAsGiven) {
    folder.write("short.shp", "(-5,2)(5,2)\nITP=1");
    auto loader = makeGui(L"ZR_ShapeLoader2");
    loader->host().setFileFolder(folder.path());
    loader->setText(5, L"missing.shp");
    loader->setBool(2, true);
    EXPECT_TRUE(loader->host().transmissions().empty()) << "a missing file sends nothing";
    loader->setText(5, L"short.shp");
    loader->setBool(2, true);
    EXPECT_EQ(lastText(*loader, 0), L"(-5,2)(5,2)");

    host::GuiModuleOptions refusing;
    refusing.hostPolicy = std::make_shared<hostile::HostileGuiPolicy>(
        hostile::GuiHostileSwitches{.refuseUiHost2 = true, .refuseUiHost = true});
    auto saver = makeGui(L"ZR_ShapeSaver2", refusing);
    saver->setText(0, L"(-5,3)(5,3)");
    saver->setText(4, path("unresolved.shp"));
    saver->setBool(2, true);
    EXPECT_EQ(contentOf(path("unresolved.shp")), "(-5,3)(5,3)\nITP=0") << "without a UI host the name is used as given";
}

TEST(LegacyEditor, EditsItsTextShapeUnderEchoes) {
    for (wchar_t const* id : {L"ZR_ShapeEditor4", L"ZR_ShapeEditor4c"}) {
        SCOPED_TRACE(testing::Message() << id);
        auto editor = makeGui(id, echoOptions(true));
        constexpr int32_t kShape = 0, kActiveNode = 2, kEditY = 35;
        editor->setText(kShape, L"(-5,-5)(0,3)(5,5)");
        editor->setInt(kActiveNode, 1);
        editor->setFloat(kEditY, -1.0f);
        EXPECT_EQ(lastText(*editor, kShape), L"(-5,-5)(0,-1)(5,5)");

        // Nodes at 0.9 and the next float above it both give 4 V; every legacy reader must
        // still get all four nodes, in order.
        constexpr int32_t kEditUnits = 11, kEditX = 34;
        editor->setText(kShape, L"(-5,0)(0,1)(4,2)(5,3)");
        editor->setInt(kEditUnits, 1);
        editor->setInt(kActiveNode, 2);
        editor->setFloat(kEditX, std::nextafter(0.9f, 1.0f));
        editor->setInt(kActiveNode, 1);
        editor->setFloat(kEditX, 0.9f);
        shapes::Node unit[shapes::kMaxLegacyNodes]{};
        std::wstring const text = lastText(*editor, kShape);
        EXPECT_EQ(shapes::parseNodes(text, 0.0f, 1.0f, -1.0f, 1.0f, unit), 4) << testing::PrintToString(text);
        EXPECT_LT(unit[1].x, unit[2].x);
    }
}

} // namespace
} // namespace zr::test

// ZR_ShapeLoader3 and ZR_ShapeSaver3 with real files: what reaches the pins and the disk
// (and, where the two generations differ, ZR_ShapeLoader2 beside them).

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "testing/RecordedValues.h"
#include "host/TextConversion.h"
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

} // namespace
} // namespace zr::test

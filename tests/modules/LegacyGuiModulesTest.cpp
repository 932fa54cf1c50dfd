// The older generation's GUI modules through the bundle: ZR_SSModGUI's two-way links, the
// legacy shape files of ZR_ShapeSaver2 and ZR_ShapeLoader2 (and how they meet current files),
// and the legacy editor on the current editor's machinery.

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "host/GuiModule.h"
#include "tests/modules/BundleFixture.h"
#include "tests/modules/EditorFixture.h"

namespace {

std::unique_ptr<zr::host::GuiModule> makeGui(std::wstring const& id, zr::host::GuiModuleOptions options = {}) {
    options.description = *zr::test::descriptions().find(id);
    auto module = std::make_unique<zr::host::GuiModule>(zr::test::bundle(), id, options);
    module->sendDefaults();
    return module;
}

std::wstring lastText(zr::host::GuiModule& module, int32_t pin) {
    auto const last = module.host().lastTransmission(pin);
    return last ? last->asText() : L"";
}

TEST(LegacySSModGUI, LinksNodesBothWays) {
    auto mod = makeGui(L"ZR_SSModGUI");
    constexpr int32_t kShapeL = 0, kShapeR = 13;
    mod->setInt(1, 1);  // group 1: node 1, x
    mod->setInt(2, 0);
    mod->setInt(4, 2);  // group 2: node 2, y
    mod->setInt(5, 1);
    mod->setText(kShapeL, L"(-5,0)(1,2)(5,-3)");
    EXPECT_EQ(mod->host().lastTransmission(3)->asFloat(), 1.0f);
    EXPECT_EQ(mod->host().lastTransmission(6)->asFloat(), -3.0f);
    EXPECT_EQ(lastText(*mod, kShapeR), L"(-5,0)(1,2)(5,-3)") << "the text passes to the other side";

    mod->setFloat(3, 7.0f); // beyond the right neighbour: limited, and the limit written back
    EXPECT_EQ(mod->host().lastTransmission(3)->asFloat(), 4.99f);
    EXPECT_EQ(lastText(*mod, kShapeR), L"(-5,0)(4.99,2)(5,-3)");
    EXPECT_EQ(lastText(*mod, kShapeL), L"(-5,0)(4.99,2)(5,-3)");

    mod->setFloat(6, 9.0f); // y is taken unchecked
    EXPECT_EQ(lastText(*mod, kShapeR), L"(-5,0)(4.99,2)(5,9)");

    std::size_t const sent = mod->host().transmissions().size();
    mod->setText(kShapeR, L"(-5,0)(4,0)");
    EXPECT_EQ(mod->host().transmissions().size(), sent) << "a refused text changes nothing";
}

class LegacyFiles : public testing::Test {
protected:
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() / ("zr_legacy_files_" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    std::wstring path(char const* name) const { return (folder / name).wstring(); }
    static std::string read(std::wstring const& file) {
        std::ifstream in{std::filesystem::path(file)};
        std::stringstream content;
        content << in.rdbuf();
        return content.str();
    }
    static void write(std::wstring const& file, std::string const& content) {
        std::ofstream{std::filesystem::path(file)} << content;
    }

    std::filesystem::path folder;
};

TEST_F(LegacyFiles, SaverWritesNodesAndALegacyModeLine) {
    struct Case {
        char const* name;
        wchar_t const* text;
        int32_t mode;
        char const* file; // nullptr: nothing written
    };
    Case const cases[] = {
        {"mode 2", L"(-5,-5)(0.333333333,1)(5,5)", 2, "(-5,-5)(0.333333,1)(5,5)\nITP=2"},
        {"mode 3", L"(-5,0)(5,0)", 3, "(-5,0)(5,0)\nITP=3"},
        {"a current mode writes no mode line", L"(-5,0)(5,0)", 10, "(-5,0)(5,0)"},
        {"y clamped", L"(-5,8)(5,0)", 0, "(-5,5)(5,0)\nITP=0"},
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
            EXPECT_EQ(read(file), c.file);
    }
}

TEST_F(LegacyFiles, SaverAutoTrigSavesAtOnce) {
    std::wstring const file = path("auto.shp");
    auto saver = makeGui(L"ZR_ShapeSaver2");
    saver->setText(0, L"(-5,1)(5,1)");
    saver->setBool(3, true);
    EXPECT_FALSE(std::filesystem::exists(file)) << "no file name yet";
    saver->setText(5, file);
    EXPECT_EQ(read(file), "(-5,1)(5,1)\nITP=0");
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
        {"current file with mode 10", "(-5,0)(5,0)\nITP=10", 1, L"(-5,0)(5,0)"},
        {"a file ending after the prefix keeps the mode", "(-5,1)(5,1)\nITP=", -1, L"(-5,1)(5,1)"},
        {"a digit above 3 keeps the mode", "(-5,1)(5,2)\nITP=7", -1, L"(-5,1)(5,2)"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring const file = path("load.shp");
        write(file, c.content);
        auto loader = makeGui(L"ZR_ShapeLoader2");
        loader->setText(4, file);
        loader->setBool(2, true);
        EXPECT_EQ(lastText(*loader, 0), c.text);
        auto const mode = loader->host().lastTransmission(1);
        if (c.mode < 0)
            EXPECT_FALSE(mode.has_value());
        else
            EXPECT_EQ(mode.value().asInt(), c.mode);
    }

    auto loader = makeGui(L"ZR_ShapeLoader2");
    write(path("bad.shp"), "(-5,0)(4,0)\nITP=1");
    loader->setText(4, path("bad.shp"));
    loader->setBool(2, true);
    loader->setText(5, path("missing.shp"));
    loader->setBool(2, true);
    EXPECT_TRUE(loader->host().transmissions().empty()) << "refused and missing files send nothing";
}

TEST(LegacyEditor, EditsItsTextShapeOnTheCurrentEditor) {
    for (wchar_t const* id : {L"ZR_ShapeEditor4", L"ZR_ShapeEditor4c"}) {
        SCOPED_TRACE(testing::Message() << id);
        auto editor = makeGui(id);
        constexpr int32_t kShape = 0, kActiveNode = 2, kEditY = 35;
        editor->setText(kShape, L"(-5,-5)(0,3)(5,5)");
        editor->setInt(kActiveNode, 1);
        editor->setFloat(kEditY, -1.0f);
        EXPECT_EQ(lastText(*editor, kShape), L"(-5,-5)(0,-1)(5,5)");
        EXPECT_FALSE(editor->host().lastTransmission(37).has_value()) << "pins beyond 36 do not exist";
    }
}

// The legacy editor through the current editor's drawing and pointer handling.
class LegacyEditorView : public zr::test::EditorTest {
protected:
    void SetUp() override {
        editor = zr::test::makeEditor(L"ZR_ShapeEditor4");
        editor->sendDefaults();
    }
};

TEST_F(LegacyEditorView, DrawsItsDefaultTextAndSendsDraggedNodesAsText) {
    useExactView(); // the first frame draws the node markers (hollow squares of size 10)
    auto const markers = drawing.callsOf(zr::host::DrawOp::DrawRectangle);
    ASSERT_EQ(markers.size(), 11u) << "the legacy default: eleven nodes on the rising diagonal";
    for (std::size_t i = 0; i < markers.size(); ++i) {
        EXPECT_NEAR((markers[i].numbers[0] + 5.0f) / 100.0f, 0.1f * static_cast<float>(i), 1e-4f);
        EXPECT_NEAR((100.0f - markers[i].numbers[1] - 5.0f) / 100.0f, 0.2f * static_cast<float>(i) - 1.0f, 1e-4f);
    }

    press(at(0.5f, 0.0f));
    move(at(0.5f, 0.5f));
    release(at(0.5f, 0.5f));
    EXPECT_EQ(lastText(*editor, 0), L"(-5,-5)(-4,-4)(-3,-3)(-2,-2)(-1,-1)(0,2.5)(1,1)(2,2)(3,3)(4,4)(5,5)");
}

TEST_F(LegacyFiles, ShortNamesResolveThroughTheHostOrStayAsGiven) {
    write(path("short.shp"), "(-5,2)(5,2)\nITP=1");
    auto loader = makeGui(L"ZR_ShapeLoader2");
    loader->host().setFileFolder(folder);
    loader->setText(5, L"short.shp");
    loader->setBool(2, true);
    EXPECT_EQ(lastText(*loader, 0), L"(-5,2)(5,2)");

    zr::host::GuiModuleOptions refusing;
    refusing.hostile.refuseUiHost2 = true;
    refusing.hostile.refuseUiHost = true;
    auto saver = makeGui(L"ZR_ShapeSaver2", refusing);
    saver->setText(0, L"(-5,3)(5,3)");
    saver->setText(4, path("unresolved.shp"));
    saver->setBool(2, true);
    EXPECT_EQ(read(path("unresolved.shp")), "(-5,3)(5,3)\nITP=0") << "without a UI host the name is used as given";
}

// Hosts that echo every value back, and hosts that refuse their interfaces.
TEST(LegacyGuiHosts, EchoesAndRefusedInterfacesAreHarmless) {
    zr::host::GuiModuleOptions echoing;
    echoing.echoTransmissions = true;
    auto links = makeGui(L"ZR_SSModGUI", echoing);
    links->setInt(1, 1);
    links->setInt(2, 0);
    links->setText(0, L"(-5,0)(1,2)(5,0)");
    links->setFloat(3, 9.0f);
    EXPECT_EQ(lastText(*links, 13), L"(-5,0)(4.99,2)(5,0)");
    EXPECT_EQ(links->host().lastTransmission(3)->asFloat(), 4.99f);

    auto editor = makeGui(L"ZR_ShapeEditor4", echoing);
    editor->setText(0, L"(-5,-5)(0,3)(5,5)");
    editor->setInt(2, 1);
    editor->setFloat(35, 2.0f);
    EXPECT_EQ(lastText(*editor, 0), L"(-5,-5)(0,2)(5,5)");

    zr::host::GuiModuleOptions refusing;
    refusing.hostile.refuseUiHost2 = true;
    refusing.hostile.refuseUiHost = true;
    refusing.hostile.refuseGraphicsHost = true;
    refusing.hostile.refuseClock = true;
    auto lonely = makeGui(L"ZR_ShapeEditor4c", refusing);
    EXPECT_EQ(lonely->setText(0, L"(-5,0)(5,0)"), gmpi::MP_OK);
    EXPECT_EQ(lonely->arrange({0.0f, 0.0f, 50.0f, 50.0f}), gmpi::MP_OK);
    EXPECT_TRUE(lonely->host().transmissions().empty());
}

} // namespace

// The older GUI modules: ZR_SSModGUI, the legacy shape files, the legacy editors.

#include <cmath>

#include "testing/RecordedValues.h"
#include "shapes/LegacyParser.h"
#include "tests/modules/GuiUtilityFixture.h"

namespace {

std::unique_ptr<zr::host::GuiModule> makeGui(std::wstring const& id, zr::host::GuiModuleOptions options = {}) {
    auto module = zr::test::makeGuiModule(id, std::move(options));
    module->sendDefaults();
    return module;
}

std::wstring lastText(zr::host::GuiModule& module, int32_t pin) {
    auto const last = module.host().lastTransmission(pin);
    return last ? textOf(*last) : L"";
}

// With an echoing host every value sent comes straight back; the result must be the same.
TEST(LegacySSModGUI, LinksNodesBothWaysAlsoUnderEchoes) {
    constexpr int32_t kShapeL = 0, kShapeR = 13;
    for (bool echo : {false, true}) {
        SCOPED_TRACE(echo);
        zr::host::GuiModuleOptions options;
        if (echo)
            options.hostPolicy = zr::hostile::echoingGuiHost();
        auto mod = makeGui(L"ZR_SSModGUI", options);
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

class LegacyFiles : public testing::Test {
protected:
    std::wstring path(char const* name) const { return (folder.path() / name).wstring(); }

    zr::test::TemporaryFolder folder{"zr_legacy_files"};
};

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
            EXPECT_EQ(zr::test::contentOf(file), c.file);
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

    zr::host::GuiModuleOptions refusing;
    refusing.hostPolicy = std::make_shared<zr::hostile::HostileGuiPolicy>(
        zr::hostile::GuiHostileSwitches{.refuseUiHost2 = true, .refuseUiHost = true});
    auto saver = makeGui(L"ZR_ShapeSaver2", refusing);
    saver->setText(0, L"(-5,3)(5,3)");
    saver->setText(4, path("unresolved.shp"));
    saver->setBool(2, true);
    EXPECT_EQ(zr::test::contentOf(path("unresolved.shp")), "(-5,3)(5,3)\nITP=0") << "without a UI host the name is used as given";
}

TEST(LegacyEditor, EditsItsTextShapeUnderEchoes) {
    zr::host::GuiModuleOptions echoing;
    echoing.hostPolicy = zr::hostile::echoingGuiHost();
    for (wchar_t const* id : {L"ZR_ShapeEditor4", L"ZR_ShapeEditor4c"}) {
        SCOPED_TRACE(testing::Message() << id);
        auto editor = makeGui(id, echoing);
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
        zr::shapes::Node unit[zr::shapes::kMaxLegacyNodes]{};
        std::wstring const text = lastText(*editor, kShape);
        EXPECT_EQ(zr::shapes::parseNodes(text, 0.0f, 1.0f, -1.0f, 1.0f, unit), 4) << testing::PrintToString(text);
        EXPECT_LT(unit[1].x, unit[2].x);
    }
}

} // namespace

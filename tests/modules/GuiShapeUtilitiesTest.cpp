// ZR_GUI_ShapeFlip/Fit/Snap edit per trigger; ZR_ShapeStr2BLOB_GUI and ZR_ShapeBLOB2Str_GUI convert.

#include "testing/RecordedValues.h"
#include "host/TextConversion.h"
#include "tests/modules/GuiUtilityFixture.h"

namespace zr::test {
namespace {

constexpr int32_t kEditShape = 0;

struct EditCase {
    char const* name;
    wchar_t const* id;
    Nodes shape;
    int32_t settingPin; // Vertical, Low or Bottom
    float setting;      // sent as an int on int pins
    float level;        // High or Level (pin 2), unused by the flip
    Nodes expected;
};

bool isIntPin(wchar_t const* id) { return std::wstring(id) != L"ZR_GUI_ShapeFit"; }

std::unique_ptr<host::GuiModule> prepare(EditCase const& c, host::GuiModuleOptions options = {}) {
    auto module = makeGuiModule(c.id, std::move(options));
    module->setBytes(kEditShape, shapeImage(c.shape));
    if (isIntPin(c.id))
        module->setInt(1, static_cast<int32_t>(c.setting));
    else
        module->setFloat(1, c.setting);
    if (std::wstring(c.id) != L"ZR_GUI_ShapeFlip")
        module->setFloat(2, c.level);
    return module;
}

int32_t firstTrigger(wchar_t const* id) { return std::wstring(id) == L"ZR_GUI_ShapeFlip" ? 2 : 3; }

TEST(GuiShapeEdits, EachTriggerEditsAndSendsTheShape) {
    EditCase const cases[] = {
        {"flip left-right", L"ZR_GUI_ShapeFlip", {{0, -1}, {0.5f, 1}, {1, 0}}, 1, 0, 0, {{0, 0}, {0.5f, 1}, {1, -1}}},
        {"flip upside down", L"ZR_GUI_ShapeFlip", {{0, 0.6f}, {1, -0.2f}}, 1, 1, 0, {{0, -0.6f}, {1, 0.2f}}},
        {"fit -5..5", L"ZR_GUI_ShapeFit", {{0, -0.2f}, {0.5f, 0.4f}, {1, 0}}, 1, -5, 5, {{0, -1}, {0.5f, 1}, {1, -1.0f / 3.0f}}},
        {"fit low above high", L"ZR_GUI_ShapeFit", {{0, -1}, {1, 1}}, 1, 5, -5, {{0, 1}, {1, -1}}},
        {"snap bottom to -5", L"ZR_GUI_ShapeSnap", {{0, -0.2f}, {1, 0.6f}}, 1, 1, -5, {{0, -1}, {1, -0.2f}}},
        {"snap top to 10 V", L"ZR_GUI_ShapeSnap", {{0, -0.4f}, {1, 0.4f}}, 1, 0, 10, {{0, 1}, {1, 1}}},
    };
    for (EditCase const& c : cases) {
        SCOPED_TRACE(c.name);
        auto module = prepare(c);
        EXPECT_TRUE(module->host().transmissions().empty()) << "a shape alone sends nothing";
        module->setBool(firstTrigger(c.id), true);
        auto const sent = module->host().transmissionsOf(kEditShape);
        ASSERT_EQ(sent.size(), 1u);
        Nodes const nodes = nodesOf(sent[0]);
        ASSERT_EQ(nodes.size(), c.expected.size());
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            EXPECT_FLOAT_EQ(nodes[i].first, c.expected[i].first) << "node " << i;
            EXPECT_NEAR(nodes[i].second, c.expected[i].second, 1e-6f) << "node " << i;
        }
    }
}

// Every on notification of a trigger edits the kept shape again; a broken image keeps it.
TEST(GuiShapeEdits, EditsAccumulateOnTheKeptShape) {
    EditCase const snap{"snap", L"ZR_GUI_ShapeSnap", {{0, 0}, {1, 0.2f}}, 1, 0, 2.5f, {}};
    auto snapper = prepare(snap);
    snapper->setBytes(kEditShape, {1, 2, 3});
    snapper->setBool(4, true);
    snapper->setFloat(2, 5.0f);
    snapper->setBool(4, true);
    EXPECT_EQ(snapper->host().transmissionsOf(kEditShape).size(), 2u);
    EXPECT_EQ(nodesOf(*snapper->host().lastTransmission(kEditShape)), (Nodes{{0, 0.8f}, {1, 1}}));
}

struct Converter {
    wchar_t const* id;
    int32_t textPin;
    int32_t blobPin;
    bool guardsTextEcho; // else the echo of the image it sends is the one ignored
};
Converter const converters[] = {{L"ZR_ShapeStr2BLOB_GUI", 0, 1, true}, {L"ZR_ShapeBLOB2Str_GUI", 1, 0, false}};

// Rejected input sends nothing; each direction converts, and the same text is sent again.
TEST(GuiConverters, ConvertBothWaysAndSendNothingForRejectedInput) {
    for (Converter const& c : converters) {
        SCOPED_TRACE(host::utf8FromWide(c.id));
        auto module = makeGuiModule(c.id);
        for (std::wstring const text : {L"", L"(-5,0)(4,0)"})
            module->setText(c.textPin, text);
        for (auto const& image : {std::vector<uint8_t>{}, std::vector<uint8_t>{1, 2, 3}})
            module->setBytes(c.blobPin, image);
        EXPECT_TRUE(module->host().transmissions().empty());

        module->setText(c.textPin, L"(-5,-5)(5,5)");
        module->setText(c.textPin, L"(-5,-5)(5,5)");
        auto const images = module->host().transmissionsOf(c.blobPin);
        ASSERT_EQ(images.size(), 2u) << "the same text is sent again";
        EXPECT_EQ(images[1].bytes, shapeImage({{0, -1}, {1, 1}})) << "24 bytes, no mode";
        module->setBytes(c.blobPin, shapeImage({{0, 0}, {1, 0}}));
        auto text = module->host().lastTransmission(c.textPin);
        ASSERT_TRUE(text);
        EXPECT_EQ(textOf(*text), L"(-5,0)(5,0)");
    }
}

// Under an echoing host each module converts one of its outputs' echoes back and ignores the
// other's; the text "(-5,1.0)" comes back as "(-5,1)", so a conversion would show.
TEST(GuiConverters, EachIgnoresTheEchoOfOneDirection) {
    host::GuiModuleOptions options;
    options.hostPolicy = hostile::echoingGuiHost();
    for (Converter const& c : converters) {
        SCOPED_TRACE(host::utf8FromWide(c.id));
        auto fromImage = makeGuiModule(c.id, options);
        fromImage->setBytes(c.blobPin, shapeImage({{0, 0.5f}, {1, 0}}));
        EXPECT_EQ(fromImage->host().transmissionsOf(c.textPin).size(), 1u);
        EXPECT_EQ(fromImage->host().transmissionsOf(c.blobPin).size(), c.guardsTextEcho ? 0u : 1u);

        auto fromText = makeGuiModule(c.id, options);
        fromText->setText(c.textPin, L"(-5,1.0)(5,1)");
        EXPECT_EQ(fromText->host().transmissionsOf(c.blobPin).size(), 1u);
        EXPECT_EQ(fromText->host().transmissionsOf(c.textPin).size(), c.guardsTextEcho ? 1u : 0u);
    }
}

} // namespace
} // namespace zr::test

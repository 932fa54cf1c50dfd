// ZR_ShapeStr2BLOB_GUI and ZR_ShapeBLOB2Str_GUI: both directions in both modules, and each
// module's guard against its own output coming back.

#include <gtest/gtest.h>

#include "host/TextConversion.h"
#include "tests/modules/GuiUtilityFixture.h"

namespace zr::test {
namespace {

struct Converter {
    wchar_t const* id;
    int32_t textPin;
    int32_t blobPin;
};
Converter const converters[] = {{L"ZR_ShapeStr2BLOB_GUI", 0, 1}, {L"ZR_ShapeBLOB2Str_GUI", 1, 0}};

TEST(GuiConverters, ConvertBothWays) {
    for (Converter const& c : converters) {
        SCOPED_TRACE(host::utf8FromWide(c.id));
        auto module = makeGuiModule(c.id);
        module->setText(c.textPin, L"(-5,-5)(5,5)");
        auto image = module->host().lastTransmission(c.blobPin);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->bytes, shapeImage({{0, -1}, {1, 1}})) << "24 bytes, no mode";

        module->setText(c.textPin, L"(-5,-5)(5,5)");
        EXPECT_EQ(module->host().transmissionsOf(c.blobPin).size(), 2u) << "the same text is sent again";

        module->setBytes(c.blobPin, shapeImage({{0, 0}, {1, 0}}));
        auto text = module->host().lastTransmission(c.textPin);
        ASSERT_TRUE(text);
        EXPECT_EQ(text->asText(), L"(-5,0)(5,0)");
    }
}

TEST(GuiConverters, RejectedInputSendsNothing) {
    for (Converter const& c : converters) {
        SCOPED_TRACE(host::utf8FromWide(c.id));
        auto module = makeGuiModule(c.id);
        for (std::wstring const text : {L"", L"(-5,0)(4,0)", L"(-5,0)(5,0)x", L"(-5,nan)(5,0)"})
            module->setText(c.textPin, text);
        std::vector<uint8_t> wrongMagic = shapeImage({{0, 0}, {1, 0}});
        wrongMagic[0] = 0;
        for (auto const& image : {wrongMagic, std::vector<uint8_t>{}, std::vector<uint8_t>(20, 0)})
            module->setBytes(c.blobPin, image);
        EXPECT_TRUE(module->host().transmissions().empty());
    }
}

TEST(GuiConverters, EachGuardsTheDirectionItsNameGivesFirst) {
    host::GuiModuleOptions options;
    options.echoTransmissions = true;
    // Str2BLOB: a blob in sends text out, whose echo must not be converted back to a blob.
    auto str2blob = makeGuiModule(L"ZR_ShapeStr2BLOB_GUI", options);
    str2blob->setBytes(1, shapeImage({{0, 0.5f}, {1, 0}}));
    EXPECT_EQ(str2blob->host().transmissionsOf(0).size(), 1u);
    EXPECT_TRUE(str2blob->host().transmissionsOf(1).empty());
    // ...while text in sends a blob whose echo is converted back to text.
    str2blob->host().clearRecords();
    str2blob->setText(0, L"(-5,1.0)(5,1)"); // the text coming back is "(-5,1)(5,1)"
    EXPECT_EQ(str2blob->host().transmissionsOf(1).size(), 1u);
    EXPECT_EQ(str2blob->host().transmissionsOf(0).size(), 1u);

    // BLOB2Str: the mirror image.
    auto blob2str = makeGuiModule(L"ZR_ShapeBLOB2Str_GUI", options);
    blob2str->setText(1, L"(-5,1)(5,1)");
    EXPECT_EQ(blob2str->host().transmissionsOf(0).size(), 1u);
    EXPECT_TRUE(blob2str->host().transmissionsOf(1).empty());
    blob2str->host().clearRecords();
    blob2str->setBytes(0, shapeImage({{0, 0.5f}, {1, 0}}));
    EXPECT_EQ(blob2str->host().transmissionsOf(1).size(), 1u);
    EXPECT_EQ(blob2str->host().transmissionsOf(0).size(), 1u);
}

} // namespace
} // namespace zr::test

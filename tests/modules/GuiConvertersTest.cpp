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
    bool guardsTextEcho; // else the echo of the image it sends is the one ignored
};
Converter const converters[] = {{L"ZR_ShapeStr2BLOB_GUI", 0, 1, true}, {L"ZR_ShapeBLOB2Str_GUI", 1, 0, false}};

// Rejected texts and images send nothing; then each direction converts, the same text again
// sent again.
TEST(GuiConverters, ConvertBothWaysAndSendNothingForRejectedInput) {
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

        module->setText(c.textPin, L"(-5,-5)(5,5)");
        module->setText(c.textPin, L"(-5,-5)(5,5)");
        auto const images = module->host().transmissionsOf(c.blobPin);
        ASSERT_EQ(images.size(), 2u) << "the same text is sent again";
        EXPECT_EQ(images[1].bytes, shapeImage({{0, -1}, {1, 1}})) << "24 bytes, no mode";
        module->setBytes(c.blobPin, shapeImage({{0, 0}, {1, 0}}));
        auto text = module->host().lastTransmission(c.textPin);
        ASSERT_TRUE(text);
        EXPECT_EQ(text->asText(), L"(-5,0)(5,0)");
    }
}

// Under an echoing host each module converts one of its outputs' echoes back and ignores the
// other's; the text "(-5,1.0)" comes back as "(-5,1)", so a conversion would show.
TEST(GuiConverters, EachIgnoresTheEchoOfOneDirection) {
    host::GuiModuleOptions options;
    options.echoTransmissions = true;
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

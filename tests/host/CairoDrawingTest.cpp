// The cairo back end, drawing the real editor from the bundle: known colours at known pixels.

#include <cmath>

#include "host/drawing/CairoDrawing.h"
#include "tests/modules/EditorFixture.h"

namespace zr::test {
namespace {

using Pixel = host::CairoDrawing::Pixel;

testing::AssertionResult near(Pixel actual, Pixel expected, int tolerance = 1) {
    int const got[] = {actual.r, actual.g, actual.b, actual.a};
    int const wanted[] = {expected.r, expected.g, expected.b, expected.a};
    for (int channel = 0; channel < 4; ++channel)
        if (std::abs(got[channel] - wanted[channel]) > tolerance)
            return testing::AssertionFailure() << "channel " << channel << " is " << got[channel] << ", expected "
                                               << wanted[channel];
    return testing::AssertionSuccess();
}

// A 200 x 100 editor: x 0..1 on pixels 7..192, the baseline (record y 0) on row 49.
class CairoEditor : public testing::Test {
protected:
    void SetUp() override {
        editor = makeEditor();
        editor->arrange({0.0f, 0.0f, 200.0f, 100.0f});
    }
    void draw() { ASSERT_EQ(editor->render(picture.context()), gmpi::MP_OK); }

    host::CairoDrawing picture{200, 100};
    std::unique_ptr<host::GuiModule> editor;
};

TEST_F(CairoEditor, DefaultEditorShowsBackgroundCurveAndMarkers) {
    editor->setBool(kFillNodes, true);
    editor->setInt(kActiveNode, 0);
    editor->setText(kColorCurve, L"FFFF0000");
    draw();
    // The background gradient runs from sRGB 48 at the top to 0 at the bottom.
    EXPECT_TRUE(near(picture.pixel(3, 1), {47, 47, 47, 255}));
    EXPECT_TRUE(near(picture.pixel(3, 98), {1, 1, 1, 255}));
    // Flat curve on the baseline row, red over the grey baseline.
    EXPECT_TRUE(near(picture.pixel(60, 49), {255, 0, 0, 255}));
    // Filled 9 x 9 markers: the active first node white, the last node in the node colour.
    EXPECT_TRUE(near(picture.pixel(5, 46), {255, 255, 255, 255}));
    EXPECT_TRUE(near(picture.pixel(190, 46), {0, 160, 192, 255}));
    // Grid line through the border, and the grey centre line.
    EXPECT_TRUE(near(picture.pixel(7, 20), {56, 56, 56, 255}, 4));
    EXPECT_TRUE(near(picture.pixel(100, 20), {80, 80, 80, 255}, 4));
}

TEST(CairoDrawing, ConvertsLinearLightToSrgbBothWaysExactly) {
    for (int i = 0; i < 256; ++i) {
        double const c = i / 255.0;
        auto const linear = static_cast<float>(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
        EXPECT_EQ(host::srgb8FromLinear(linear), i);
    }
    EXPECT_EQ(host::srgb8FromLinear(std::nanf("")), 0);
    EXPECT_EQ(host::srgb8FromLinear(7.0f), 255);
}

} // namespace
} // namespace zr::test

// ZR_ShapeEditor5's pins, settings and commands, through our host.

#include <cmath>
#include <limits>

#include "testing/RecordedValues.h"
#include "host/TextConversion.h"
#include "tests/modules/EditorFixture.h"

namespace zr::test {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
Nodes const kFlat{{0.0f, 0.0f}, {1.0f, 0.0f}};
Nodes const kThree{{0.0f, -1.0f}, {0.25f, 0.5f}, {1.0f, 1.0f}};
Nodes const kThreeFlipped{{0.0f, 1.0f}, {0.75f, 0.5f}, {1.0f, -1.0f}};

// For any image the blob reader refuses the editor shows the flat default, not the shape it had.
TEST_F(EditorTest, RejectedImagesShowTheFlatDefaultAndSendNothing) {
    useExactView();
    std::vector<uint8_t> wrongMagic = shapeImage(kThree);
    wrongMagic[0] = 0x51;
    for (auto const& image : {shapeImage({{0.0f, 0.0f}}), wrongMagic}) {
        SCOPED_TRACE(image.size());
        setShape(kThree);
        editor->host().clearRecords();
        editor->setBytes(kShape, image);
        EXPECT_EQ(shownNodes(), kFlat);
        EXPECT_TRUE(editor->host().transmissionsOf(kShape).empty());
    }
}

// The host may overwrite an edit pin silently: the same image again rewrites it and redraws.
TEST_F(EditorTest, TheSameImageAgainRefreshesTheEditPinsAndRedraws) {
    setShape(kThree);
    editor->setInt(kActiveNode, 1);
    ASSERT_EQ(lastSentFloat(kEditX), -2.5f);
    float const elsewhere = 3.0f;
    editor->module()->setPin(kEditX, 0, 4, &elsewhere);
    editor->host().clearRecords();
    setShape(kThree);
    EXPECT_EQ(lastSentFloat(kEditX), -2.5f);
    EXPECT_EQ(editor->host().wholeAreaInvalidations(), 1);
}

// An active node beyond the nodes selects nothing, and a flip must not turn 7 of 3 into -5;
// flips ignore locks and limits and keep the same node selected.
TEST_F(EditorTest, ActiveNodeSelectsOnlyExistingNodesAndFlipsKeepIt) {
    useExactView();
    editor->setFloat(kYLimitMax, 1.0f);
    editor->setBool(kLockX, true);
    setShape(kThree);
    for (int32_t active : {-5, 1, 7}) {
        SCOPED_TRACE(active);
        editor->setInt(kActiveNode, active);
        shownNodes();
        int white = 0;
        for (host::DrawCall const& marker : drawing.callsOf(host::DrawOp::DrawRectangle))
            white += drawing.brush(marker.brush).stops[0].color.g == 1.0f ? 1 : 0;
        EXPECT_EQ(white, active == 1 ? 1 : 0);
    }
    editor->host().clearRecords();
    editor->setBool(kFlipHoriz, true);
    EXPECT_TRUE(editor->host().transmissionsOf(kActiveNode).empty());
    EXPECT_EQ(lastSent(), kThreeFlipped);
    editor->setInt(kActiveNode, 0);
    editor->setBool(kFlipVert, true);
    EXPECT_EQ(lastSent(), (Nodes{{0.0f, -1.0f}, {0.75f, -0.5f}, {1.0f, 1.0f}}));
    EXPECT_EQ(lastSentFloat(kEditY), -5.0f);
    editor->setBool(kFlipHoriz, false);
    editor->setBool(kFlipHoriz, true);
    EXPECT_EQ(lastSent(), (Nodes{{0.0f, 1.0f}, {0.25f, -0.5f}, {1.0f, -1.0f}}));
    EXPECT_EQ(lastActiveNode(), 2) << "the same node stays selected";
}

TEST_F(EditorTest, ResetAppliesTheTextOrAFlatLineAtTheBaseline) {
    struct Case {
        wchar_t const* text;
        float baseLineVolts;
        Nodes expected;
    } const cases[] = {
        {L"", 0.0f, kFlat},
        {L"(-5,-5)(0,5)(5,-5)", 0.0f, {{0.0f, -1.0f}, {0.5f, 1.0f}, {1.0f, -1.0f}}},
        {L"(-5,0)(5", 2.5f, {{0.0f, 0.5f}, {1.0f, 0.5f}}},
        {L"", 9.0f, {{0.0f, 1.0f}, {1.0f, 1.0f}}},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(host::utf8FromWide(c.text));
        setShape(kThree);
        editor->setFloat(kBaseLine, c.baseLineVolts);
        editor->setText(kResetShape, c.text);
        editor->host().clearRecords();
        editor->setBool(kReset, false);
        EXPECT_TRUE(editor->host().transmissions().empty());
        editor->setBool(kReset, true);
        EXPECT_EQ(lastSent(), c.expected);
        editor->setBool(kReset, true); // unchanged, yet sent again
        EXPECT_EQ(editor->host().transmissionsOf(kShape).size(), 2u);
    }
}

// Limits given swapped (4 V and -3 V) give -0.6..0.8; units 0 are volts, 1 record units.
TEST_F(EditorTest, EditPinsMoveTheActiveNodeWithinItsNeighboursLimitsAndLocks) {
    struct Case {
        char const* name;
        int32_t units, node, pin;
        float value;
        std::optional<std::pair<float, float>> expected; // the node afterwards, or nothing sent
        bool lockFirstLast = false;
    } const cases[] = {
        {"volts: 0 V is x 0.5", 0, 1, kEditX, 0.0f, std::pair{0.5f, 0.5f}},
        {"units: 0.5 is x 0.5", 1, 1, kEditX, 0.5f, std::pair{0.5f, 0.5f}},
        {"beyond the right neighbour", 1, 1, kEditX, 3.0f, std::pair{std::nextafter(2.0f, 0.0f) - 1.0f, 0.5f}},
        {"first node keeps x", 1, 0, kEditX, 0.5f, std::nullopt},
        {"last node keeps x", 1, 2, kEditX, 0.5f, std::nullopt},
        {"NaN x", 1, 1, kEditX, kNaN, std::nullopt},
        {"volts: 5 V is y 1, limited to 0.8", 0, 1, kEditY, 5.0f, std::pair{0.25f, 0.8f}},
        {"below the low limit", 1, 1, kEditY, -1.0f, std::pair{0.25f, -0.6f}},
        {"NaN y", 1, 1, kEditY, kNaN, std::nullopt},
        {"locked last node keeps y", 1, 2, kEditY, 0.0f, std::nullopt, true},
    };
    editor->setFloat(kYLimitMax, -3.0f);
    editor->setFloat(kYLimitMin, 4.0f);
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        setShape(kThree);
        editor->setBool(kLockFirstLast, c.lockFirstLast);
        editor->setInt(kEditUnits, c.units);
        editor->setInt(kActiveNode, c.node);
        editor->host().clearRecords();
        editor->setFloat(c.pin, c.value);
        std::optional<Nodes> const sent = lastSent();
        ASSERT_EQ(sent.has_value(), c.expected.has_value());
        if (sent) {
            EXPECT_EQ((*sent)[1], *c.expected);
        }
    }
}

// Images are taken unchecked, and a huge finite node overflows in volts: the edit pins then
// carry the largest finite float of that sign. Every value that fits stays as it is.
TEST(EditorEditPins, CarryFiniteValuesForHugeNodes) {
    constexpr float kLargest = std::numeric_limits<float>::max();
    struct Case {
        char const* name;
        int32_t units;
        std::pair<float, float> node;
        float editX, editY;
    } const cases[] = {
        {"volts, overflowing upwards", 0, {3e38f, 3e38f}, kLargest, kLargest},
        {"volts, overflowing downwards", 0, {-3e38f, -kLargest}, -kLargest, -kLargest},
        {"volts, x overflowing only", 0, {0x1p125f, 0x1p124f}, kLargest, 0x1.4p126f},
        {"volts, fitting", 0, {0x1p120f, -0x1p125f}, 0x1.4p123f, -0x1.4p127f},
        {"units", 1, {kLargest, -kLargest}, kLargest, -kLargest},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        auto editor = makeEditor();
        editor->setInt(kEditUnits, c.units);
        ASSERT_EQ(editor->setBytes(kShape, shapeImage({{0.0f, 0.0f}, c.node, {1.0f, 0.0f}})), gmpi::MP_OK);
        editor->setInt(kActiveNode, 1);
        EXPECT_EQ(floatOf(*editor->host().lastTransmission(kEditX)), c.editX);
        EXPECT_EQ(floatOf(*editor->host().lastTransmission(kEditY)), c.editY);
    }
}

// A character beyond U+10FFFF cannot be written as UTF-8: the tooltip is empty.
TEST_F(EditorTest, ToolTipIsTheTextPinAsUtf8) {
    editor->setText(kToolTip, L"Curve \u00e9");
    EXPECT_EQ(editor->toolTip({1.0f, 1.0f}), "Curve \xC3\xA9");
    editor->setText(kToolTip, std::wstring(1, static_cast<wchar_t>(0x110000)));
    EXPECT_EQ(editor->toolTip({1.0f, 1.0f}), "");
    EXPECT_EQ(editor->graphics()->getToolTip({1.0f, 1.0f}, nullptr), gmpi::MP_FAIL);
}

} // namespace
} // namespace zr::test

// ZR_ShapeEditor5's pins, settings and commands, through our host.

#include <cmath>
#include <limits>

#include "host/DescriptionCheck.h"
#include "host/TextConversion.h"
#include "tests/modules/EditorFixture.h"

namespace zr::test {
namespace {

using host::DrawOp;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
Nodes const kFlat{{0.0f, 0.0f}, {1.0f, 0.0f}};
Nodes const kThree{{0.0f, -1.0f}, {0.25f, 0.5f}, {1.0f, 1.0f}};

TEST(ShapeEditorModule, EachIdentifierCreatesUnderTheGuiSubTypeOnlyAndMatchesItsDescription) {
    for (wchar_t const* id : {L"ZR_ShapeEditor5", L"ZR_ShapeEditor5c", L"ZR_ShapeEditor5cc"}) {
        SCOPED_TRACE(host::utf8FromWide(id));
        void* instance = nullptr;
        EXPECT_EQ(bundle().factory()->createInstance2(id, 0, &instance), gmpi::MP_NOSUPPORT);
        EXPECT_EQ(instance, nullptr);
        auto editor = makeEditor(id);
        EXPECT_EQ(editor->setHostResult(), gmpi::MP_OK);
        EXPECT_NE(editor->graphics(), nullptr);
        EXPECT_TRUE(host::checkDescription(bundle(), *descriptions().find(id)).empty());
    }
}

TEST_F(EditorTest, RejectedImagesShowTheFlatDefaultAndSendNothing) {
    useExactView();
    std::vector<uint8_t> wrongMagic = shapeImage(kThree);
    wrongMagic[0] ^= 1;
    std::vector<uint8_t> countMismatch = shapeImage(kThree);
    countMismatch[4] = 2;
    std::vector<uint8_t> notMultipleOf8 = shapeImage(kThree);
    notMultipleOf8.resize(28);
    struct Case {
        char const* name;
        std::vector<uint8_t> image;
    } const cases[] = {
        {"one node", shapeImage({{0.0f, 0.0f}})},
        {"101 nodes", shapeImage(Nodes(101, {0.5f, 0.0f}))},
        {"28 bytes", notMultipleOf8},
        {"wrong magic", wrongMagic},
        {"count does not match the size", countMismatch},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        setShape(kThree);
        EXPECT_EQ(shownNodes(), kThree);
        editor->host().clearRecords();
        EXPECT_EQ(editor->setBytes(kShape, c.image), gmpi::MP_OK);
        EXPECT_EQ(shownNodes(), kFlat);
        EXPECT_TRUE(editor->host().transmissionsOf(kShape).empty());
    }
}

TEST_F(EditorTest, TheSameImageAgainRefreshesTheEditPinsAndRedraws) {
    setShape(kThree);
    editor->setInt(kActiveNode, 1);
    ASSERT_EQ(editor->host().lastTransmission(kEditX)->asFloat(), -2.5f);
    // The host overwrites the edit pin without notifying; the next image shows the node again.
    float const elsewhere = 3.0f;
    editor->module()->setPin(kEditX, 0, 4, &elsewhere);
    editor->host().clearRecords();
    setShape(kThree);
    EXPECT_EQ(editor->host().lastTransmission(kEditX)->asFloat(), -2.5f);
    EXPECT_EQ(editor->host().wholeAreaInvalidations(), 1);
    setShape(kThree);
    EXPECT_EQ(editor->host().wholeAreaInvalidations(), 2);
}

TEST_F(EditorTest, ActiveNodeIsKeptButSelectsOnlyExistingNodes) {
    useExactView();
    setShape(kThree);
    auto const activeMarkers = [&] {
        shownNodes();
        int white = 0;
        for (host::DrawCall const& marker : drawing.callsOf(DrawOp::DrawRectangle))
            white += drawing.brush(marker.brush).stops[0].color.g == 1.0f ? 1 : 0;
        return white;
    };
    editor->setInt(kActiveNode, -5);
    EXPECT_EQ(activeMarkers(), 0);
    editor->setInt(kActiveNode, 1);
    EXPECT_EQ(activeMarkers(), 1);
    EXPECT_EQ(editor->host().lastTransmission(kEditY)->asFloat(), 2.5f);

    // 7 of 3 nodes selects nothing, and a left-right flip must not turn it into -5.
    editor->setInt(kActiveNode, 7);
    EXPECT_EQ(activeMarkers(), 0);
    editor->host().clearRecords();
    editor->setBool(kFlipHoriz, true);
    EXPECT_TRUE(editor->host().transmissionsOf(kActiveNode).empty());
    EXPECT_EQ(lastSent(), (Nodes{{0.0f, 1.0f}, {0.75f, 0.5f}, {1.0f, -1.0f}}));
}

TEST_F(EditorTest, FlipsKeepTheSelectedNodeAndIgnoreLocksAndLimits) {
    editor->setFloat(kYLimitMax, 1.0f);
    editor->setBool(kLockX, true);
    setShape(kThree);
    editor->setInt(kActiveNode, 0);
    editor->setBool(kFlipHoriz, true);
    EXPECT_EQ(lastSent(), (Nodes{{0.0f, 1.0f}, {0.75f, 0.5f}, {1.0f, -1.0f}}));
    EXPECT_EQ(lastActiveNode(), 2) << "the same node stays selected";
    EXPECT_EQ(editor->host().lastTransmission(kEditY)->asFloat(), -5.0f);
    editor->setBool(kFlipHoriz, false);
    editor->setBool(kFlipVert, true);
    EXPECT_EQ(lastSent(), (Nodes{{0.0f, -1.0f}, {0.75f, -0.5f}, {1.0f, 1.0f}}));
    EXPECT_EQ(editor->host().lastTransmission(kEditY)->asFloat(), 5.0f);
    editor->host().clearRecords();
    editor->setBool(kFlipVert, false);
    EXPECT_TRUE(editor->host().transmissions().empty());
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

TEST_F(EditorTest, EditPinsMoveTheActiveNodeWithinItsNeighboursAndLimits) {
    struct Case {
        char const* name;
        int32_t units, node, pin;
        float value;
        std::optional<std::pair<float, float>> expected; // the node afterwards, or nothing sent
    } const cases[] = {
        {"volts: 0 V is x 0.5", 0, 1, kEditX, 0.0f, std::pair{0.5f, 0.5f}},
        {"units: 0.5 is x 0.5", 1, 1, kEditX, 0.5f, std::pair{0.5f, 0.5f}},
        {"beyond the right neighbour", 1, 1, kEditX, 3.0f, std::pair{std::nextafter(2.0f, 0.0f) - 1.0f, 0.5f}},
        {"beyond the left neighbour", 1, 1, kEditX, -3.0f, std::pair{std::nextafter(1.0f, 2.0f) - 1.0f, 0.5f}},
        {"first node keeps x", 1, 0, kEditX, 0.5f, std::nullopt},
        {"last node keeps x", 1, 2, kEditX, 0.5f, std::nullopt},
        {"NaN x", 1, 1, kEditX, kNaN, std::nullopt},
        {"volts: 5 V is y 1, limited to 0.8", 0, 1, kEditY, 5.0f, std::pair{0.25f, 0.8f}},
        {"units: 5 is limited to 0.8", 1, 1, kEditY, 5.0f, std::pair{0.25f, 0.8f}},
        {"below the low limit", 1, 1, kEditY, -1.0f, std::pair{0.25f, -0.6f}},
        {"NaN y", 1, 1, kEditY, kNaN, std::nullopt},
    };
    // Swapped limits: 4 V and -3 V give -0.6..0.8.
    editor->setFloat(kYLimitMax, -3.0f);
    editor->setFloat(kYLimitMin, 4.0f);
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        setShape(kThree);
        editor->setInt(kEditUnits, c.units);
        editor->setInt(kActiveNode, c.node);
        editor->host().clearRecords();
        editor->setFloat(c.pin, c.value);
        if (!c.expected) {
            EXPECT_TRUE(editor->host().transmissionsOf(kShape).empty());
            continue;
        }
        auto const sent = lastSent();
        ASSERT_TRUE(sent);
        EXPECT_EQ((*sent)[1], *c.expected);
    }
}

TEST_F(EditorTest, EditPinsShowTheNodeInVoltsOrUnits) {
    setShape({{0.0f, 0.0f}, {0.25f, -0.5f}, {1.0f, 0.0f}});
    editor->setInt(kActiveNode, 1);
    EXPECT_EQ(editor->host().lastTransmission(kEditX)->asFloat(), -2.5f);
    EXPECT_EQ(editor->host().lastTransmission(kEditY)->asFloat(), -2.5f);
    editor->setInt(kEditUnits, 1);
    EXPECT_EQ(editor->host().lastTransmission(kEditX)->asFloat(), 0.25f);
    EXPECT_EQ(editor->host().lastTransmission(kEditY)->asFloat(), -0.5f);
}

TEST_F(EditorTest, LockFirstLastKeepsEndNodesFromEditY) {
    setShape(kThree);
    editor->setBool(kLockFirstLast, true);
    editor->setInt(kEditUnits, 1);
    editor->setInt(kActiveNode, 2);
    editor->host().clearRecords();
    editor->setFloat(kEditY, 0.0f);
    EXPECT_TRUE(editor->host().transmissionsOf(kShape).empty());
}

// The host sends the editor's own output straight back while the editor transmits; acting on
// it would redraw (and refresh the edit pins) a second time.
TEST(ShapeEditorEcho, OwnOutputComingBackIsIgnored) {
    auto countRedraws = [](bool echo) {
        host::GuiModuleOptions options;
        options.echoTransmissions = echo;
        auto editor = makeEditor(L"ZR_ShapeEditor5", options);
        editor->sendDefaults();
        editor->setBytes(kShape, shapeImage(kThree));
        editor->setInt(kEditUnits, 1);
        editor->setInt(kActiveNode, 1);
        editor->host().clearRecords();
        editor->setFloat(kEditY, 0.0f);
        editor->setBool(kFlipHoriz, true);
        return std::pair{editor->host().wholeAreaInvalidations(), nodesOf(*editor->host().lastTransmission(kShape))};
    };
    auto const quiet = countRedraws(false);
    auto const echoed = countRedraws(true);
    EXPECT_EQ(echoed.first, quiet.first);
    EXPECT_EQ(echoed.second, quiet.second);
    EXPECT_EQ(quiet.second, (Nodes{{0.0f, 1.0f}, {0.75f, 0.0f}, {1.0f, -1.0f}}));
}

TEST_F(EditorTest, NaNSettingsKeepNodesAndViewFinite) {
    useExactView();
    for (int32_t pin : {kYLimitMax, kYLimitMin, kBaseLine, kBorderFactor, kEditX, kEditY})
        editor->setFloat(pin, kNaN);
    setShape(kThree);
    editor->setInt(kActiveNode, 1);
    editor->setFloat(kEditX, kNaN);
    editor->setFloat(kEditY, kNaN);
    drawing.clear();
    frame();
    for (host::DrawCall const& call : drawing.calls())
        for (float number : call.numbers)
            EXPECT_TRUE(std::isfinite(number)) << host::drawOpName(call.op);
    press({50.0f, 50.0f});
    move({60.0f, 20.0f});
    for (host::HostRecord const& sent : editor->host().transmissionsOf(kShape))
        for (auto const& [x, y] : nodesOf(sent))
            EXPECT_TRUE(std::isfinite(x) && std::isfinite(y));
}

TEST_F(EditorTest, ToolTipIsTheTextPinAsUtf8) {
    editor->setText(kToolTip, L"Curve \u00e9");
    EXPECT_EQ(editor->toolTip({1.0f, 1.0f}), "Curve \xC3\xA9");
    // A character beyond U+10FFFF cannot be written as UTF-8: the tooltip is empty.
    editor->setText(kToolTip, std::wstring(1, static_cast<wchar_t>(0x110000)));
    EXPECT_EQ(editor->toolTip({1.0f, 1.0f}), "");
    EXPECT_EQ(editor->graphics()->getToolTip({1.0f, 1.0f}, nullptr), gmpi::MP_FAIL);
}

TEST(ShapeEditorHostile, WithoutUiHostPinWritesAreDropped) {
    host::GuiModuleOptions options;
    options.hostile.refuseUiHost2 = true;
    auto editor = makeEditor(L"ZR_ShapeEditor5", options);
    EXPECT_EQ(editor->setHostResult(), gmpi::MP_NOSUPPORT);
    editor->sendDefaults();
    editor->setBytes(kShape, shapeImage(kThree));
    editor->setInt(kActiveNode, 1);
    EXPECT_EQ(editor->setBool(kFlipVert, true), gmpi::MP_OK);
    EXPECT_TRUE(editor->host().transmissions().empty());
}

TEST(ShapeEditorHostile, WithoutGraphicsHostEveryPinAndGestureStillWorks) {
    host::GuiModuleOptions options;
    options.hostile.refuseGraphicsHost = true;
    auto editor = makeEditor(L"ZR_ShapeEditor5", options);
    editor->sendDefaults();
    editor->setBytes(kShape, shapeImage(kThree));
    for (int32_t pin = 0; pin < kEditorPinCount; ++pin)
        EXPECT_EQ(editor->module()->notifyPin(pin, 0), gmpi::MP_OK) << "pin " << pin;
    host::RecordingDrawing drawing;
    editor->arrange({0.0f, 0.0f, 100.0f, 100.0f});
    EXPECT_EQ(editor->render(drawing.context()), gmpi::MP_OK);
    EXPECT_EQ(editor->pointerDown(kPrimary, {50.0f, 50.0f}), gmpi::MP_OK);
    EXPECT_EQ(editor->pointerMove(kPrimary, {60.0f, 50.0f}), gmpi::MP_OK) << "no capture is held without a host";
    EXPECT_EQ(editor->pointerUp(0, {60.0f, 50.0f}), gmpi::MP_OK);
    EXPECT_FALSE(editor->host().transmissionsOf(kMouseDown).empty()) << "pins are still sent";
    EXPECT_EQ(editor->host().captureTakes(), 0);
}

} // namespace
} // namespace zr::test

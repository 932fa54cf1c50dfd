// ZR_ShapeEditor5 through our host: its frames (the 200 x 100 editor maps x 0..1 on 7..192 and y
// +1..-1 on 3.5..95.5), its pins, settings and commands, node picking and pointer editing.

#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "testing/RecordedValues.h"
#include "host/TextConversion.h"
#include "testing/hostile/HostilePolicies.h"
#include "tests/modules/EditorFixture.h"

namespace zr::test {
namespace {

using host::DrawCall;
using host::DrawOp;

void expectNumbers(DrawCall const& call, std::vector<float> const& expected) {
    ASSERT_GE(call.numbers.size(), expected.size()) << host::drawOpName(call.op);
    for (std::size_t k = 0; k < expected.size(); ++k)
        EXPECT_NEAR(call.numbers[k], expected[k], 1e-3f) << host::drawOpName(call.op) << " number " << k;
}

class EditorDrawing : public EditorTest {
protected:
    void SetUp() override { editor->arrange({0.0f, 0.0f, 200.0f, 100.0f}); }
    // A frame that draws both bitmaps (a colour pin releases both); gives the curve's target.
    int32_t freshFrame() {
        editor->setText(kColorDiagonal, L"");
        drawing.clear();
        frame();
        auto const made = drawing.callsOf(DrawOp::CreateCompatibleRenderTarget);
        EXPECT_EQ(made.size(), 2u);
        return made.size() == 2 ? made[1].subject : 0;
    }
    std::vector<DrawCall> sinkCalls(int32_t geometry, DrawOp op) const {
        for (DrawCall const& open : drawing.callsOf(DrawOp::Open, geometry))
            return drawing.callsOf(op, open.subject);
        return {};
    }
    float colourOf(DrawCall const& call, int channel) const {
        auto const& color = drawing.brush(call.brush).stops.at(0).color;
        return channel == 0 ? color.r : channel == 1 ? color.g : channel == 2 ? color.b : color.a;
    }
};

// A frame without changes only copies the two cached bitmaps over the whole area.
TEST_F(EditorDrawing, AFrameWithoutChangesOnlyCopiesTheCachedBitmaps) {
    freshFrame();
    drawing.clear();
    frame();
    ASSERT_EQ(drawing.calls().size(), 2u);
    for (DrawCall const& copy : drawing.callsOf(DrawOp::DrawBitmap, host::RecordingDrawing::deviceContextNumber))
        EXPECT_EQ(copy.numbers, (std::vector<float>{0, 0, 200, 100, 1, 1, 0, 0, 200, 100}));
    EXPECT_EQ(drawing.liveObjects(), 2) << "only the two cached bitmaps stay";
    editor->releaseModule();
    EXPECT_EQ(drawing.liveObjects(), 0) << "releasing the editor gives back every drawing object";
}

// Only the grid draws lines (linear mode; without divisions still centre line and baseline).
TEST_F(EditorDrawing, EachChangeRedrawsOnlyTheBitmapsThatShowIt) {
    freshFrame();
    struct Case {
        char const* name;
        std::function<void()> change;
        bool grid, curve;
    } const cases[] = {
        {"shape", [&] { setShape({{0.0f, 0.5f}, {1.0f, 0.0f}}); }, false, true},
        {"mode", [&] { editor->setInt(kITP_Choice, 20); }, false, true},
        {"selection", [&] { editor->setInt(kActiveNode, 0); }, false, true},
        {"node size", [&] { editor->setInt(kNodeSize, 12); }, false, true},
        {"flip", [&] { editor->setBool(kFlipVert, true); }, false, true},
        {"no grid divisions", [&] { editor->setInt(kGridDivisionsX, 0); }, true, false},
        {"baseline", [&] { editor->setFloat(kBaseLine, 1.0f); }, true, true},
        {"border", [&] { editor->setFloat(kBorderFactor, 10.0f); }, true, true},
        {"colour", [&] { editor->setText(kColorGrid, L"FF102030"); }, true, true},
        {"size", [&] { editor->arrange({0.0f, 0.0f, 300.0f, 100.0f}); }, true, true},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        c.change();
        drawing.clear();
        frame();
        EXPECT_EQ(drawing.count(DrawOp::DrawLine) > 0, c.grid);
        EXPECT_EQ(drawing.count(DrawOp::DrawGeometry) > 0, c.curve);
    }
}

// Inner width 185 pixels: 186 columns from x 7 to 192, here a straight rising line, open; a
// wide editor (9000 pixels) still draws one point per column.
TEST_F(EditorDrawing, TheCurveHasOnePointPerPixelColumn) {
    setShape({{0.0f, -1.0f}, {1.0f, 1.0f}});
    auto const strokes = drawing.callsOf(DrawOp::DrawGeometry, freshFrame());
    ASSERT_EQ(strokes.size(), 1u);
    EXPECT_EQ(strokes[0].numbers, std::vector<float>{2.0f}) << "shape thickness";
    std::vector<DrawCall> const begin = sinkCalls(strokes[0].subject, DrawOp::BeginFigure);
    std::vector<DrawCall> const points = sinkCalls(strokes[0].subject, DrawOp::AddLine);
    ASSERT_EQ(begin.size(), 1u);
    expectNumbers(begin[0], {7.0f, 95.5f, 1.0f});
    ASSERT_EQ(points.size(), 186u);
    for (std::size_t k = 0; k < points.size(); ++k)
        expectNumbers(points[k], {7.0f + k, 95.5f - 92.0f * k / 185.0f});
    EXPECT_EQ(sinkCalls(strokes[0].subject, DrawOp::EndFigure).at(0).numbers[0], 0.0f);
    editor->arrange({0, 0, 9000, 100});
    EXPECT_EQ(sinkCalls(drawing.callsOf(DrawOp::DrawGeometry, freshFrame()).at(0).subject, DrawOp::AddLine).size(), 8370u);
}

// The fill is clipped at the baseline and fades to alpha 32/255 there; at an edge, one fill.
TEST_F(EditorDrawing, TheFillIsClippedAtTheBaseline) {
    struct Case {
        float baseLineVolts;
        std::vector<std::vector<float>> clips;
    } const cases[] = {
        {0.0f, {{0, 0, 200, 49.5f}, {0, 50.5f, 200, 100}}},
        {5.0f, {{0, 4.5f, 200, 100}}},
        {-5.0f, {{0, 0, 200, 95.5f}}},
    };
    setShape({{0.0f, -1.0f}, {0.5f, 1.0f}, {1.0f, -1.0f}});
    for (auto const& c : cases) {
        SCOPED_TRACE(c.baseLineVolts);
        editor->setFloat(kBaseLine, c.baseLineVolts);
        int32_t const curve = freshFrame();
        auto const clips = drawing.callsOf(DrawOp::PushAxisAlignedClip, curve);
        auto const fills = drawing.callsOf(DrawOp::FillGeometry, curve);
        ASSERT_EQ(clips.size(), c.clips.size());
        ASSERT_EQ(fills.size(), c.clips.size());
        for (std::size_t i = 0; i < clips.size(); ++i)
            expectNumbers(clips[i], c.clips[i]);
        EXPECT_EQ(drawing.count(DrawOp::PopAxisAlignedClip), static_cast<int>(c.clips.size()));
        host::BrushRecord const& fade = drawing.brush(fills[0].brush);
        EXPECT_NEAR(fade.stops[c.baseLineVolts == 5.0f ? 0 : 1].color.a, 32.0f / 255.0f, 1e-6f);
    }
}

// Markers: the active node white, the others sRGB 0, 160, 192.
TEST_F(EditorDrawing, MarkersFollowTheShapeAndColourPins) {
    setShape({{0.0f, 0.0f}, {0.5f, 1.0f}, {1.0f, 0.0f}});
    editor->setInt(kActiveNode, 1);
    struct Case {
        bool circular, filled;
        DrawOp op;
        std::vector<float> middle;
    } const cases[] = {
        {false, false, DrawOp::DrawRectangle, {94.5f, -1.5f, 103.5f, 7.5f, 1.0f}},
        {false, true, DrawOp::FillRectangle, {94.5f, -1.5f, 103.5f, 7.5f}},
        {true, false, DrawOp::DrawEllipse, {99.5f, 3.5f, 5.0f, 5.0f, 1.0f}},
        {true, true, DrawOp::FillEllipse, {99.5f, 3.5f, 5.0f, 5.0f}},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(drawOpName(c.op));
        editor->setBool(kCircularNodes, c.circular);
        editor->setBool(kFillNodes, c.filled);
        auto const markers = drawing.callsOf(c.op, freshFrame());
        ASSERT_EQ(markers.size(), 3u);
        expectNumbers(markers[1], c.middle);
        EXPECT_EQ(colourOf(markers[1], 0), 1.0f);
        EXPECT_NEAR(colourOf(markers[0], 2), 0.5271f, 1e-4f);
    }
}

// Mode None draws no curve and no fill: a spike from the baseline at each node.
TEST_F(EditorDrawing, ModeNoneDrawsSpikesFromTheBaseline) {
    setShape({{0.0f, 0.0f}, {0.5f, 1.0f}, {1.0f, -0.5f}});
    editor->setInt(kITP_Choice, 0);
    auto const spikes = drawing.callsOf(DrawOp::DrawLine, freshFrame());
    EXPECT_EQ(drawing.count(DrawOp::CreatePathGeometry), 0);
    ASSERT_EQ(spikes.size(), 3u);
    expectNumbers(spikes[1], {99.5f, 49.5f, 99.5f, 3.5f});
    expectNumbers(spikes[2], {192.0f, 49.5f, 192.0f, 72.5f, 2.0f});
}

// A failed creation leaves a bitmap missing for the next frame; a refused context draws nothing.
TEST_F(EditorDrawing, FailedObjectsAreSkippedAndDrawnNextFrame) {
    for (int host::DrawingFailures::*failure : {&host::DrawingFailures::renderTargets, &host::DrawingFailures::brushes,
                                                &host::DrawingFailures::factories, &host::DrawingFailures::geometries,
                                                &host::DrawingFailures::sinks, &host::DrawingFailures::bitmaps}) {
        editor->setText(kColorGrid, L""); // release both bitmaps
        drawing.failures().*failure = 1;
        drawing.clear();
        frame();
        drawing.clear();
        frame();
        if (failure == &host::DrawingFailures::renderTargets || failure == &host::DrawingFailures::bitmaps) {
            EXPECT_EQ(drawing.callsOf(DrawOp::CreateCompatibleRenderTarget).size(), 1u) << "the missing bitmap is drawn again";
        }
        EXPECT_EQ(drawing.count(DrawOp::DrawBitmap), 2);
    }
    drawing.failures().refuseDeviceContext = true;
    drawing.clear();
    EXPECT_EQ(editor->render(drawing.context()), gmpi::MP_OK);
    EXPECT_TRUE(drawing.calls().empty());
}

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

constexpr int32_t kUnchecked = -2;
Nodes const kFlatThree{{0.0f, 0.0f}, {0.5f, 0.0f}, {1.0f, 0.0f}};
Nodes const kHigh{{0.0f, 0.5f}, {0.5f, 0.5f}, {1.0f, 0.5f}};
Nodes const kFour{{0.0f, 0.0f}, {0.3f, 0.0f}, {0.6f, 0.0f}, {1.0f, 0.0f}};

struct Act {
    enum Kind { Click, Press, Move, Release, HostTakesCapture } kind;
    Point point{};
    int32_t flags = kPrimary;
    int64_t thenMilliseconds = 100; // after a click: within a double click
};
Act clickAt(Point p, int64_t then = 100) { return {Act::Click, p, kPrimary, then}; }
Act pressAt(Point p) { return {Act::Press, p}; }
Act moveTo(Point p, int32_t flags = kPrimary) { return {Act::Move, p, flags}; }
Act doubleClickAt(Point p) { return clickAt(p); }

class EditorPointer : public EditorTest {
protected:
    void SetUp() override { useExactView(); }
    void set(int32_t pin, float value) {
        if (pin == kActiveNode)
            editor->setInt(pin, static_cast<int32_t>(value));
        else if (pin == kEditable || pin == kLockX || pin == kLockAddRem || pin == kLockFirstLast)
            editor->setBool(pin, value != 0.0f);
        else
            editor->setFloat(pin, value);
    }
    void perform(Act const& act) {
        switch (act.kind) {
        case Act::Click: click(act.point, act.thenMilliseconds); break;
        case Act::Press: press(act.point, act.flags); break;
        case Act::Move: move(act.point, act.flags); break;
        case Act::Release: release(act.point); break;
        case Act::HostTakesCapture: editor->host().releaseCapture(); break;
        }
    }
};

// Each script on a fresh editor: settings, shape, acts; then the last shape and active node sent.
TEST_F(EditorPointer, GesturesEditWithinLocksLimitsAndNeighbours) {
    Point const n1 = at(0.3f, 0.0f), n3 = at(1.0f, 0.0f);
    struct Script {
        char const* name;
        std::vector<std::pair<int32_t, float>> settings;
        Nodes shape;
        std::vector<Act> acts;
        std::optional<Nodes> sent;
        int32_t active = kUnchecked;
    } const scripts[] = {
        // The 10-pixel markers of nodes 1 (pixel 40, 100) and 2 (49.5, 96) overlap around x 45.
        {"inside both markers, node 2 nearer", {{kActiveNode, 3}}, {{0, 0}, {0.40f, 0}, {0.495f, 0.04f}, {1, 0}},
         {clickAt(at(0.448f, 0.03f), 1000)}, std::nullopt, 2},
        {"inside both markers, node 1 nearer", {{kActiveNode, 3}}, {{0, 0}, {0.40f, 0}, {0.495f, 0.04f}, {1, 0}},
         {clickAt(at(0.448f, 0.0f), 1000)}, std::nullopt, 1},
        {"in node 1's marker, but node 2 is nearer", {{kActiveNode, 3}}, {{0, 0}, {0.40f, 0}, {0.495f, 0.04f}, {1, 0}},
         {clickAt(at(0.44f, 0.04f), 1000)}, std::nullopt, -1},
        {"a second press within 300 ms adds a node", {}, kFlat, {clickAt(at(0.25f, 0.5f), 300), clickAt(at(0.25f, 0.5f))},
         Nodes{{0, 0}, {0.25f, 0.5f}, {1, 0}}, 1},
        {"301 ms later it only restarts the timer", {}, kFlat, {clickAt(at(0.25f, 0.5f), 301), clickAt(at(0.25f, 0.5f))},
         std::nullopt},
        {"a double click does not restart the timer", {}, kFlat,
         {clickAt(at(0.125f, 0)), clickAt(at(0.25f, 0.5f)), pressAt(at(0.75f, -0.5f))},
         Nodes{{0, 0}, {0.25f, 0.5f}, {0.75f, -0.5f}, {1, 0}}},
        {"no node added on the left border", {{kActiveNode, 0}}, kFlat, {clickAt({-1, 30}), clickAt({-1, 30})}, std::nullopt, -1},
        {"nor on the right border", {{kActiveNode, 0}}, kFlat, {clickAt({102, 60}), clickAt({102, 60})}, std::nullopt, -1},
        {"nor at an existing x", {{kActiveNode, 0}}, kFlatThree, {clickAt(at(0.5f, 0.6f)), clickAt(at(0.5f, 0.6f))}, std::nullopt, -1},
        {"nor beyond a shape that ends early", {{kActiveNode, 0}}, {{0, 0}, {0.5f, 0}},
         {clickAt(at(0.75f, 0.5f)), clickAt(at(0.75f, 0.5f))}, std::nullopt, -1},
        {"nor to 100 nodes", {{kActiveNode, 0}}, Nodes(100, {0.5f, 0.9f}),
         {clickAt(at(0.25f, 0)), clickAt(at(0.25f, 0))}, std::nullopt, -1},
        // y follows the movement from the limited 0.4, not from 0.9.
        {"an added node is limited and dragged at once", {{kYLimitMax, 2.0f}}, kFlat,
         {clickAt(at(0.5f, 0.9f)), pressAt(at(0.5f, 0.9f)), moveTo(at(0.6f, 0.5f))}, Nodes{{0, 0}, {0.6f, 0}, {1, 0}}},
        {"double click on an interior node removes it", {{kBaseLine, -1}}, kHigh,
         {doubleClickAt(at(0.5f, 0.5f)), clickAt(at(0.5f, 0.5f))}, Nodes{{0, 0.5f}, {1, 0.5f}}},
        {"with add/remove locked it drops to the baseline", {{kBaseLine, -1}, {kLockAddRem, 1}}, kHigh,
         {doubleClickAt(at(0.5f, 0.5f)), clickAt(at(0.5f, 0.5f))}, Nodes{{0, 0.5f}, {0.5f, -0.2f}, {1, 0.5f}}},
        {"the first node drops to the baseline", {{kBaseLine, -1}}, kHigh,
         {doubleClickAt(at(0, 0.5f)), clickAt(at(0, 0.5f))}, Nodes{{0, -0.2f}, {0.5f, 0.5f}, {1, 0.5f}}},
        {"unless it is locked", {{kBaseLine, -1}, {kLockFirstLast, 1}}, kHigh,
         {doubleClickAt(at(0, 0.5f)), clickAt(at(0, 0.5f))}, std::nullopt},
        {"drag", {{kYLimitMax, 3}}, kFour, {pressAt(n1), moveTo(at(0.4f, 0.2f))}, Nodes{{0, 0}, {0.4f, 0.2f}, {0.6f, 0}, {1, 0}}},
        {"drag with the control key: a tenth", {{kYLimitMax, 3}}, kFour, {pressAt(n1), moveTo(at(0.4f, 0.5f), kPrimary | kControl)},
         Nodes{{0, 0}, {0.31f, 0.05f}, {0.6f, 0}, {1, 0}}},
        {"drag past the right neighbour", {{kYLimitMax, 3}}, kFour, {pressAt(n1), moveTo(at(0.8f, 0))},
         Nodes{{0, 0}, {std::nextafter(1.6f, 0.0f) - 1.0f, 0}, {0.6f, 0}, {1, 0}}},
        {"drag with x locked", {{kYLimitMax, 3}, {kLockX, 1}}, kFour, {pressAt(n1), moveTo(at(0.5f, 0.3f))},
         Nodes{{0, 0}, {0.3f, 0.3f}, {0.6f, 0}, {1, 0}}},
        {"drag limited to 0.6", {{kYLimitMax, 3}}, kFour, {pressAt(at(0.6f, 0)), moveTo(at(0.6f, 0.9f))},
         Nodes{{0, 0}, {0.3f, 0}, {0.6f, 0.6f}, {1, 0}}},
        {"the last node moves only in y", {}, kFour, {pressAt(n3), moveTo(at(0.7f, -0.5f))}, Nodes{{0, 0}, {0.3f, 0}, {0.6f, 0}, {1, -0.5f}}},
        {"unless it is locked", {{kLockFirstLast, 1}}, kFour, {pressAt(n3), moveTo(at(0.7f, -0.5f))}, std::nullopt},
        {"moves after the host took the capture", {}, kFlatThree,
         {pressAt(at(0.5f, 0)), {Act::HostTakesCapture}, moveTo(at(0.5f, 0.5f))}, std::nullopt},
    };
    for (Script const& script : scripts) {
        SCOPED_TRACE(script.name);
        editor = makeEditor();
        useExactView();
        for (auto const& [pin, value] : script.settings)
            set(pin, value);
        setShape(script.shape);
        editor->host().clearRecords();
        for (Act const& act : script.acts)
            perform(act);
        release({0, 0});
        editor->advanceClockMilliseconds(1000);
        std::optional<Nodes> const sent = lastSent();
        ASSERT_EQ(sent.has_value(), script.sent.has_value());
        if (sent) {
            ASSERT_EQ(sent->size(), script.sent->size());
            for (std::size_t i = 0; i < sent->size(); ++i) {
                EXPECT_NEAR((*sent)[i].first, (*script.sent)[i].first, 1e-6f) << "node " << i;
                EXPECT_NEAR((*sent)[i].second, (*script.sent)[i].second, 1e-6f) << "node " << i;
            }
        }
        if (script.active != kUnchecked) {
            EXPECT_EQ(lastActiveNode(), script.active);
        }
    }
}

// Not editable: hits nothing, yet a press still reports the button and takes the capture.
TEST_F(EditorPointer, HitTestAndButtonsFollowEditableAndTheLocks) {
    setShape(kFlatThree);
    EXPECT_EQ(editor->hitTest(at(0.25f, 0.5f)), gmpi::MP_OK);
    editor->setBool(kLockAddRem, true);
    EXPECT_EQ(editor->hitTest(at(0.25f, 0.5f)), gmpi::MP_FAIL);
    EXPECT_EQ(editor->hitTest(at(0.5f, 0.0f)), gmpi::MP_OK);
    editor->setBool(kEditable, false);
    EXPECT_EQ(editor->hitTest(at(0.5f, 0.0f)), gmpi::MP_FAIL);

    EXPECT_EQ(press(at(0.5f, 0.0f)), gmpi::MP_OK);
    EXPECT_TRUE(boolOf(*editor->host().lastTransmission(kMouseDown)));
    EXPECT_TRUE(editor->host().captureHeld());
    move(at(0.5f, 0.5f));
    release(at(0.5f, 0.5f));
    EXPECT_FALSE(boolOf(*editor->host().lastTransmission(kMouseDown)));
    EXPECT_FALSE(editor->host().captureHeld());
    EXPECT_FALSE(lastSent());
}

// The capture answer is the editor's own zero until the host writes it.
TEST(ShapeEditorPointerHostile, AHostThatLeavesTheCaptureAnswerUnwrittenMovesNothing) {
    host::GuiModuleOptions options;
    options.hostPolicy = std::make_shared<hostile::HostileGuiPolicy>(hostile::GuiHostileSwitches{.leaveCaptureUnwritten = true});
    auto editor = makeEditor(L"ZR_ShapeEditor5", options);
    editor->setBytes(kShape, shapeImage(kFlatThree));
    host::RecordingDrawing drawing;
    editor->arrange({0.0f, 0.0f, 100.0f, 100.0f});
    editor->render(drawing.context());
    editor->pointerDown(kPrimary, {50.0f, 50.0f});
    editor->pointerMove(kPrimary, {50.0f, 10.0f});
    EXPECT_TRUE(editor->host().transmissionsOf(kShape).empty());
}

} // namespace
} // namespace zr::test

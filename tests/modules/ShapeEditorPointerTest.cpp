// ZR_ShapeEditor5's view mapping, node picking and pointer editing, through our host. The
// exact view maps record (x, y) to pixels (100 x, 100 - 100 y); the host's clock moves only
// when a test says so.

#include <cmath>
#include <limits>

#include "tests/modules/EditorFixture.h"

namespace zr::test {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
Nodes const kFlat{{0.0f, 0.0f}, {1.0f, 0.0f}};
Nodes const kThree{{0.0f, 0.0f}, {0.5f, 0.0f}, {1.0f, 0.0f}};

class EditorPointer : public EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        useExactView();
    }
};

TEST_F(EditorPointer, MappingIsComputedFromTheViewAndTheBorder) {
    // 200 x 100 with the default border of 3.5 %: x 0..1 on pixels 7..192, y +1..-1 on 3.5..95.5.
    editor->setFloat(kBorderFactor, 3.5f);
    editor->arrange({0.0f, 0.0f, 200.0f, 100.0f});
    setShape({{0.0f, 1.0f}, {1.0f, -1.0f}});
    drawing.clear();
    frame();
    auto const markers = drawing.callsOf(host::DrawOp::DrawRectangle);
    ASSERT_EQ(markers.size(), 2u);
    EXPECT_NEAR(markers[0].numbers[0] + 5.0f, 7.0f, 1e-4f);
    EXPECT_NEAR(markers[0].numbers[1] + 5.0f, 3.5f, 1e-4f);
    EXPECT_NEAR(markers[1].numbers[0] + 5.0f, 192.0f, 1e-4f);
    EXPECT_NEAR(markers[1].numbers[1] + 5.0f, 95.5f, 1e-4f);
}

TEST_F(EditorPointer, APressPicksTheNearestNodeOnlyWhenItsMarkerHoldsThePoint) {
    // The 10-pixel markers of nodes 1 (pixel 40, 100) and 2 (49.5, 96) overlap around x 45.
    setShape({{0.0f, 0.0f}, {0.40f, 0.0f}, {0.495f, 0.04f}, {1.0f, 0.0f}});
    struct Case {
        char const* name;
        GmpiDrawing_API::MP1_POINT point;
        int32_t selected;
    } const cases[] = {
        {"inside both, node 2 nearer", at(0.448f, 0.03f), 2},
        {"inside both, node 1 nearer", at(0.448f, 0.0f), 1},
        {"inside node 1's marker only, but node 2 is nearer", at(0.44f, 0.04f), -1},
        {"outside every marker", at(0.7f, 0.0f), -1},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        editor->setInt(kActiveNode, 3);
        editor->host().clearRecords();
        press(c.point);
        release(c.point);
        editor->advanceClockMilliseconds(1000);
        EXPECT_EQ(lastActiveNode(), c.selected);
    }
}

TEST_F(EditorPointer, HitTestFollowsEditableAndTheAddRemoveLock) {
    setShape(kThree);
    EXPECT_EQ(editor->hitTest(at(0.25f, 0.5f)), gmpi::MP_OK);
    editor->setBool(kLockAddRem, true);
    EXPECT_EQ(editor->hitTest(at(0.25f, 0.5f)), gmpi::MP_FAIL);
    EXPECT_EQ(editor->hitTest(at(0.5f, 0.0f)), gmpi::MP_OK);
    editor->setBool(kEditable, false);
    EXPECT_EQ(editor->hitTest(at(0.5f, 0.0f)), gmpi::MP_FAIL);
}

TEST_F(EditorPointer, NotEditableStillReportsTheButtonAndTakesTheCapture) {
    setShape(kThree);
    editor->setBool(kEditable, false);
    EXPECT_EQ(press(at(0.5f, 0.0f)), gmpi::MP_OK);
    EXPECT_TRUE(editor->host().lastTransmission(kMouseDown)->asBool());
    EXPECT_TRUE(editor->host().captureHeld());
    EXPECT_EQ(move(at(0.5f, 0.5f)), gmpi::MP_OK);
    EXPECT_EQ(release(at(0.5f, 0.5f)), gmpi::MP_OK);
    EXPECT_FALSE(editor->host().lastTransmission(kMouseDown)->asBool());
    EXPECT_FALSE(editor->host().captureHeld());
    EXPECT_FALSE(lastSent());
    // Other buttons only are refused and change nothing, not even MouseDown.
    editor->host().clearRecords();
    EXPECT_EQ(press(at(0.5f, 0.0f), 0x20), gmpi::MP_FAIL);
    EXPECT_TRUE(editor->host().transmissions().empty());
}

TEST_F(EditorPointer, SecondPressWithin300MillisecondsAddsANode) {
    for (int64_t gap : {300, 301}) {
        SCOPED_TRACE(gap);
        setShape(kFlat);
        editor->host().clearRecords();
        click(at(0.25f, 0.5f), gap);
        press(at(0.25f, 0.5f));
        release(at(0.25f, 0.5f));
        editor->advanceClockMilliseconds(1000);
        if (gap == 300) {
            EXPECT_EQ(lastSent(), (Nodes{{0.0f, 0.0f}, {0.25f, 0.5f}, {1.0f, 0.0f}}));
            EXPECT_EQ(lastActiveNode(), 1);
        } else {
            EXPECT_FALSE(lastSent()) << "the second press only restarts the timer";
        }
    }
}

TEST_F(EditorPointer, ADoubleClickDoesNotRestartTheTimer) {
    setShape(kFlat);
    click(at(0.125f, 0.0f), 100);
    click(at(0.25f, 0.5f), 100); // double click: adds at 0.25
    press(at(0.75f, -0.5f));     // 200 ms after the single click: a double click again
    EXPECT_EQ(lastSent(), (Nodes{{0.0f, 0.0f}, {0.25f, 0.5f}, {0.75f, -0.5f}, {1.0f, 0.0f}}));
}

TEST_F(EditorPointer, AddingStopsAtTheEndsAndAtTakenPositions) {
    struct Case {
        char const* name;
        Nodes shape;
        GmpiDrawing_API::MP1_POINT point;
    } const cases[] = {
        {"left border", kFlat, {-1.0f, 30.0f}},
        {"right border", kFlat, {102.0f, 60.0f}},
        {"at an existing x, off its marker", kThree, at(0.5f, 0.6f)},
        {"a shape that ends before the point", {{0.0f, 0.0f}, {0.5f, 0.0f}}, at(0.75f, 0.5f)},
        {"100 nodes", Nodes(100, {0.5f, 0.9f}), at(0.25f, 0.0f)},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        setShape(c.shape);
        editor->setInt(kActiveNode, 0);
        editor->host().clearRecords();
        click(c.point, 100);
        press(c.point);
        release(c.point);
        editor->advanceClockMilliseconds(1000);
        EXPECT_FALSE(lastSent());
        EXPECT_EQ(lastActiveNode(), -1) << "any selection is cleared";
    }
}

TEST_F(EditorPointer, AddedNodeIsLimitedAndCanBeDraggedAtOnce) {
    setShape(kFlat);
    editor->setFloat(kYLimitMax, 2.0f); // 0.4
    click(at(0.5f, 0.9f), 100);
    press(at(0.5f, 0.9f));
    EXPECT_EQ(lastSent(), (Nodes{{0.0f, 0.0f}, {0.5f, 0.4f}, {1.0f, 0.0f}}));
    // x follows the movement; y follows it from the limited 0.4.
    EXPECT_EQ(move(at(0.6f, 0.5f)), 1);
    Nodes const dragged = *lastSent();
    ASSERT_EQ(dragged.size(), 3u);
    EXPECT_NEAR(dragged[1].first, 0.6f, 1e-6f);
    EXPECT_NEAR(dragged[1].second, 0.0f, 1e-6f);
}

TEST_F(EditorPointer, DoubleClickOnANodeRemovesItOrDropsItToTheBaseline) {
    struct Case {
        char const* name;
        int32_t node;
        bool lockAddRem, lockFirstLast;
        std::optional<Nodes> expected;
    } const cases[] = {
        {"interior: removed", 1, false, false, Nodes{{0.0f, 0.5f}, {1.0f, 0.5f}}},
        {"interior with add/remove locked: to the baseline", 1, true, false,
         Nodes{{0.0f, 0.5f}, {0.5f, -0.2f}, {1.0f, 0.5f}}},
        {"first node: to the baseline", 0, false, false, Nodes{{0.0f, -0.2f}, {0.5f, 0.5f}, {1.0f, 0.5f}}},
        {"first node with its lock: nothing", 0, false, true, std::nullopt},
    };
    editor->setFloat(kBaseLine, -1.0f);
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        Nodes const shape{{0.0f, 0.5f}, {0.5f, 0.5f}, {1.0f, 0.5f}};
        setShape(shape);
        editor->setBool(kLockAddRem, c.lockAddRem);
        editor->setBool(kLockFirstLast, c.lockFirstLast);
        editor->host().clearRecords();
        auto const node = at(shape[c.node].first, shape[c.node].second);
        click(node, 100);
        press(node);
        release(node);
        editor->advanceClockMilliseconds(1000);
        EXPECT_EQ(lastSent(), c.expected);
    }
}

TEST_F(EditorPointer, DragsStayWithinNeighboursLocksAndLimits) {
    Nodes const shape{{0.0f, 0.0f}, {0.3f, 0.0f}, {0.6f, 0.0f}, {1.0f, 0.0f}};
    struct Case {
        char const* name;
        int32_t node;
        float dx, dy;
        int32_t flags;
        bool lockX, lockFirstLast;
        std::optional<std::pair<float, float>> expected;
    } const cases[] = {
        {"plain", 1, 0.1f, 0.2f, kPrimary, false, false, std::pair{0.4f, 0.2f}},
        {"control key: a tenth", 1, 0.1f, 0.5f, kPrimary | kControl, false, false, std::pair{0.31f, 0.05f}},
        {"past the right neighbour", 1, 0.5f, 0.0f, kPrimary, false, false,
         std::pair{std::nextafter(1.6f, 0.0f) - 1.0f, 0.0f}},
        {"x locked", 1, 0.2f, 0.3f, kPrimary, true, false, std::pair{0.3f, 0.3f}},
        {"y limited to 0.6", 2, 0.0f, 0.9f, kPrimary, false, false, std::pair{0.6f, 0.6f}},
        {"last node: only y", 3, -0.3f, -0.5f, kPrimary, false, false, std::pair{1.0f, -0.5f}},
        {"last node locked", 3, -0.3f, -0.5f, kPrimary, false, true, std::nullopt},
    };
    editor->setFloat(kYLimitMax, 3.0f);
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        setShape(shape);
        editor->setBool(kLockX, c.lockX);
        editor->setBool(kLockFirstLast, c.lockFirstLast);
        editor->host().clearRecords();
        auto const from = at(shape[c.node].first, shape[c.node].second);
        EXPECT_EQ(press(from), 1);
        move({from.x + 100.0f * c.dx, from.y - 100.0f * c.dy}, c.flags);
        release({0.0f, 0.0f});
        editor->advanceClockMilliseconds(1000);
        auto const sent = lastSent();
        ASSERT_EQ(sent.has_value(), c.expected.has_value());
        if (sent) {
            EXPECT_NEAR((*sent)[c.node].first, c.expected->first, 1e-6f);
            EXPECT_NEAR((*sent)[c.node].second, c.expected->second, 1e-6f);
        }
    }
}

TEST_F(EditorPointer, MovesWithoutTheCaptureDoNothing) {
    setShape(kThree);
    press(at(0.5f, 0.0f));
    editor->host().releaseCapture(); // the host took the capture away
    EXPECT_EQ(move(at(0.5f, 0.5f)), gmpi::MP_OK);
    EXPECT_FALSE(lastSent());
}

TEST(ShapeEditorPointerHostile, AHostThatLeavesTheCaptureAnswerUnwrittenMovesNothing) {
    host::GuiModuleOptions options;
    options.hostile.leaveCaptureUnwritten = true;
    auto editor = makeEditor(L"ZR_ShapeEditor5", options);
    editor->sendDefaults();
    editor->setBytes(kShape, shapeImage(kThree));
    host::RecordingDrawing drawing;
    editor->arrange({0.0f, 0.0f, 100.0f, 100.0f});
    editor->render(drawing.context());
    editor->pointerDown(kPrimary, {50.0f, 50.0f});
    editor->pointerMove(kPrimary, {50.0f, 10.0f});
    EXPECT_TRUE(editor->host().transmissionsOf(kShape).empty());
}

// Points the view cannot map (NaN, infinite, or any point of a view with no inner size) hit
// nothing and move nothing: no node ever becomes NaN and no index goes astray.
TEST_F(EditorPointer, UnmappablePointsNeverReachTheNodes) {
    GmpiDrawing_API::MP1_POINT const hostile[] = {{kNaN, kNaN}, {kInf, 50.0f}, {50.0f, -kInf}, {1e30f, 1e30f}};
    setShape(kThree);
    for (auto const& point : hostile) {
        click(point, 100);
        press(point);
        move(point);
        release(point);
    }
    press(at(0.5f, 0.0f)); // select node 1, then drag to the hostile points
    for (auto const& point : hostile)
        move(point);
    release(at(0.5f, 0.0f));

    // Views of 1 x 1 and 1000 x 1 pixels have a zero inner size: every point maps to infinity.
    for (auto const& rect : {GmpiDrawing_API::MP1_RECT{0, 0, 1, 1}, GmpiDrawing_API::MP1_RECT{0, 0, 1000, 1}}) {
        editor->arrange(rect);
        frame();
        for (auto const& point : {GmpiDrawing_API::MP1_POINT{0.5f, 0.5f}, GmpiDrawing_API::MP1_POINT{500.0f, 0.0f}}) {
            click(point, 100);
            press(point);
            move(point);
            release(point);
        }
    }
    for (host::HostRecord const& sent : editor->host().transmissionsOf(kShape))
        for (auto const& [x, y] : nodesOf(sent))
            EXPECT_TRUE(std::isfinite(x) && std::isfinite(y));
    for (host::HostRecord const& sent : editor->host().transmissionsOf(kActiveNode))
        EXPECT_GE(sent.asInt(), -1);
}

} // namespace
} // namespace zr::test

// ZR_ShapeEditor5's node picking and pointer editing in the exact view.

#include <cmath>

#include "testing/RecordedValues.h"
#include "testing/hostile/HostilePolicies.h"
#include "tests/modules/EditorFixture.h"

namespace zr::test {
namespace {

constexpr int32_t kUnchecked = -2;
Nodes const kFlat{{0.0f, 0.0f}, {1.0f, 0.0f}};
Nodes const kThree{{0.0f, 0.0f}, {0.5f, 0.0f}, {1.0f, 0.0f}};
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
        {"nor at an existing x", {{kActiveNode, 0}}, kThree, {clickAt(at(0.5f, 0.6f)), clickAt(at(0.5f, 0.6f))}, std::nullopt, -1},
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
        {"moves after the host took the capture", {}, kThree,
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
    setShape(kThree);
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
    editor->setBytes(kShape, shapeImage(kThree));
    host::RecordingDrawing drawing;
    editor->arrange({0.0f, 0.0f, 100.0f, 100.0f});
    editor->render(drawing.context());
    editor->pointerDown(kPrimary, {50.0f, 50.0f});
    editor->pointerMove(kPrimary, {50.0f, 10.0f});
    EXPECT_TRUE(editor->host().transmissionsOf(kShape).empty());
}

} // namespace
} // namespace zr::test

// ZR_ShapeEditor5's frames through the recording back end: which bitmap is drawn when, and
// what goes into each.

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "tests/modules/EditorFixture.h"

namespace zr::test {
namespace {

using host::DrawCall;
using host::DrawOp;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr int32_t kContext = host::RecordingDrawing::deviceContextNumber;

class EditorDrawing : public EditorTest {
protected:
    // The default 200 x 100 editor of the default shape: x 0..1 on pixels 7..192, y +1..-1
    // on rows 3.5..95.5.
    void SetUp() override {
        EditorTest::SetUp();
        editor->arrange({0.0f, 0.0f, 200.0f, 100.0f});
    }
    // The render targets made in the frames recorded so far, in order.
    std::vector<int32_t> targetsMade() const {
        std::vector<int32_t> made;
        for (DrawCall const& call : drawing.callsOf(DrawOp::CreateCompatibleRenderTarget))
            made.push_back(call.subject);
        return made;
    }
    // A frame that draws both bitmaps; gives their targets. A colour pin releases both
    // bitmaps (every colour is read again, unchanged).
    std::pair<int32_t, int32_t> freshFrame() {
        editor->setText(kColorDiagonal, L"");
        drawing.clear();
        frame();
        std::vector<int32_t> const made = targetsMade();
        EXPECT_EQ(made.size(), 2u);
        return made.size() == 2 ? std::pair{made[0], made[1]} : std::pair{0, 0};
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

TEST_F(EditorDrawing, AFrameDrawsBothBitmapsOnceThenOnlyCopiesThem) {
    auto const [grid, curve] = freshFrame();
    auto const copies = drawing.callsOf(DrawOp::DrawBitmap, kContext);
    ASSERT_EQ(copies.size(), 2u);
    // Both copies cover the whole area, opacity 1, linear interpolation, the layout as source.
    for (DrawCall const& copy : copies)
        EXPECT_EQ(copy.numbers, (std::vector<float>{0, 0, 200, 100, 1, 1, 0, 0, 200, 100}));
    EXPECT_EQ(copies[0].subject, drawing.callsOf(DrawOp::GetBitmap, grid).at(0).subject);
    EXPECT_EQ(copies[1].subject, drawing.callsOf(DrawOp::GetBitmap, curve).at(0).subject);
    for (int32_t target : {grid, curve}) {
        auto const clears = drawing.callsOf(DrawOp::Clear, target);
        ASSERT_EQ(clears.size(), 1u);
        EXPECT_EQ(clears[0].numbers, (std::vector<float>{0, 0, 0, 0}));
    }

    drawing.clear();
    frame();
    EXPECT_EQ(drawing.calls().size(), 2u) << "a frame without changes only copies the two bitmaps";
    EXPECT_EQ(drawing.count(DrawOp::DrawBitmap), 2);
    EXPECT_EQ(drawing.liveObjects(), 2) << "only the two cached bitmaps stay";
}

TEST_F(EditorDrawing, EachChangeRedrawsOnlyTheBitmapsThatShowIt) {
    freshFrame();
    struct Case {
        char const* name;
        std::function<void()> change;
        int targets; // 1: the curve only, 2: grid and curve
    } const cases[] = {
        {"shape", [&] { setShape({{0.0f, 0.5f}, {1.0f, 0.0f}}); }, 1},
        {"mode", [&] { editor->setInt(kITP_Choice, 20); }, 1},
        {"selection", [&] { editor->setInt(kActiveNode, 0); }, 1},
        {"node size", [&] { editor->setInt(kNodeSize, 12); }, 1},
        {"fill nodes", [&] { editor->setBool(kFillNodes, true); }, 1},
        {"flip", [&] { editor->setBool(kFlipVert, true); }, 1},
        {"grid divisions", [&] { editor->setInt(kGridDivisionsX, 4); }, 1},
        {"baseline", [&] { editor->setFloat(kBaseLine, 1.0f); }, 2},
        {"border", [&] { editor->setFloat(kBorderFactor, 10.0f); }, 2},
        {"colour", [&] { editor->setText(kColorGrid, L"FF102030"); }, 2},
        {"size", [&] { editor->arrange({0.0f, 0.0f, 300.0f, 100.0f}); }, 2},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        c.change();
        drawing.clear();
        frame();
        EXPECT_EQ(targetsMade().size(), static_cast<std::size_t>(c.targets));
        // Which one: only the grid draws lines (in a linear mode), only the curve a geometry.
        bool const gridRedrawn = drawing.count(DrawOp::DrawLine) > 0;
        bool const curveRedrawn = drawing.count(DrawOp::DrawGeometry) > 0;
        EXPECT_EQ(gridRedrawn, c.targets == 2 || std::string(c.name) == "grid divisions");
        EXPECT_EQ(curveRedrawn, std::string(c.name) != "grid divisions");
    }
}

TEST_F(EditorDrawing, GridHasDivisionsPlusOneLinesEachWayThroughTheBorder) {
    editor->setInt(kGridDivisionsX, 4);
    editor->setInt(kGridDivisionsY, 2);
    auto const [grid, curve] = freshFrame();
    std::vector<DrawCall> const lines = drawing.callsOf(DrawOp::DrawLine, grid);
    // 5 vertical, 3 horizontal, then the centre line and the baseline; the diagonal is invisible.
    ASSERT_EQ(lines.size(), 10u);
    for (int k = 0; k < 5; ++k) {
        SCOPED_TRACE(k);
        float const x = 7.0f + static_cast<float>(k) * 185.0f / 4.0f;
        EXPECT_NEAR(lines[k].numbers[0], x, 1e-3f);
        EXPECT_EQ(lines[k].numbers[1], 0.0f);
        EXPECT_NEAR(lines[k].numbers[2], x, 1e-3f);
        EXPECT_EQ(lines[k].numbers[3], 100.0f);
        EXPECT_EQ(lines[k].numbers[4], 1.0f);
        EXPECT_FALSE(lines[k].strokeStyle);
    }
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        float const y = 3.5f + static_cast<float>(k) * 92.0f / 2.0f;
        EXPECT_EQ(lines[5 + k].numbers, (std::vector<float>{0.0f, lines[5 + k].numbers[1], 200.0f, lines[5 + k].numbers[1], 1.0f}));
        EXPECT_NEAR(lines[5 + k].numbers[1], y, 1e-3f);
    }
    EXPECT_EQ(lines[8].numbers, (std::vector<float>{100, 0, 100, 100, 1}));
    EXPECT_NEAR(lines[9].numbers[1], 49.5f, 1e-3f);

    // The background gradient runs from the top colour at the top to the bottom colour.
    auto const fills = drawing.callsOf(DrawOp::FillRectangle, grid);
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].numbers, (std::vector<float>{0, 0, 200, 100}));
    host::BrushRecord const& gradient = drawing.brush(fills[0].brush);
    EXPECT_TRUE(gradient.gradient);
    EXPECT_EQ(gradient.end.y, 100.0f);
    ASSERT_EQ(gradient.stops.size(), 2u);
    EXPECT_NEAR(gradient.stops[0].color.r, 0.0296f, 1e-4f) << "sRGB 48, linear";
    EXPECT_EQ(gradient.stops[1].color.r, 0.0f);

    editor->setInt(kGridDivisionsX, 0);
    editor->setInt(kGridDivisionsY, 0);
    drawing.clear();
    frame();
    EXPECT_EQ(drawing.callsOf(DrawOp::DrawLine).size(), 2u);
}

TEST_F(EditorDrawing, TheCurveHasOnePointPerPixelColumn) {
    setShape({{0.0f, -1.0f}, {1.0f, 1.0f}});
    auto const [grid, curve] = freshFrame();
    auto const strokes = drawing.callsOf(DrawOp::DrawGeometry, curve);
    ASSERT_EQ(strokes.size(), 1u);
    EXPECT_EQ(strokes[0].numbers, std::vector<float>{2.0f}) << "shape thickness";
    std::vector<DrawCall> const begin = sinkCalls(strokes[0].subject, DrawOp::BeginFigure);
    std::vector<DrawCall> const points = sinkCalls(strokes[0].subject, DrawOp::AddLine);
    ASSERT_EQ(begin.size(), 1u);
    EXPECT_EQ(begin[0].numbers[2], 1.0f) << "hollow";
    EXPECT_NEAR(begin[0].numbers[1], 95.5f, 1e-3f);
    // Inner width 185 pixels: 186 columns from x 7 to 192, a straight rising line.
    ASSERT_EQ(points.size(), 186u);
    for (std::size_t k = 0; k < points.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(points[k].numbers[0], 7.0f + static_cast<float>(k));
        EXPECT_NEAR(points[k].numbers[1], 95.5f - 92.0f * static_cast<float>(k) / 185.0f, 1e-3f);
    }
    EXPECT_EQ(sinkCalls(strokes[0].subject, DrawOp::EndFigure).at(0).numbers[0], 0.0f) << "open";
}

TEST_F(EditorDrawing, TheFillIsClippedAboveAndBelowTheBaseline) {
    struct Case {
        float baseLineVolts;
        std::vector<std::vector<float>> clips;
    } const cases[] = {
        {0.0f, {{0, 0, 200, 49.5f}, {0, 50.5f, 200, 100}}},
        {5.0f, {{0, 4.5f, 200, 100}}},    // baseline at the top: only the lower fill
        {-5.0f, {{0, 0, 200, 95.5f}}},    // at the bottom: only the upper fill
    };
    setShape({{0.0f, -1.0f}, {0.5f, 1.0f}, {1.0f, -1.0f}});
    for (auto const& c : cases) {
        SCOPED_TRACE(c.baseLineVolts);
        editor->setFloat(kBaseLine, c.baseLineVolts);
        auto const [grid, curve] = freshFrame();
        auto const clips = drawing.callsOf(DrawOp::PushAxisAlignedClip, curve);
        ASSERT_EQ(clips.size(), c.clips.size());
        for (std::size_t i = 0; i < clips.size(); ++i)
            for (std::size_t k = 0; k < 4; ++k)
                EXPECT_NEAR(clips[i].numbers[k], c.clips[i][k], 1e-3f);
        auto const fills = drawing.callsOf(DrawOp::FillGeometry, curve);
        ASSERT_EQ(fills.size(), c.clips.size());
        EXPECT_EQ(drawing.count(DrawOp::PopAxisAlignedClip), static_cast<int>(c.clips.size()));
        // The fill fades to the inner colour (alpha 32/255) at the baseline.
        host::BrushRecord const& fade = drawing.brush(fills[0].brush);
        float const innerAlpha = c.baseLineVolts == 5.0f ? fade.stops[0].color.a : fade.stops[1].color.a;
        EXPECT_NEAR(innerAlpha, 32.0f / 255.0f, 1e-6f);
    }
}

TEST_F(EditorDrawing, MarkersFollowTheShapeAndColourPins) {
    setShape({{0.0f, 0.0f}, {0.5f, 1.0f}, {1.0f, 0.0f}});
    editor->setInt(kActiveNode, 1);
    struct Case {
        bool circular, filled;
        DrawOp op;
        std::vector<float> middle; // the middle node's marker
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
        auto const [grid, curve] = freshFrame();
        auto const markers = drawing.callsOf(c.op, curve);
        ASSERT_EQ(markers.size(), 3u);
        for (std::size_t k = 0; k < c.middle.size(); ++k)
            EXPECT_NEAR(markers[1].numbers[k], c.middle[k], 1e-3f);
        EXPECT_EQ(colourOf(markers[1], 0), 1.0f) << "the active node is white";
        EXPECT_NEAR(colourOf(markers[0], 2), 0.5271f, 1e-4f) << "the others sRGB 0, 160, 192";
    }
    // Colour texts: eight digits are AARRGGBB, six leave alpha 0, empty gives the default.
    editor->setText(kColorActiveNode, L"FF00FF00");
    editor->setText(kColorNode, L"00FF00");
    freshFrame();
    auto const markers = drawing.callsOf(DrawOp::FillEllipse);
    EXPECT_EQ(colourOf(markers[1], 1), 1.0f);
    EXPECT_EQ(colourOf(markers[1], 0), 0.0f);
    EXPECT_EQ(colourOf(markers[0], 3), 0.0f);
    editor->setText(kColorNode, L"");
    freshFrame();
    EXPECT_NEAR(colourOf(drawing.callsOf(DrawOp::FillEllipse)[0], 3), 1.0f, 1e-6f);
}

TEST_F(EditorDrawing, ModeNoneDrawsSpikesFromTheBaseline) {
    setShape({{0.0f, 0.0f}, {0.5f, 1.0f}, {1.0f, -0.5f}});
    editor->setInt(kITP_Choice, 0);
    auto const [grid, curve] = freshFrame();
    EXPECT_EQ(drawing.count(DrawOp::CreatePathGeometry), 0) << "no curve and no fill";
    auto const spikes = drawing.callsOf(DrawOp::DrawLine, curve);
    ASSERT_EQ(spikes.size(), 3u);
    EXPECT_NEAR(spikes[1].numbers[0], 99.5f, 1e-3f);
    EXPECT_NEAR(spikes[1].numbers[1], 49.5f, 1e-3f);
    EXPECT_NEAR(spikes[1].numbers[3], 3.5f, 1e-3f);
    EXPECT_NEAR(spikes[2].numbers[3], 72.5f, 1e-3f);
    EXPECT_EQ(spikes[2].numbers[4], 2.0f);
}

TEST_F(EditorDrawing, InvisibleCurveAndFillRenderNoTable) {
    for (int32_t pin : {kColorCurve, kColorFillOuter, kColorFillInner})
        editor->setText(pin, L"00FFFFFF");
    auto const [grid, curve] = freshFrame();
    EXPECT_EQ(drawing.count(DrawOp::GetFactory), 0);
    EXPECT_EQ(drawing.callsOf(DrawOp::DrawRectangle, curve).size(), 2u) << "markers still drawn";
}

// A rectangle the host should never give must not size the table from it.
TEST_F(EditorDrawing, HostileRectanglesDrawWithoutAnAbsurdTable) {
    GmpiDrawing_API::MP1_RECT const rects[] = {
        {0, 0, kNaN, 100}, {0, 0, 100, kNaN}, {50, 0, 0, 100}, {0, 0, -1e30f, -5},
        {0, 0, 1e30f, 100}, {0, 0, std::numeric_limits<float>::infinity(), 100}, {-1e9f, 0, 1e9f, 50},
    };
    for (auto const& rect : rects) {
        SCOPED_TRACE(rect.right);
        editor->arrange(rect);
        drawing.clear();
        EXPECT_EQ(editor->render(drawing.context()), gmpi::MP_OK);
        EXPECT_LE(drawing.count(DrawOp::AddLine), 2 * 65536 + 2);
    }
    // 9000 pixels wide is a real (if large) editor: one point per column.
    editor->arrange({0, 0, 9000, 100});
    drawing.clear();
    frame();
    auto const stroke = drawing.callsOf(DrawOp::DrawGeometry).at(0);
    EXPECT_EQ(sinkCalls(stroke.subject, DrawOp::AddLine).size(), 8370u); // inner width 0.93 x 9000 - 1, plus 1
}

// Creation failures leave the bitmap missing, and the next frame draws it.
TEST_F(EditorDrawing, FailedObjectsAreSkippedAndDrawnNextFrame) {
    struct Case {
        char const* name;
        int host::DrawingFailures::*failure;
    } const cases[] = {
        {"render target", &host::DrawingFailures::renderTargets}, {"brush", &host::DrawingFailures::brushes},
        {"factory", &host::DrawingFailures::factories},           {"geometry", &host::DrawingFailures::geometries},
        {"sink", &host::DrawingFailures::sinks},                  {"bitmap", &host::DrawingFailures::bitmaps},
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        editor->setText(kColorGrid, L""); // release both bitmaps
        drawing.failures().*c.failure = 1;
        drawing.clear();
        frame();
        drawing.clear();
        frame();
        if (std::string(c.name) == "render target" || std::string(c.name) == "bitmap") {
            EXPECT_EQ(targetsMade().size(), 1u) << "the missing bitmap is drawn again";
        }
        EXPECT_EQ(drawing.count(DrawOp::DrawBitmap), 2);
    }
    drawing.failures().refuseDeviceContext = true;
    drawing.clear();
    EXPECT_EQ(editor->render(drawing.context()), gmpi::MP_OK);
    EXPECT_TRUE(drawing.calls().empty());
}

TEST(ShapeEditorLifetime, ReleasingTheEditorGivesBackEveryDrawingObject) {
    host::RecordingDrawing drawing;
    {
        auto editor = makeEditor();
        editor->sendDefaults();
        editor->arrange({0, 0, 120, 80});
        editor->render(drawing.context());
        EXPECT_EQ(drawing.liveObjects(), 2);
        EXPECT_GT(editor->host().referenceCount(), 0);
        editor->releaseModule();
        EXPECT_EQ(editor->host().referenceCount(), 0);
    }
    EXPECT_EQ(drawing.liveObjects(), 0);
}

} // namespace
} // namespace zr::test

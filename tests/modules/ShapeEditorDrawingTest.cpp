// ZR_ShapeEditor5's frames; the 200 x 100 editor maps x 0..1 on 7..192 and y +1..-1 on 3.5..95.5.

#include <cmath>
#include <functional>
#include <string>

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

} // namespace
} // namespace zr::test

// The shape editor's frame cost through our host with the recording back end: a frame in which
// nothing changed (both bitmaps are only copied) and a full redraw of both bitmaps (a grid
// colour change each frame), at 200 x 100 and 1600 x 800.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench/BenchSupport.h"
#include "host/GuiModule.h"
#include "testing/drawing/RecordingDrawing.h"

namespace {

constexpr int32_t kShapePin = 0, kColorGrid = 25;

std::unique_ptr<zr::host::GuiModule> editorOfSize(float width, float height) {
    zr::host::GuiModuleOptions options;
    options.description = *zr::bench::descriptions().find(L"ZR_ShapeEditor5");
    auto editor = std::make_unique<zr::host::GuiModule>(zr::bench::bundle(), L"ZR_ShapeEditor5", options);
    editor->sendDefaults();
    editor->setBytes(kShapePin, zr::bench::shapeImage(zr::bench::zigZagNodes(10)));
    editor->arrange({0.0f, 0.0f, width, height});
    return editor;
}

// Arg 0: width (the height is half of it); arg 1: 1 for a full redraw each frame.
void BM_EditorFrame(benchmark::State& state) {
    auto const width = static_cast<float>(state.range(0));
    bool const redraw = state.range(1) != 0;
    auto editor = editorOfSize(width, width / 2.0f);
    zr::host::RecordingDrawing drawing;
    editor->render(drawing.context());
    std::wstring const colours[] = {L"FF102030", L"FF203040"};
    int32_t next = 0;
    for (auto _ : state) {
        if (redraw) {
            editor->setText(kColorGrid, colours[next]);
            next = 1 - next;
        }
        drawing.clear(); // the record of calls would otherwise grow without bound
        benchmark::DoNotOptimize(editor->render(drawing.context()));
    }
}

BENCHMARK(BM_EditorFrame)->ArgNames({"width", "redraw"})->Args({200, 0})->Args({200, 1})->Args({1600, 0})->Args({1600, 1});

} // namespace

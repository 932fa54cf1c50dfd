// The shape core off the audio path's per-sample loop: rendering a table in each mode
// (1024 and 4096 entries; 2, 10 and 100 nodes), the text form of a 100-node shape both ways,
// and reading a blob image.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "shapes/Interpolator.h"
#include "shapes/Shape.h"

namespace {

std::vector<zr::Node> zigZag(int32_t count) {
    std::vector<zr::Node> nodes;
    for (auto const& [x, y] : zr::bench::zigZagNodes(count))
        nodes.push_back({x, y});
    return nodes;
}

// Arg 0: mode; arg 1: table size; arg 2: node count. Each iteration renders once: the nodes
// are assigned again with one node nudged, so the record has really changed.
void BM_InterpolatorRender(benchmark::State& state) {
    zr::Shape::Interpolator interpolator(static_cast<int32_t>(state.range(1)));
    interpolator.shape.setInterpolation(static_cast<int32_t>(state.range(0)));
    auto nodes = zigZag(static_cast<int32_t>(state.range(2)));
    float const heights[] = {0.25f, -0.25f};
    int32_t flip = 0;
    for (auto _ : state) {
        nodes[0].y = heights[flip];
        flip = 1 - flip;
        interpolator.shape.assignNodes(nodes.data(), static_cast<int32_t>(nodes.size()));
        benchmark::DoNotOptimize(interpolator.render());
        benchmark::DoNotOptimize(interpolator.table.data());
    }
}

void renderCases(benchmark::internal::Benchmark* b) {
    b->ArgNames({"mode", "entries", "nodes"});
    for (int64_t mode : {0, 10, 20, 30})
        for (int64_t entries : {1024, 4096})
            for (int64_t count : {2, 10, 100})
                b->Args({mode, entries, count});
}

zr::Shape hundredNodeShape() {
    zr::Shape shape;
    auto const nodes = zigZag(100);
    shape.assignNodes(nodes.data(), 100);
    return shape;
}

void BM_ShapeTextWrite100Nodes(benchmark::State& state) {
    zr::Shape const shape = hundredNodeShape();
    for (auto _ : state)
        benchmark::DoNotOptimize(shape.getString());
}

void BM_ShapeTextParse100Nodes(benchmark::State& state) {
    std::wstring const text = hundredNodeShape().getString();
    zr::Shape shape;
    for (auto _ : state) {
        shape.nodeCount = 2; // so that every parse changes the record
        benchmark::DoNotOptimize(shape.setString(text));
    }
}

void BM_ShapeBlobRead100Nodes(benchmark::State& state) {
    auto const image = zr::bench::shapeImage(zr::bench::zigZagNodes(100));
    zr::Shape shape;
    for (auto _ : state) {
        shape.nodeCount = 2;
        benchmark::DoNotOptimize(shape.readBlob(image.data(), static_cast<int32_t>(image.size())));
    }
}

BENCHMARK(BM_InterpolatorRender)->Apply(renderCases);
BENCHMARK(BM_ShapeTextWrite100Nodes);
BENCHMARK(BM_ShapeTextParse100Nodes);
BENCHMARK(BM_ShapeBlobRead100Nodes);

} // namespace

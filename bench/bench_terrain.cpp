// Speed of the elevation grid reader and of contour tracing on national-sheet sizes.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>

#include "formats/grid/AsciiGrid.h"
#include "platform/Numbers.h"
#include "terrain/Terrain.h"

using grid::AsciiGridStatus, grid::ElevationGrid, grid::parseAsciiGrid;
using platform::cformat;

namespace {

// Rolling terrain with about 60 m of relief, written as a 1 m national sheet would be (2 decimals).
double terrainHeight(double x, double y) {
    return 150.0 + 20.0 * std::sin(x / 310.0) * std::cos(y / 270.0) + 8.0 * std::sin((x + 2 * y) / 97.0) +
           1.5 * std::sin(x / 13.0) * std::sin(y / 17.0) + 0.004 * x;
}

std::string makeSheet(int n) {
    std::string text = cformat(
        "ncols %d\nnrows %d\nxllcenter 500000.00\nyllcenter 300000.00\ncellsize 1.00\n"
        "nodata_value -9999\n",
        n, n);
    text.reserve(text.size() + static_cast<std::size_t>(n) * n * 8);
    for (int r = n - 1; r >= 0; --r) {
        for (int c = 0; c < n; ++c) {
            text += cformat("%.2f", terrainHeight(c, r));
            text += c + 1 < n ? ' ' : '\n';
        }
    }
    return text;
}

terrain::ContourGrid makeGrid(int n) {
    terrain::ContourGrid g{500000.0, 300000.0, 1.0, n, n, {}};
    g.heights.resize(static_cast<std::size_t>(n) * n);
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) g.heights[static_cast<std::size_t>(r) * n + c] = terrainHeight(c, r);
    return g;
}

void BM_ParseAsciiGrid2000(benchmark::State& state) {
    static const std::string text = makeSheet(2000);
    for (auto _ : state) {
        ElevationGrid grid;
        AsciiGridStatus s = parseAsciiGrid(grid, text);
        if (!s.ok) state.SkipWithError(s.message.c_str());
        benchmark::DoNotOptimize(grid.values.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
    state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
}
BENCHMARK(BM_ParseAsciiGrid2000)->Unit(benchmark::kMillisecond);

void BM_TraceContours3000(benchmark::State& state) {
    static const terrain::ContourGrid grid = makeGrid(3000);
    const double interval = state.range(0) / 100.0;
    std::size_t lines = 0, points = 0;
    for (auto _ : state) {
        std::string note;
        bool cancelled = false;
        auto result = terrain::traceContours(grid, interval, note, terrain::kMaxContours, terrain::kMaxContourPoints,
                                             {}, cancelled, {});
        lines = result.size();
        points = 0;
        for (const auto& l : result) points += l.points.size();
        benchmark::DoNotOptimize(result.data());
    }
    state.counters["lines"] = static_cast<double>(lines);
    state.counters["points"] = static_cast<double>(points);
}
BENCHMARK(BM_TraceContours3000)->Arg(100)->Arg(25)->Unit(benchmark::kMillisecond);

// Without the point cap: every level of the grid, as gdal_contour draws them.
void BM_TraceContours3000Uncapped(benchmark::State& state) {
    static const terrain::ContourGrid grid = makeGrid(3000);
    const double interval = state.range(0) / 100.0;
    std::size_t points = 0;
    for (auto _ : state) {
        std::string note;
        bool cancelled = false;
        auto result = terrain::traceContours(grid, interval, note, 1 << 30, std::size_t{1} << 40, {}, cancelled, {});
        points = 0;
        for (const auto& l : result) points += l.points.size();
        benchmark::DoNotOptimize(result.data());
    }
    state.counters["points"] = static_cast<double>(points);
}
BENCHMARK(BM_TraceContours3000Uncapped)->Arg(100)->Arg(25)->Unit(benchmark::kMillisecond);

void BM_SmoothGrid3000(benchmark::State& state) {
    static const terrain::ContourGrid grid = makeGrid(3000);
    for (auto _ : state) {
        terrain::ContourGrid g = grid;
        terrain::smoothContourGrid(g, terrain::kGridSmoothSpatialSigma, terrain::kGridSmoothHeightSigma);
        benchmark::DoNotOptimize(g.heights.data());
    }
}
BENCHMARK(BM_SmoothGrid3000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();

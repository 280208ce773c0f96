// Speed of the elevation grid reader and of contour tracing on national-sheet sizes, with the heap the
// tracing needs at its peak, next to gdal_contour on the same grid (run only when GDAL's tools are installed).
#include <benchmark/benchmark.h>

#include "support/TimedProcess.h"

#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include "formats/grid/AsciiGrid.h"
#include "platform/Numbers.h"
#include "terrain/Terrain.h"

using grid::AsciiGridStatus, grid::ElevationGrid, grid::parseAsciiGrid;
using platform::cformat;

// Heap in use and its high-water mark, so a benchmark can report what one call needed at most.
namespace {
std::atomic<std::size_t> gHeapLive{0};
std::atomic<std::size_t> gHeapPeak{0};
}  // namespace

void* operator new(std::size_t n) {
    void* p = std::malloc(n ? n : 1);
    if (!p) throw std::bad_alloc();
    const std::size_t live = gHeapLive += malloc_usable_size(p);
    std::size_t peak = gHeapPeak.load();
    while (live > peak && !gHeapPeak.compare_exchange_weak(peak, live)) {}
    return p;
}
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept {
    if (!p) return;
    gHeapLive -= malloc_usable_size(p);
    std::free(p);
}
#pragma GCC diagnostic pop
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

namespace {

namespace fs = std::filesystem;

// Starts measuring the heap's high-water mark from what is in use now; returns the baseline.
std::size_t resetHeapPeak() {
    const std::size_t live = gHeapLive.load();
    gHeapPeak = live;
    return live;
}

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

const terrain::ContourGrid& smoothGrid3000() {
    static const terrain::ContourGrid grid = makeGrid(3000);
    return grid;
}

// Every cell a saddle at every level: the heaviest grid the contours command accepts.
const terrain::ContourGrid& checkerboard3000() {
    static const terrain::ContourGrid grid = [] {
        terrain::ContourGrid g{500000.0, 300000.0, 1.0, 3000, 3000, {}};
        g.heights.resize(std::size_t{3000} * 3000);
        for (int r = 0; r < 3000; ++r)
            for (int c = 0; c < 3000; ++c)
                g.heights[static_cast<std::size_t>(r) * 3000 + c] = (r + c) % 2 ? 100.0 : 0.0;
        return g;
    }();
    return grid;
}

// Traces with the given caps; counters: lines, points, the grid's size and the heap the trace needed on top.
void traceBench(benchmark::State& state, const terrain::ContourGrid& grid, double interval, int maxContours,
                std::size_t maxPoints) {
    std::size_t lines = 0, points = 0, peak = 0;
    for (auto _ : state) {
        std::string note;
        bool cancelled = false;
        const std::size_t base = resetHeapPeak();
        auto result = terrain::traceContours(grid, interval, note, maxContours, maxPoints, {}, cancelled, {});
        peak = std::max(peak, gHeapPeak.load() - base);
        lines = result.size();
        points = 0;
        for (const auto& l : result) points += l.points.size();
        benchmark::DoNotOptimize(result.data());
    }
    state.counters["lines"] = static_cast<double>(lines);
    state.counters["points"] = static_cast<double>(points);
    state.counters["grid_MB"] = static_cast<double>(grid.heights.size() * sizeof(double)) / 1e6;
    state.counters["trace_peak_MB"] = static_cast<double>(peak) / 1e6;
}

void BM_TraceContours3000(benchmark::State& state) {
    traceBench(state, smoothGrid3000(), state.range(0) / 100.0, terrain::kMaxContours, terrain::kMaxContourPoints);
}
BENCHMARK(BM_TraceContours3000)->Arg(100)->Arg(25)->Unit(benchmark::kMillisecond);

// Without the caps: every level of the grid, as gdal_contour draws them.
void BM_TraceContours3000Uncapped(benchmark::State& state) {
    traceBench(state, smoothGrid3000(), state.range(0) / 100.0, 1 << 30, std::size_t{1} << 40);
}
BENCHMARK(BM_TraceContours3000Uncapped)->Arg(100)->Arg(25)->Unit(benchmark::kMillisecond);

// With the command's caps on a checkerboard: the memory a trace needs must stay a fixed multiple of the grid.
void BM_TraceContoursCheckerboard3000(benchmark::State& state) {
    traceBench(state, checkerboard3000(), 0.25, terrain::kMaxContours, terrain::kMaxContourPoints);
}
BENCHMARK(BM_TraceContoursCheckerboard3000)->Unit(benchmark::kMillisecond)->Iterations(1);

// ---- gdal_contour on the same grid, written as a raw ENVI raster of doubles (top row first). ----

using ToolRun = benchsupport::TimedRun;

ToolRun runTool(const std::string& command) { return benchsupport::runTimed({"/bin/sh", "-c", command}); }

bool haveTool(const char* tool) {
    return std::system((std::string("command -v ") + tool + " > /dev/null 2>&1").c_str()) == 0;
}

const fs::path& smoothGridRaster() {
    static const fs::path path = [] {
        const terrain::ContourGrid& g = smoothGrid3000();
        const fs::path bin = fs::temp_directory_path() / "geodraft_bench_grid3000.bin";
        std::ofstream out(bin, std::ios::binary);
        for (int r = g.ny - 1; r >= 0; --r)
            out.write(reinterpret_cast<const char*>(&g.heights[static_cast<std::size_t>(r) * g.nx]),
                      static_cast<std::streamsize>(g.nx * sizeof(double)));
        std::ofstream(fs::path(bin).replace_extension(".hdr"))
            << "ENVI\nsamples = " << g.nx << "\nlines = " << g.ny
            << "\nbands = 1\nheader offset = 0\nfile type = ENVI Standard\ndata type = 5\ninterleave = bsq\n"
               "byte order = 0\n";
        return bin;
    }();
    return path;
}

// gdal_contour into an in-memory layer; the manual time is its run minus a run that only reads the grid
// (gdalinfo -checksum), so what remains is comparable with tracing a grid already in memory.
void BM_GdalContour3000(benchmark::State& state) {
    if (!haveTool("gdal_contour") || !haveTool("gdalinfo") || !fs::exists("/usr/bin/time")) {
        state.SkipWithError("GDAL tools not available");
        return;
    }
    const std::string interval = platform::cformat("%.2f", state.range(0) / 100.0);
    const std::string file = "'" + smoothGridRaster().string() + "'";
    double contourMs = 0.0, readMs = 0.0, cpuMs = 0.0, peakMB = 0.0;
    for (auto _ : state) {
        const ToolRun read = runTool("gdalinfo -checksum " + file + " > /dev/null 2>&1");
        const ToolRun contour = runTool("gdal_contour -q -i " + interval + " -f Memory " + file + " mem");
        if (!read.ok || !contour.ok) {
            state.SkipWithError("a GDAL tool failed");
            return;
        }
        state.SetIterationTime(std::max(0.0, contour.wallMs - read.wallMs) / 1000.0);
        contourMs += contour.wallMs;
        readMs += read.wallMs;
        cpuMs += std::max(0.0, contour.cpuMs - read.cpuMs);
        peakMB = std::max(peakMB, contour.peakMB);
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["contour_ms"] = contourMs / n;
    state.counters["grid_read_ms"] = readMs / n;
    // CPU time of the contour run minus the read run: the figure to set against this tracer's CPU column
    // when the machine is busy.
    state.counters["tool_cpu_minus_read_ms"] = cpuMs / n;
    state.counters["tool_peak_MB"] = peakMB;
}
BENCHMARK(BM_GdalContour3000)->Arg(100)->Arg(25)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

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

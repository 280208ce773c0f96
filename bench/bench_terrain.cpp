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

#include "LazSheet.h"
#include "formats/grid/AsciiGrid.h"
#include "lidar/SheetPoints.h"
#include "platform/Numbers.h"
#include "terrain/CloudTerrainBuilder.h"
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

// Terrain from LiDAR over a 1 km frame covered by 20 sheets (the most one index answer lists) of 250 x 200 m at
// 6 returns per m2 (ground, buildings, a pond): 6 million returns, 4.5 million of them ground, in a grid coarsened
// to 800 x 800 cells. Arg 1 reduces sheet by sheet into the grid (CloudTerrainBuilder); arg 0 is the former way,
// every ground and water point held and binned at the end, for comparison. Counters: `peak_MB` (the heap at its
// highest, counted by the benchmark's own operator new; the sheets themselves are mapped, not on the heap),
// `grid_MB` (what the builder holds), `ground_points`.
const std::vector<fs::path>& twentySheets() {
    static const std::vector<fs::path> sheets = [] {
        std::vector<fs::path> paths;
        const fs::path dir = fs::temp_directory_path() / "geodraft_bench_lidar20";
        fs::create_directories(dir);
        for (int s = 0; s < 20; ++s) {
            const fs::path path = dir / cformat("sheet%02d.laz", s);
            paths.push_back(path);
            if (fs::exists(path)) continue;
            const double e0 = 500000.0 + (s % 4) * 250.0, n0 = 400000.0 + (s / 4) * 200.0;
            std::vector<sim::LazSheetPoint> points;
            for (int r = 0; r < 490; ++r) {
                for (int c = 0; c < 612; ++c) {
                    const double e = e0 + (c + 0.5 + 0.3 * std::sin(r * 1.7 + c)) * 250.0 / 612,
                                 n = n0 + (r + 0.5 + 0.3 * std::cos(c * 1.3 + r)) * 200.0 / 490;
                    const double dx = std::fmod(e, 60.0), dy = std::fmod(n, 50.0);
                    const bool pond = std::hypot(e - 500400.0, n - 400500.0) < 40.0;
                    const bool roof = dx > 20 && dx < 40 && dy > 15 && dy < 35;
                    const double z = terrainHeight(e - 500000.0, n - 400000.0) + (roof ? 9.0 : 0.0);
                    points.push_back({e, n, pond ? 150.3 : z, static_cast<std::uint8_t>(pond ? 9 : roof ? 6 : 2)});
                }
            }
            std::ofstream(path, std::ios::binary) << sim::lazSheetBytes(points, sim::LazSheetFormat{false, 0, 50000});
        }
        return paths;
    }();
    return sheets;
}

// The former way: every ground and water point held, then binned by a counting sort into one array of heights.
std::uint64_t keptWhole(const geodesy::Bbox& frame, double step) {
    std::vector<formats::CloudPoint> ground, water;
    lidar::SheetReadOptions options{.classes = {2, 9}};
    for (const fs::path& sheet : twentySheets())
        lidar::readSheetPoints(
            sheet, 0, frame,
            [&](const formats::CloudPoint& p) { (p.classification == 2 ? ground : water).push_back(p); }, options);
    const auto cols = static_cast<std::size_t>(std::floor(frame.width() / step) + 1),
               rows = static_cast<std::size_t>(std::floor(frame.height() / step) + 1);
    std::vector<std::uint32_t> start(cols * rows + 1, 0);
    const auto cellOf = [&](const formats::CloudPoint& p) {
        return static_cast<std::size_t>((p.y - frame.minN) / step) * cols +
               static_cast<std::size_t>((p.x - frame.minE) / step);
    };
    for (const auto& p : ground) ++start[cellOf(p) + 1];
    for (std::size_t c = 0; c < cols * rows; ++c) start[c + 1] += start[c];
    std::vector<float> values(ground.size());
    std::vector<std::uint32_t> next(start.begin(), start.end() - 1);
    for (const auto& p : ground) values[next[cellOf(p)]++] = static_cast<float>(p.z);
    benchmark::DoNotOptimize(values.data());
    return ground.size();
}

void BM_CloudTerrainTwentySheets(benchmark::State& state) {
    const geodesy::Bbox frame{500000.0, 400000.0, 501000.0, 401000.0};
    std::string warning;
    const double step = terrain::cloudTerrainStep(frame, 1.0, warning);
    twentySheets();
    std::size_t peak = 0, grid = 0;
    std::uint64_t ground = 0;
    for (auto _ : state) {
        const std::size_t base = resetHeapPeak();
        if (state.range(0) == 0) {
            ground = keptWhole(frame, step);
        } else {
            terrain::CloudTerrainBuilder builder(frame, step, true);
            for (const fs::path& sheet : twentySheets())
                lidar::readSheetPoints(sheet, 0, frame, [&builder](const formats::CloudPoint& p) { builder.add(p); });
            grid = builder.bytes();
            ground = builder.groundPoints();
            const terrain::CloudTerrainGrid g = builder.finish();
            benchmark::DoNotOptimize(g.heights.data());
        }
        peak = std::max(peak, gHeapPeak.load() - base);
    }
    state.counters["peak_MB"] = static_cast<double>(peak) / 1e6;
    state.counters["grid_MB"] = static_cast<double>(grid) / 1e6;
    state.counters["ground_points"] = static_cast<double>(ground);
}
BENCHMARK(BM_CloudTerrainTwentySheets)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();

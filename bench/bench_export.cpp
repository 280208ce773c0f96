// `geodraft export` as its own process: wall and CPU time, peak resident memory against the project file's size,
// and the size of every file written. Two projects: the offline demo's (out/demo/project.gdp from `make demo`, or
// GEODRAFT_DEMO_PROJECT; skipped when absent) and one built here with the demo's make-up (32 terrain meshes of
// 24,320 level points, 400 parcels, labels and building fills, two pictures), so the figure exists without a demo
// run.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "model/ModelHost.h"
#include "support/TimedProcess.h"

namespace fs = std::filesystem;

namespace {

std::string geodraftPath() {
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    return (fs::path(std::string(buf, static_cast<std::size_t>(n))).parent_path().parent_path() / "app" / "geodraft")
        .string();
}

std::int32_t layer(model::ModelHost& h, const std::string& name) {
    host::Attribute a{.kind = host::kAttrLayer, .name = name};
    h.createAttribute(a);
    return a.index;
}

// A PNG header of 512 x 512 pixels followed by 48 KB standing in for the picture data.
std::vector<std::uint8_t> pictureBytes() {
    std::vector<std::uint8_t> b = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                                   0,    0,    2,    0,    0,    0,    2,    0,    8, 6, 0, 0,  0,   0,   0,   0};
    b.resize(48 * 1024, 0x5A);
    return b;
}

// The demo's make-up: a turned 1 m grid of terrain in 16 patches, placed twice; parcels with their numbers and
// buildings as fills; the orthophoto twice.
fs::path demoLikeProject(const fs::path& dir) {
    const fs::path file = dir / "projekt.gdp";
    if (fs::exists(file)) return file;
    fs::create_directories(dir);
    model::ModelHost h;
    const auto parcels = layer(h, "GIS_DZIALKI"), buildings = layer(h, "GIS_BUDYNKI"), rasters = layer(h, "GIS_RASTRY"),
               terrain = layer(h, "GIS_TEREN");
    host::ElementId id;
    for (int copy = 0; copy < 2; ++copy) {
        h.createPicture({.layer = rasters, .boxMin = {-320, -320}, .boxMax = {320, 320}, .bytes = pictureBytes()}, id);
        const double c = std::cos(0.027), s = std::sin(0.027);
        for (int patch = 0; patch < 16; ++patch) {
            const double x0 = -324.0 + (patch % 4) * 160.0, y0 = -324.0 + (patch / 4) * 152.0;
            host::MeshElement m{.layer = terrain};
            auto at = [&](double x, double y) {
                const double z = -10.0 + 0.01 * x + 4.0 * std::sin(x / 37.0) * std::cos(y / 53.0);
                return host::HostPoint3{c * x - s * y, s * x + c * y, z};
            };
            m.outline = {at(x0, y0), at(x0 + 159, y0), at(x0 + 159, y0 + 151), at(x0, y0 + 151), at(x0, y0)};
            for (int j = 0; j < 152; ++j)
                for (int i = 0; i < 160; ++i) m.levelLines.push_back({at(x0 + i, y0 + j)});
            h.createMesh(m, id);
        }
    }
    for (int k = 0; k < 400; ++k) {
        const double x = -300.0 + (k % 20) * 30.0, y = -300.0 + (k / 20) * 30.0;
        h.createPolyline({.layer = parcels, .points = {{x, y}, {x + 29, y}, {x + 29, y + 29}, {x, y + 29}, {x, y}}},
                         id);
        h.createText({.layer = parcels, .position = {x + 14, y + 14}, .anchor = 4, .content = std::to_string(k + 1)},
                     id);
        h.createFill(
            {.layer = buildings,
             .fillType = 1,
             .contours = {{{x + 5, y + 5}, {x + 22, y + 5}, {x + 22, y + 18}, {x + 5, y + 18}, {x + 5, y + 5}}}},
            id);
    }
    host::GeoLocation g;
    h.readGeoLocation(g);
    g.crsName = "EPSG:2178";
    g.surveyEasting = 7500833.3;
    g.surveyNorthing = 5788456.3;
    g.surveyHeight = 106.0;
    h.writeGeoLocation(g);
    h.saveProject(file);
    return file;
}

void exportBench(benchmark::State& state, const fs::path& project) {
    if (project.empty() || !fs::exists(project) || !fs::exists("/usr/bin/time")) {
        state.SkipWithError("project or GNU time not available (make demo writes out/demo/project.gdp)");
        return;
    }
    const fs::path out = fs::temp_directory_path() / ("geodraft_bench_export_" + std::to_string(getpid()));
    double cpuMs = 0.0, peakMB = 0.0;
    for (auto _ : state) {
        fs::remove_all(out);
        const benchsupport::TimedRun run =
            benchsupport::runTimed({geodraftPath(), "export", project.string(), "--out", out.string()});
        if (!run.ok) {
            state.SkipWithError("geodraft export failed");
            return;
        }
        state.SetIterationTime(run.wallMs / 1000.0);
        cpuMs += run.cpuMs;
        peakMB = std::max(peakMB, run.peakMB);
    }
    const double projectMB = static_cast<double>(fs::file_size(project)) / 1e6;
    state.counters["cpu_ms"] = cpuMs / static_cast<double>(state.iterations());
    state.counters["project_MB"] = projectMB;
    state.counters["peak_MB"] = peakMB;
    state.counters["peak_per_project"] = peakMB / projectMB;  // the target: at most 2
    for (const char* name : {"model.dxf", "model.glb", "model.ifc"})
        state.counters[std::string(name).substr(6) + "_MB"] = static_cast<double>(fs::file_size(out / name)) / 1e6;
    fs::remove_all(out);
}

void BM_ExportDemoProject(benchmark::State& state) {
    const char* env = std::getenv("GEODRAFT_DEMO_PROJECT");
    exportBench(state, env ? fs::path(env) : fs::path("out/demo/project.gdp"));
}
BENCHMARK(BM_ExportDemoProject)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ExportDemoLikeProject(benchmark::State& state) {
    exportBench(state, demoLikeProject(fs::temp_directory_path() / "geodraft_bench_export_project"));
}
BENCHMARK(BM_ExportDemoLikeProject)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// Project file and undo costs for the largest terrain a placement makes (4 x 4 patches of
// 201 x 201 level points, about 650,000 points).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "model/ModelHost.h"
#include "support/ResidentMemory.h"

namespace {

void addTerrain(model::ModelHost& h) {
    for (int patch = 0; patch < 16; ++patch) {
        host::MeshElement mesh;
        h.defaultMesh(mesh);
        const double x0 = (patch % 4) * 200.0;
        const double y0 = (patch / 4) * 200.0;
        mesh.outline = {{x0, y0, 0}, {x0 + 200, y0, 0}, {x0 + 200, y0 + 200, 0}, {x0, y0 + 200, 0}, {x0, y0, 0}};
        for (int i = 0; i <= 200; ++i)
            for (int j = 0; j <= 200; ++j)
                mesh.levelLines.push_back({{x0 + i + 0.123, y0 + j + 0.456, 101.25 + 0.001 * (i * j % 997)}});
        host::ElementId id;
        h.createMesh(mesh, id);
    }
}

void BM_SaveTerrainProjectText(benchmark::State& state) {
    model::ModelHost h;
    addTerrain(h);
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string text = h.projectText();
        bytes = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_SaveTerrainProjectText)->Unit(benchmark::kMillisecond);

void BM_LoadTerrainProjectText(benchmark::State& state) {
    model::ModelHost h;
    addTerrain(h);
    const std::string text = h.projectText();
    for (auto _ : state) {
        model::ModelState loaded;
        const model::ProjectFileStatus st = model::projectFromText(text, loaded);
        benchmark::DoNotOptimize(st.ok);
    }
}
BENCHMARK(BM_LoadTerrainProjectText)->Unit(benchmark::kMillisecond);

// The snapshot an undoable command takes of a project that already holds the terrain.
void BM_UndoableCommandOnTerrainProject(benchmark::State& state) {
    model::ModelHost h;
    addTerrain(h);
    for (auto _ : state) {
        const host::HostError e = h.undoableCommand("Import GIS", [] { return host::kHostGeneralError; });
        benchmark::DoNotOptimize(e);
    }
}
BENCHMARK(BM_UndoableCommandOnTerrainProject)->Unit(benchmark::kMillisecond);

// Peak resident memory of this process so far, in bytes.
long long peakRss() { return static_cast<long long>(benchsupport::residentMb("VmHWM:") * 1024 * 1024); }

// A session of thirteen terrain placements (each an undoable command adding 4 patches, about 160,000 level
// points), saved, then opened again: peak memory against the project's size on disk.
void BM_SessionOfThirteenTerrainPlacements(benchmark::State& state) {
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "geodraft_bench_host_project.json";
    long long size = 0, sessionPeak = 0, openPeak = 0;
    for (auto _ : state) {
        benchsupport::resetPeak();
        {
            model::ModelHost h;
            for (int placement = 0; placement < 13; ++placement) {
                h.undoableCommand("Import GIS", [&] {
                    for (int patch = 0; patch < 4; ++patch) {
                        host::MeshElement mesh;
                        h.defaultMesh(mesh);
                        const double x0 = placement * 900.0 + patch * 210.0;
                        mesh.outline = {{x0, 0, 0}, {x0 + 200, 0, 0}, {x0 + 200, 200, 0}, {x0, 200, 0}, {x0, 0, 0}};
                        for (int i = 0; i <= 200; ++i)
                            for (int j = 0; j <= 200; ++j)
                                mesh.levelLines.push_back(
                                    {{x0 + i + 0.123, j + 0.456, 101.25 + 0.001 * (i * j % 997)}});
                        host::ElementId id;
                        if (const host::HostError e = h.createMesh(mesh, id)) return e;
                    }
                    return host::kHostOk;
                });
            }
            h.saveProject(file);
        }
        sessionPeak = peakRss();
        size = static_cast<long long>(std::filesystem::file_size(file));
        benchsupport::resetPeak();
        {
            model::ModelHost opened;
            benchmark::DoNotOptimize(opened.loadProject(file).ok);
        }
        openPeak = peakRss();
    }
    std::filesystem::remove(file);
    state.counters["project_MB"] = static_cast<double>(size) / 1e6;
    state.counters["session_peak_rss_MB"] = static_cast<double>(sessionPeak) / 1e6;
    state.counters["open_peak_rss_MB"] = static_cast<double>(openPeak) / 1e6;
}
BENCHMARK(BM_SessionOfThirteenTerrainPlacements)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();

// Project file and undo costs for the largest terrain a placement makes (4 x 4 patches of
// 201 x 201 level points, about 650,000 points).
#include <benchmark/benchmark.h>

#include "model/ModelHost.h"

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

}  // namespace

BENCHMARK_MAIN();

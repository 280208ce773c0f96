// LOD2 reconstruction of 500 buildings of known roof shape at 15 points per square metre (5 cm height noise):
// time per building, with the share of buildings given their own type and the mean error as counters.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>

#include "RoofShapes.h"
#include "buildings/CloudRoofs.h"

namespace {

struct Site {
    std::vector<sim::roofs::KnownBuilding> buildings;
    std::vector<std::vector<geodesy::PlanarPoint>> footprints;
    std::vector<formats::CloudPoint> points;
};

const Site& site() {
    static const Site s = [] {
        Site built;
        built.buildings = sim::roofs::knownBuildings(500, 500000, 300000, 200.0);
        for (const auto& b : built.buildings) built.footprints.push_back(b.footprint());
        for (const auto& p : sim::roofs::surveyPoints(built.buildings, {15.0, 0.05, 0.1, 4.0, 1})) {
            formats::CloudPoint q;
            q.x = p.x, q.y = p.y, q.z = p.z, q.classification = p.cls;
            built.points.push_back(q);
        }
        return built;
    }();
    return s;
}

void BM_Reconstruct500Buildings(benchmark::State& state) {
    const Site& s = site();
    std::vector<buildings::RoofFitResult> results;
    double seconds = 0.0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        results = buildings::reconstructFootprints(s.footprints, s.points);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        benchmark::DoNotOptimize(results.data());
    }
    int right = 0;
    double error = 0.0;
    std::map<std::string, std::map<std::string, int>> confusion;  // known shape -> type given -> buildings
    for (std::size_t i = 0; i < results.size(); ++i) {
        right += results[i].typeName == sim::roofs::shapeName(s.buildings[i].shape);
        error += results[i].meanError;
        ++confusion[sim::roofs::shapeName(s.buildings[i].shape)][results[i].typeName];
    }
    for (const auto& [known, given] : confusion) {
        std::fprintf(stderr, "%-10s ->", known.c_str());
        for (const auto& [type, count] : given) std::fprintf(stderr, " %s=%d", type.c_str(), count);
        std::fprintf(stderr, "\n");
    }
    state.counters["ms_per_building"] =
        1000.0 * seconds / (static_cast<double>(s.buildings.size()) * static_cast<double>(state.iterations()));
    state.counters["right_type_share"] = static_cast<double>(right) / static_cast<double>(results.size());
    state.counters["mean_error_m"] = error / static_cast<double>(results.size());
    state.counters["points"] = static_cast<double>(s.points.size());
}
BENCHMARK(BM_Reconstruct500Buildings)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();

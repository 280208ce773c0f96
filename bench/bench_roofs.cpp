// LOD2 reconstruction over the independent roof generator's buildings (twelve roof kinds, rotated, near-square,
// five-cornered, L- and T-shaped footprints, trees, chimneys, stray returns; 8 points per square metre, 5 cm noise),
// repeated in blocks: time per building, and as counters the share of roofs right (0.5 m RMS against the true
// roof) or marked for correction, the share marked, and the share of the five named kinds given their own type.
#include <benchmark/benchmark.h>

#include <chrono>

#include "RoofGenerator.h"
#include "buildings/CloudRoofs.h"

namespace {

struct Site {
    std::vector<roofgen::Building> buildings;
    std::vector<buildings::Building3D> footprints;
    std::vector<formats::CloudPoint> points;
};

const Site& site() {
    static const Site s = [] {
        Site built;
        for (int block = 0; block < 6; ++block) {
            const auto part =
                roofgen::generateBuildings(500000 + 600.0 * block, 300000, 7 + static_cast<std::uint32_t>(block));
            roofgen::SurveyOptions options;
            options.seed += static_cast<std::uint32_t>(block);
            for (const roofgen::SurveyPoint& p : roofgen::survey(part, options))
                built.points.push_back({p.x, p.y, p.z, 0, 0, 0, p.cls});
            built.buildings.insert(built.buildings.end(), part.begin(), part.end());
        }
        for (const auto& b : built.buildings)
            built.footprints.push_back({"", b.footprint, b.groundZ, b.eaveZ - b.groundZ});
        return built;
    }();
    return s;
}

void BM_ReconstructGeneratedBuildings(benchmark::State& state) {
    const Site& s = site();
    std::vector<buildings::RoofFitResult> results;
    double seconds = 0.0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        results = buildings::reconstructFootprints(s.footprints, s.points);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        benchmark::DoNotOptimize(results.data());
    }
    int rightOrMarked = 0, marked = 0, named = 0, namedRight = 0;
    for (std::size_t i = 0; i < results.size(); ++i) {
        const roofgen::Building& b = s.buildings[i];
        const buildings::RoofFitResult& r = results[i];
        rightOrMarked += r.fallback || roofgen::truthRms(b, r.vertices, r.faces) <= 0.5;
        marked += r.fallback;
        if (!b.expectedType().empty()) {
            ++named;
            namedRight += r.typeName == b.expectedType();
        }
    }
    const double n = static_cast<double>(results.size());
    state.counters["ms_per_building"] = 1000.0 * seconds / (n * static_cast<double>(state.iterations()));
    state.counters["right_or_marked_share"] = rightOrMarked / n;
    state.counters["marked_share"] = marked / n;
    state.counters["named_kinds_right_type_share"] = static_cast<double>(namedRight) / named;
    state.counters["buildings"] = n;
    state.counters["points"] = static_cast<double>(s.points.size());
}
BENCHMARK(BM_ReconstructGeneratedBuildings)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();

// A county package of 20,000 LOD2 buildings (about 200 sheets of 300 m): scan and side index, reading and
// parsing every sheet, and the morphs of all buildings in a model host. Reports the peak resident memory.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <filesystem>
#include <fstream>

#include "BuildingPackages.h"
#include "HostileShapes.h"
#include "buildings/BuildingPackage.h"
#include "buildings/CityGmlSheet.h"
#include "buildings/MorphMaker.h"
#include "buildings/SheetIndex.h"
#include "model/ModelHost.h"

namespace {

constexpr int kBuildings = 20000;

// Buildings on a 141 x 142 grid of 30 m lots in PL-1992, gabled and flat, ground sloping gently.
std::vector<sim::PackageBuilding> countyBuildings() {
    std::vector<sim::PackageBuilding> out;
    for (int k = 0; k < kBuildings; ++k) {
        const int i = k % 141, j = k / 141;
        const double e = 630000.0 + i * 30.0, n = 480000.0 + j * 30.0;
        out.push_back({"PL.PZGiK.994.BDOT10k." + std::to_string(k), e + 5, n + 5, e + 5 + 10 + k % 9, n + 5 + 8 + k % 7,
                       100.0 + 0.01 * i + 0.02 * j, 6.0 + k % 5 * 3.0, k % 4 == 0});
    }
    return out;
}

const std::filesystem::path& packagePath() {
    static const std::filesystem::path path = [] {
        const auto p = std::filesystem::temp_directory_path() / "geodraft_bench_lod2_county.zip";
        std::ofstream(p, std::ios::binary) << sim::packages::packageBytes(countyBuildings(), true, "1465");
        return p;
    }();
    return path;
}

double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_ScanPackage(benchmark::State& state) {
    const auto& zip = packagePath();
    std::size_t sheets = 0;
    for (auto _ : state) {
        std::filesystem::remove(buildings::sheetIndexPath(zip));
        std::string error;
        sheets = buildings::loadOrBuildSheetIndex(zip, error).size();
    }
    state.counters["sheets"] = static_cast<double>(sheets);
    state.counters["peakMB"] = peakMegabytes();
}

void BM_ParseAndBuildMorphs(benchmark::State& state) {
    const auto& zip = packagePath();
    std::string error;
    const auto sheets = buildings::loadOrBuildSheetIndex(zip, error);
    const geodesy::Bbox county{0, 0, 1e7, 1e7};
    std::size_t made = 0, parsed = 0;
    for (auto _ : state) {
        model::ModelHost h;
        host::installHost(&h);
        made = parsed = 0;
        for (const auto& sheet : sheets) {
            std::string text;
            buildings::readSheet(zip, sheet.entry, text);
            const auto found = buildings::parseLod2Sheet(std::move(text), county);
            parsed += found.size();
            for (const auto& b : found) {
                std::vector<buildings::MorphFace> faces;
                for (const auto& s : b.surfaces) {
                    buildings::MorphFace f;
                    for (std::size_t k = 0; k < s.ring.size(); ++k) {
                        f.points.push_back({s.ring[k].x - 630000.0, s.ring[k].y - 480000.0});
                        f.z.push_back(s.z[k] - 100.0);
                    }
                    faces.push_back(std::move(f));
                }
                buildings::TriangulationStats stats;
                made += buildings::makeMorph(faces, 1, false, true, 1, &stats, &b.id) == host::kHostOk ? 1 : 0;
            }
        }
        host::installHost(nullptr);
    }
    state.counters["buildings"] = static_cast<double>(parsed);
    state.counters["morphs"] = static_cast<double>(made);
    state.counters["peakMB"] = peakMegabytes();
}

// One concave face of state.range(0) vertices: a comb of teeth 1 m wide.
void BM_LargeConcaveFace(benchmark::State& state) {
    const int teeth = static_cast<int>(state.range(0)) / 4;
    buildings::MorphFace comb;
    comb.points = sim::combOutline(teeth, 1.0);
    comb.z.assign(comb.points.size(), 0.0);
    model::ModelHost h;
    host::installHost(&h);
    buildings::TriangulationStats stats;
    for (auto _ : state) buildings::makeMorph({comb}, 1, false, true, 1, &stats, nullptr);
    host::installHost(nullptr);
    state.counters["vertices"] = static_cast<double>(comb.points.size());
    state.counters["fans"] = static_cast<double>(stats.counts[buildings::kFanFallback]);
}

}  // namespace

BENCHMARK(BM_LargeConcaveFace)->Arg(2000)->Arg(8000)->Arg(32000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanPackage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseAndBuildMorphs)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();

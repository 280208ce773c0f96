// Duplicate removal and model export on a drawing of a large import: 20,000 parcel rings and
// labels drawn twice, plus closed contour lines of 20,000 vertices.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "cleanup/Cleanup.h"
#include "exporter/ModelExport.h"
#include "model/ModelHost.h"

namespace {

std::vector<host::HostPoint2> contour(int vertices, double radius) {
    std::vector<host::HostPoint2> pts;
    for (int i = 0; i < vertices; ++i) {
        const double a = 2.0 * 3.141592653589793 * i / vertices;
        pts.push_back(
            {6500000.0 + radius * std::cos(a) * (1.0 + 0.05 * std::sin(7 * a)), 5790000.0 + radius * std::sin(a)});
    }
    pts.push_back(pts.front());
    return pts;
}

void drawing(model::ModelHost& h, int parcels) {
    for (int copy = 0; copy < 2; ++copy) {
        for (int i = 0; i < parcels; ++i) {
            const double x = 6500000.0 + (i % 200) * 25.0, y = 5790000.0 + (i / 200) * 30.0;
            host::PolylineElement p;
            h.defaultPolyline(p);
            p.points = {{x, y}, {x + 20, y}, {x + 21, y + 12}, {x + 20, y + 28}, {x + 2, y + 27}, {x, y}};
            host::ElementId id;
            h.createPolyline(p, id);
            host::TextElement t;
            h.defaultText(t);
            t.position = {x + 10, y + 14};
            t.content = std::to_string(i) + "/1";
            h.createText(t, id);
        }
        for (int c = 0; c < 3; ++c) {
            host::PolylineElement p;
            h.defaultPolyline(p);
            p.points = contour(20000, 500.0 + 40.0 * c);
            host::ElementId id;
            h.createPolyline(p, id);
        }
    }
}

void BM_RemoveDuplicates(benchmark::State& state) {
    std::size_t deleted = 0;
    for (auto _ : state) {
        state.PauseTiming();
        model::ModelHost h;
        drawing(h, static_cast<int>(state.range(0)));
        state.ResumeTiming();
        const auto outcome = cleanup::removeDuplicates(h);
        deleted = outcome.polylinesDeleted + outcome.textsDeleted;
    }
    state.counters["deleted"] = static_cast<double>(deleted);
}
BENCHMARK(BM_RemoveDuplicates)->Arg(20000)->Unit(benchmark::kMillisecond);

// A long ring against its own copy started half way round and run the other way.
void BM_MatchLongContour(benchmark::State& state) {
    cleanup::PolylineRecord r;
    r.points = contour(static_cast<int>(state.range(0)), 500.0);
    r.closed = cleanup::isClosedPolyline(r.points);
    cleanup::PolylineRecord turned = r;
    turned.points.assign(r.points.rbegin(), r.points.rend());
    std::rotate(turned.points.begin(), turned.points.begin() + turned.points.size() / 2, turned.points.end() - 1);
    turned.points.back() = turned.points.front();
    for (auto _ : state) benchmark::DoNotOptimize(cleanup::samePolyline(r, turned));
}
BENCHMARK(BM_MatchLongContour)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_ExportModel(benchmark::State& state) {
    model::ModelHost h;
    drawing(h, static_cast<int>(state.range(0)));
    const auto dir = std::filesystem::temp_directory_path() / "geodraft_bench_export";
    for (auto _ : state) {
        exporter::ModelSnapshot snapshot;
        exporter::snapshotModel(h, snapshot);
        benchmark::DoNotOptimize(exporter::exportModel(snapshot, dir).ok);
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_ExportModel)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

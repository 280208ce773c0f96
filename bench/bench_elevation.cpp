// Terrain ("teren") and contours ("poziomice2d") for a 1 km square frame at step 1, the sheets coming from the
// download cache (a warm-up run fills it from the simulator); then the same fetch followed by placement.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include "ElevationScenario.h"
#include "SimServer.h"
#include "geodesy/Crs.h"
#include "import/FetchContext.h"
#include "import/FetchGroups.h"
#include "import/ImportController.h"
#include "import/Placement.h"
#include "model/ModelHost.h"
#include "net/ServiceEndpoints.h"
#include "platform/Workers.h"
#include "settings/Settings.h"

using platform::settleWorkers;

namespace {

using namespace sim::elevation;

const std::vector<std::string> kKeys = {"teren", "poziomice2d"};

// A private cache and settings folder, and the simulator every request goes to.
struct BenchWorld {
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "geodraft-bench-elevation";
    sim::SimServer sim;
    net::WfsClient client;
    net::MunicipalityCache municipalities;
    bool ok = false;

    BenchWorld() {
        std::filesystem::remove_all(dir);
        setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
        setenv("XDG_STATE_HOME", (dir / "state").c_str(), 1);
        setenv("GEODRAFT_PACING_MS", "0", 1);
        sim::buildElevationScenario(sim.scenario());
        ok = sim.start();
        if (ok) setenv(net::kServicesRoutingVariable, sim.baseUrl().c_str(), 1);
        client.options.hostIntervalMs = 0;
        client.options.cacheDir = dir / "cache";
    }
    ~BenchWorld() {
        unsetenv(net::kServicesRoutingVariable);
        sim.stop();
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }

    importer::FetchedData fetch(const geodesy::Bbox& frame) {
        importer::FetchedData result;
        importer::FetchContext ctx(client, municipalities, result);
        ctx.frame = frame;
        ctx.keys = kKeys;
        ctx.terrainStep = 1;
        ctx.poziomiceCiecie = 1.0;
        importer::runFetchGroups(ctx);
        return result;
    }
};

void BM_TerrainAndContoursFromCache(benchmark::State& state) {
    BenchWorld world;
    if (!world.ok) {
        state.SkipWithError("the simulator could not start");
        return;
    }
    const geodesy::Bbox frame = frameAround(kHills, 1000, 1000);
    world.fetch(frame);  // fills the cache
    std::size_t points = 0, contours = 0;
    for (auto _ : state) {
        importer::FetchedData data = world.fetch(frame);
        points = 0;
        for (const auto& patch : data.terrain) points += patch.points.size();
        contours = data.contours.size();
        benchmark::DoNotOptimize(data);
    }
    state.counters["terrain_points"] = static_cast<double>(points);
    state.counters["contours"] = static_cast<double>(contours);
}
BENCHMARK(BM_TerrainAndContoursFromCache)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_TerrainAndContoursFetchedAndPlaced(benchmark::State& state) {
    BenchWorld world;
    if (!world.ok) {
        state.SkipWithError("the simulator could not start");
        return;
    }
    const geodesy::Bbox frame = frameAround(kHills, 1000, 1000);
    world.fetch(frame);
    const geodesy::LatLon centre = geodesy::pl1992ToWgs84(kHills.e, kHills.n);
    std::size_t elements = 0;
    for (auto _ : state) {
        state.PauseTiming();
        model::ModelHost model;
        host::installHost(&model);
        importer::ImportController controller(settings::defaultSettings());
        controller.onSetOrigin(nlohmann::json{{"lat", centre.lat}, {"lon", centre.lon}});
        settleWorkers(std::chrono::seconds(30));
        state.ResumeTiming();

        controller.onFetchDone(frame, kKeys, world.fetch(frame));
        const nlohmann::json reply = importer::runPlacement(controller.placementRequest());
        elements = model.state().elements.size();
        if (reply.value("type", "") != "placeDone") state.SkipWithError(reply.dump().c_str());

        state.PauseTiming();
        host::installHost(nullptr);
        state.ResumeTiming();
    }
    state.counters["elements"] = static_cast<double>(elements);
}
BENCHMARK(BM_TerrainAndContoursFetchedAndPlaced)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();

// Every fault of the simulator on every service a 2D fetch uses: the result is whole or says what is missing,
// and a later fetch without the fault brings the whole layer (nothing unusable was cached).
#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>

#include "FetchFixture.h"
#include "StructuresScenario.h"
#include "net/ServiceEndpoints.h"
#include "net/ServiceRegistry.h"

namespace importer {

using namespace sim::poland;

class FaultMatrix : public FetchSim {};

TEST_F(FaultMatrix, EveryLayerIsWholeOrSaysWhatIsMissingAndRecovers) {
    struct Layer {
        const char* key;
        const Place* place;
        std::string serviceUrl;
        std::size_t whole;  // features, or pictures for "rastr"
        // Small frames where a picture is drawn (the pipes' fallback, the orthophoto): bigger ones only cost time.
        double width = 300, height = 300;
    };
    const std::vector<Layer> layers = {
        {"dzialki", &kWarszawa, net::findCountyEgibWfs(kWarszawa.teryt7), kBlockParcels},
        {"budynki", &kWroclaw, net::serviceEndpoints().bdot10kNewBuildingsWfs(), kNewBuildingsPerPlace},
        {"gesut", &kZamosc, net::findCountyGesut(kZamosc.teryt7).wfsUrl, kPipeLayers * kPipesPerLayer, 60, 200},
        {"rastr", &kWarszawa, net::serviceEndpoints().orthophotoWms(), 1, 100, 100},
    };
    const auto fetchLayer = [&](const Layer& layer) {
        return fetch({layer.key}, frameAt(*layer.place, layer.width, layer.height), layer.place->zoneEpsg);
    };
    const auto count = [](const Layer& layer, const FetchedData& d) {
        return std::string(layer.key) == "rastr" ? d.rasters.size() : d.features.size();
    };
    struct FaultCase {
        const char* name;
        sim::Fault fault;
    };
    const std::vector<FaultCase> faults = {
        {"statuses", {.statuses = std::vector<int>(40, 503)}},
        {"cut connection", {.truncateAfter = 200}},
        {"cut body", {.cutBodyAt = 300}},
        {"empty 200", {.emptyOk = true}},
        {"html 200", {.htmlOk = true}},
        {"exception", {.exceptionDocument = true}},
        // A stall outlasts the deadline; a trickle brings each piece within the receive timeout, but not the
        // whole body within the deadline.
        {"stall", {.delayMs = 900}},
        {"trickle", {.trickleMs = 300}},
    };
    for (const Layer& layer : layers) {
        client.options.cacheDir = temp.path / layer.key;
        const FetchedData baseline = fetchLayer(layer);
        ASSERT_EQ(count(layer, baseline), layer.whole) << layer.key << ": " << baseline.warning;
        for (const FaultCase& fault : faults) {
            SCOPED_TRACE(std::string(layer.key) + " / " + fault.name);
            client.options.cacheDir = temp.path / (std::string(layer.key) + "-" + fault.name);
            municipalities = net::MunicipalityCache{};
            sim.faults().clear();
            sim.faults().add(faultOn(layer.serviceUrl, fault.fault));
            client.options.defaultReceiveTimeoutMs = 300;
            client.options.requestDeadlineMs = 700;
            const FetchedData faulty = fetchLayer(layer);
            client.options.defaultReceiveTimeoutMs = 5000;
            client.options.requestDeadlineMs = 0;
            if (count(layer, faulty) != layer.whole) {
                EXPECT_NE(faulty.warning, "");
                EXPECT_NE(faulty.warning, "Brak dzialek dla tego obszaru.") << "a failure is not an absence";
            }
            sim.faults().clear();
            const FetchedData later = fetchLayer(layer);
            EXPECT_EQ(count(layer, later), layer.whole) << later.warning;
            EXPECT_EQ(later.warning, baseline.warning);
        }
    }
}

}  // namespace importer

namespace importer {

namespace {

// A real Overpass answer served in place of the simulator's own while set (the server runs on its own thread).
std::mutex replayMutex;
std::string replayBody;

void structuresWithReplay(sim::Scenario& scenario) {
    sim::buildStructuresScenario(scenario);
    const std::string url = net::serviceEndpoints().overpassInterpreter();
    scenario.addHandler(sim::poland::hostOf(url), sim::poland::pathOf(url),
                        [](const sim::SimRequest&, sim::SimResponse& response) {
                            const std::lock_guard<std::mutex> lock(replayMutex);
                            if (replayBody.empty()) return false;
                            response.body = replayBody;
                            return true;
                        });
}

class OverpassFaults : public SimulatorFixture {
protected:
    OverpassFaults()
        : SimulatorFixture({.hostIntervalMs = 0, .retryDelayMs = 10, .defaultReceiveTimeoutMs = 20000},
                           structuresWithReplay) {}

    FetchedData bridgesAndRoads() {
        FetchedData data;
        net::MunicipalityCache municipalities;
        FetchContext ctx(client, municipalities, data);
        ctx.frame = sim::structures::siteFrame();
        ctx.keys = {"mosty", "drogi"};
        ctx.progressFor = [](const std::string&) { return [](std::int64_t, std::int64_t) { return true; }; };
        fetchBridgesRoadsGroup(ctx);
        return data;
    }
};

}  // namespace

TEST_F(OverpassFaults, EveryFailureIsToldAsOneAndALaterFetchIsWhole) {
    const std::string url = net::serviceEndpoints().overpassInterpreter();
    const auto faultOn = [&url](sim::Fault f) {
        f.host = sim::poland::hostOf(url);
        f.path = sim::poland::pathOf(url);
        return f;
    };
    const std::string notRead = " - mosty i drogi nie wczytane.";
    struct Case {
        const char* name;
        sim::Fault fault;
        const char* replay;  // a real answer served with status 200, or none
        std::string note;    // the start of the warning
    };
    const std::vector<Case> cases = {
        {"statuses",
         {.statuses = std::vector<int>(4, 504)},
         nullptr,
         "OSM (Overpass): usluga nie odpowiada (status 504)."},
        {"html 200", {.htmlOk = true}, nullptr, "OSM (Overpass): usluga zwrocila strone HTML zamiast danych" + notRead},
        {"cut body", {.cutBodyAt = 300}, nullptr, "OSM (Overpass): odpowiedz uszkodzona lub niepelna (bledny JSON)"},
        {"cut connection", {.truncateAfter = 200}, nullptr, "OSM (Overpass): "},
        {"remark",
         {},
         "overpass_aio_remark_timed_out.json",
         "OSM (Overpass): usluga przerwala zapytanie (runtime error"},
        {"rate limit page", {}, "overpass_aio_rate_limited.html", "OSM (Overpass): przekroczony limit zapytan"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.replay != nullptr) {
            const std::string path = std::string("json/") + c.replay;
            if (!std::filesystem::exists(testsupport::realdata(path))) continue;
            const std::lock_guard<std::mutex> lock(replayMutex);
            replayBody = testsupport::readFile(testsupport::realdata(path));
        } else {
            sim.faults().add(faultOn(c.fault));
        }
        client.options.defaultReceiveTimeoutMs = 300;
        client.options.requestDeadlineMs = 700;
        const FetchedData faulty = bridgesAndRoads();
        client.options.defaultReceiveTimeoutMs = 20000;
        client.options.requestDeadlineMs = 0;
        EXPECT_TRUE(faulty.bridges.empty() && faulty.roads.empty());
        EXPECT_EQ(faulty.warning.rfind(c.note, 0), 0u) << faulty.warning;
        sim.faults().clear();
        {
            const std::lock_guard<std::mutex> lock(replayMutex);
            replayBody.clear();
        }
        const FetchedData later = bridgesAndRoads();
        EXPECT_EQ(later.bridges.size(), 2u) << later.warning;
        EXPECT_EQ(later.roads.size(), 2u);
        EXPECT_EQ(later.warning, "Mosty (OSM): 2 w kadrze. Drogi (OSM): 2 w kadrze.");
    }
}

}  // namespace importer

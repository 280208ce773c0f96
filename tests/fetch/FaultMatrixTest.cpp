// Every fault of the simulator on every service a 2D fetch uses: the result is whole or says what is missing,
// and a later fetch without the fault brings the whole layer (nothing unusable was cached).
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <set>

#include "CloudScenario.h"
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
    const auto propsOf = [](const FetchedData& d) {
        std::multiset<std::map<std::string, std::string>> props;
        for (const gml::GisFeature& f : d.features) props.insert(f.props);
        return props;
    };
    const auto count = [](const Layer& layer, const FetchedData& d) {
        return std::string(layer.key) == "rastr" ? d.rasters.size() : d.features.size();
    };
    struct FaultCase {
        const char* name;
        sim::Fault fault;
        bool whole = false;  // the layer must come whole, with no note
        int tileSize = 500;  // the client's WFS tile edge in metres
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
        // Servers that hand over fewer features than asked: their paging, or smaller tiles, brings the rest.
        {"page limit, GeoServer", {.pageLimit = 2, .paging = "geoserver"}, true},
        {"page limit, MapServer", {.pageLimit = 3, .paging = "mapserver"}, true},
        {"page limit, no paging", {.pageLimit = 16, .paging = "none"}, true},
        // Features across the edges of 100 m tiles come with every tile they meet, and count once.
        {"tile edges", {}, true, 100},
        // XML answers in the encodings Central European servers declare.
        {"declared windows-1250", {.encoding = "windows-1250"}, true},
        {"charset ISO-8859-2", {.encoding = "ISO-8859-2", .charsetInHeader = true}, true},
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
            // Short waits make the stalls fail quickly; servers that answer whole get the usual ones.
            client.options.defaultReceiveTimeoutMs = fault.whole ? 5000 : 300;
            client.options.requestDeadlineMs = fault.whole ? 0 : 700;
            client.options.tileSizeMetres = fault.tileSize;
            client.resultPagingByService.clear();
            const FetchedData faulty = fetchLayer(layer);
            client.options.defaultReceiveTimeoutMs = 5000;
            client.options.requestDeadlineMs = 0;
            client.options.tileSizeMetres = 500;
            client.resultPagingByService.clear();
            if (fault.whole) {
                EXPECT_EQ(count(layer, faulty), layer.whole) << faulty.warning;
                // Notes that count tiles count other tiles on another grid.
                if (fault.tileSize == 500) {
                    EXPECT_EQ(faulty.warning, baseline.warning);
                }
                EXPECT_EQ(propsOf(faulty), propsOf(baseline)) << "every text as the service holds it";
            } else if (count(layer, faulty) != layer.whole) {
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

// The same for the layers built from LiDAR sheets: one sheet of four answers 404, comes cut off or holds a damaged
// chunk. The layer names the sheet with its counts (never "chmura pusta"), takes no land of the lost sheet for water,
// and a later fetch without the fault is whole again (nothing damaged stays in the cache).
class LidarFaultMatrix : public SimulatorFixture {
protected:
    LidarFaultMatrix()
        : SimulatorFixture({.hostIntervalMs = 0, .retryDelayMs = 10, .defaultReceiveTimeoutMs = 10000},
                           sim::buildCloudScenario) {}

    FetchedData fetch(const std::vector<std::string>& keys) {
        FetchedData data;
        net::MunicipalityCache municipalities;
        FetchContext ctx(client, municipalities, data);
        ctx.frame = sim::cloud::kRadomBlock;
        ctx.keys = keys;
        if (keys.front() == "dachychmura") {
            // The block of buildings at the centre as the county's footprint.
            const double cx = ctx.frame.minE + 100, cy = ctx.frame.minN + 100;
            data.buildings3d.push_back(
                {"b1", {{cx + 10, cy + 10}, {cx + 40, cy + 10}, {cx + 40, cy + 30}, {cx + 10, cy + 30}}, 152.0, 10.0});
            fetchCloudRoofsGroup(ctx);
        } else {
            fetchCloudTerrainGroup(ctx);
        }
        return data;
    }
};

TEST_F(LidarFaultMatrix, EveryLidarLayerIsWholeOrNamesTheLostSheetAndRecovers) {
    const std::vector<std::vector<std::string>> layers = {{"terenchmura", "wodachmura"}, {"dachychmura"}};
    for (const auto& keys : layers) {
        client.options.cacheDir = temp.path / keys.front();
        const FetchedData baseline = fetch(keys);
        for (const sim::cloud::SheetFault& f : sim::cloud::sheetFaults(sim::cloud::lidarSheets()[1])) {
            SCOPED_TRACE(keys.front() + " / " + f.name);
            client.options.cacheDir = temp.path / (keys.front() + "-" + f.name);
            sim.faults().clear();
            sim.faults().add(f.fault);
            const FetchedData faulty = fetch(keys);
            // The roofs leave out the sheet in a PL-2000 zone, with a note: their count is of three sheets.
            const char* says = std::string(f.name) == "404" ? "pominieto 1 z " : "odczytano czesciowo 1 z ";
            EXPECT_NE(faulty.warning.find(says), std::string::npos) << faulty.warning;
            EXPECT_NE(faulty.warning.find(" kafli LiDAR (7.124.12.21.2: "), std::string::npos) << faulty.warning;
            EXPECT_EQ(faulty.warning.find("chmura pusta"), std::string::npos) << faulty.warning;
            // The pond lies in another sheet: the lost one adds no water (the old rule drowned its silent cells).
            const std::size_t water = baseline.warning.find("Woda z chmury: ");
            if (water != std::string::npos) {
                EXPECT_NE(faulty.warning.find(baseline.warning.substr(water)), std::string::npos) << faulty.warning;
            }
            sim.faults().clear();
            const FetchedData later = fetch(keys);
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

// Every fault of the simulator on every service a 2D fetch uses: the result is whole or says what is missing,
// and a later fetch without the fault brings the whole layer (nothing unusable was cached).
#include <gtest/gtest.h>

#include "FetchFixture.h"
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

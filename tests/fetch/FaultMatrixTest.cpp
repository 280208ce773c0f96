// Every fault of the simulator on every service a 2D fetch uses: the result is whole or says what is missing,
// and a later fetch without the fault brings the whole layer (nothing unusable was cached).
#include <gtest/gtest.h>

#include <functional>

#include "FetchFixture.h"
#include "net/ServiceEndpoints.h"
#include "net/ServiceRegistry.h"

namespace importer {

using namespace sim::poland;

namespace {

struct Layer {
    const char* key;
    const Place* place;
    std::string serviceUrl;
    std::function<std::size_t(const FetchedData&)> count;
    std::size_t whole;
};

struct FaultCase {
    const char* name;
    sim::Fault fault;
};

std::size_t featuresOf(const FetchedData& data, formats::DataType type) {
    std::size_t n = 0;
    for (const gml::GisFeature& f : data.features) n += f.type == type ? 1 : 0;
    return n;
}

}  // namespace

class FaultMatrix : public FetchSim {};

TEST_F(FaultMatrix, EveryLayerIsWholeOrSaysWhatIsMissingAndRecovers) {
    const std::vector<Layer> layers = {
        {"dzialki", &kWarszawa, net::findCountyEgibWfs(kWarszawa.teryt7),
         [](const FetchedData& d) { return featuresOf(d, formats::DataType::dzialki); }, kBlockParcels},
        {"budynki", &kWroclaw, net::serviceEndpoints().bdot10kNewBuildingsWfs(),
         [](const FetchedData& d) { return featuresOf(d, formats::DataType::budynki); }, kNewBuildingsPerPlace},
        {"gesut", &kZamosc, net::findCountyGesut(kZamosc.teryt7).wfsUrl,
         [](const FetchedData& d) { return featuresOf(d, formats::DataType::gesut); }, kPipeLayers * kPipesPerLayer},
        {"rastr", &kWarszawa, net::serviceEndpoints().orthophotoWms(),
         [](const FetchedData& d) { return d.rasters.size(); }, 1},
    };
    const std::vector<FaultCase> faults = {
        {"statuses", {.statuses = std::vector<int>(40, 503)}},
        {"cut connection", {.truncateAfter = 200}},
        {"cut body", {.cutBodyAt = 300}},
        {"empty 200", {.emptyOk = true}},
        {"html 200", {.htmlOk = true}},
        {"exception", {.exceptionDocument = true}},
        {"stall", {.delayMs = 900}},
        {"trickle", {.trickleMs = 300}},
    };
    for (const Layer& layer : layers) {
        client.options.cacheDir = temp.path / layer.key;
        const FetchedData baseline = fetchAt(*layer.place, {layer.key});
        ASSERT_EQ(layer.count(baseline), layer.whole) << layer.key << ": " << baseline.warning;
        for (const FaultCase& fault : faults) {
            SCOPED_TRACE(std::string(layer.key) + " / " + fault.name);
            client.options.cacheDir = temp.path / (std::string(layer.key) + "-" + fault.name);
            municipalities = net::MunicipalityCache{};
            sim.faults().clear();
            sim.faults().add(faultOn(layer.serviceUrl, fault.fault));
            client.options.defaultReceiveTimeoutMs = 300;
            client.options.requestDeadlineMs = 700;
            const FetchedData faulty = fetchAt(*layer.place, {layer.key});
            client.options.defaultReceiveTimeoutMs = 5000;
            client.options.requestDeadlineMs = 0;
            if (layer.count(faulty) != layer.whole) {
                EXPECT_NE(faulty.warning, "");
                EXPECT_NE(faulty.warning, "Brak dzialek dla tego obszaru.") << "a failure is not an absence";
            }
            sim.faults().clear();
            const FetchedData later = fetchAt(*layer.place, {layer.key});
            EXPECT_EQ(layer.count(later), layer.whole) << later.warning;
            EXPECT_EQ(later.warning, baseline.warning);
        }
    }
}

TEST_F(FaultMatrix, TilesLostAfterTheirRetriesAreCountedInTheWarning) {
    const std::string egib = net::findCountyEgibWfs(kWarszawa.teryt7);
    // The capabilities answer, then the first tile and its retry fail; the other five tiles come.
    sim.faults().add(faultOn(egib, {.statuses = {200, 503, 503}}));
    const FetchedData data = fetch({"dzialki"}, frameAt(kWarszawa, 1200, 800), kWarszawa.zoneEpsg);
    EXPECT_GT(featuresOf(data, formats::DataType::dzialki), 0u);
    EXPECT_EQ(data.warning, "Dzialki: nie pobrano 1 z 6 platek WFS - dane niepelne.");
}

TEST_F(FaultMatrix, AFailedCountyServiceIsToldAfterTheNoDataText) {
    const std::string egib = net::findCountyEgibWfs(kWarszawa.teryt7);
    sim.faults().add(faultOn(egib, {.statuses = {200}}));
    sim.faults().add(faultOn(egib, {.htmlOk = true}));
    const FetchedData data = fetchAt(kWarszawa, {"dzialki"});
    EXPECT_EQ(data.warning,
              "Brak dzialek dla tego obszaru. Dzialki: usluga WFS nie odpowiada (1 z 1 platek WFS bez danych).");
}

}  // namespace importer

// The demo's frame of 889 x 728 m, whose 500 m tiles cut through parcels and buildings, imported through the
// session program: every feature the county service holds comes once in the counts, the preview and the model.
#include <gtest/gtest.h>

#include "PolandScenario.h"
#include "Scenarios.h"
#include "Town.h"
#include "WfsService.h"
#include "geodesy/Crs.h"
#include "import/FetchFrame.h"
#include "net/ServiceRegistry.h"
#include "support/GeodraftRun.h"
#include "support/SimulatorFixture.h"

namespace {

class DemoFrame : public SimulatorFixture {
protected:
    DemoFrame() : SimulatorFixture({.hostIntervalMs = 0, .retryDelayMs = 10}, sim::buildDemoScenario) {}
};

TEST_F(DemoFrame, EveryFeatureTheServiceHoldsComesOnceIntoCountsPreviewAndModel) {
    const sim::town::Town& town = sim::town::demoTown();
    const geodesy::PlanarPoint c = town.centre;
    const geodesy::LatLon sw = geodesy::pl1992ToWgs84(c.x - 444.5, c.y - 364);
    const geodesy::LatLon ne = geodesy::pl1992ToWgs84(c.x + 444.5, c.y + 364);
    const geodesy::LatLon centre = geodesy::pl1992ToWgs84(c);
    const geodesy::Bbox frame = importer::pl1992FrameFromWgs84(sw.lon, sw.lat, ne.lon, ne.lat);
    // What the county service holds in the frame, from its own store.
    const std::string county = net::findCountyEgibWfs(town.teryt7);
    const auto service = sim.scenario().wfsAt(sim::poland::hostOf(county), sim::poland::pathOf(county));
    ASSERT_NE(service, nullptr) << county;
    const int parcels = static_cast<int>(service->store().query(sim::town::kParcelType, &frame).size());
    const int buildings = static_cast<int>(service->store().query(sim::town::kBuildingType, &frame).size());

    const std::string project = (temp / "project.gdp").string();
    const nlohmann::json origin{{"type", "setOrigin"}, {"lat", centre.lat}, {"lon", centre.lon}};
    const nlohmann::json fetch{
        {"type", "fetch"}, {"bboxWgs84", {sw.lon, sw.lat, ne.lon, ne.lat}}, {"layers", {"dzialki", "budynki"}}};
    const testsupport::GeodraftRun r =
        testsupport::runGeodraft(temp.path, "session --project '" + project + "'",
                                 {origin.dump(), "#wait", fetch.dump(), "#wait", R"({"type":"place"})"}, 0);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const nlohmann::json fetched = r.last("fetchDone"), placed = r.last("placeDone");
    const nlohmann::json counts{{"dzialki", parcels}, {"budynki", buildings}};
    EXPECT_EQ(fetched["counts"], counts) << fetched.value("warning", "");
    EXPECT_EQ(nlohmann::json::parse(fetched["geojson"].get<std::string>())["features"].size(),
              static_cast<std::size_t>(parcels + buildings));
    EXPECT_EQ(placed["counts"], counts);

    // Nothing in the model is drawn twice: duplicate removal finds nothing to delete.
    const testsupport::GeodraftRun dedupe = testsupport::runGeodraft(temp.path, "dedupe '" + project + "' --yes", {});
    EXPECT_NE(dedupe.out.find("Nie znaleziono zduplikowanych polilinii ani tekstow."), std::string::npos) << dedupe.out;
}

}  // namespace

// Both kinds of land-use plan fetched by the headless palette process (`geodraft session`) with its requests
// routed to the simulated planning services on loopback: the page's "fetchDone" counts and its report lines.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "PlanningScenario.h"
#include "Scenarios.h"
#include "geodesy/Crs.h"
#include "platform/Numbers.h"
#include "support/GeodraftRun.h"
#include "support/SimulatorFixture.h"

class PlanningSession : public SimulatorFixture {
protected:
    PlanningSession() : SimulatorFixture({}, sim::buildPlanningScenario) {}
};

TEST_F(PlanningSession, GeneralPlanZonesAndLocalPlanDrawingReachThePage) {
    const geodesy::PlanarPoint c = sim::planning::municipalityCentre(sim::planning::kGminaWithPlanWms);
    const geodesy::LatLon sw = geodesy::pl1992ToWgs84(c.x - 300, c.y - 300);
    const geodesy::LatLon ne = geodesy::pl1992ToWgs84(c.x + 300, c.y + 300);
    const nlohmann::json fetch{{"type", "fetch"},
                               {"bboxWgs84", {sw.lon, sw.lat, ne.lon, ne.lat}},
                               {"layers", {"pog", "mpzp"}},
                               {"rasterScale", 2500}};
    const testsupport::GeodraftRun r = testsupport::runGeodraft(temp.path, "session", {fetch.dump(), "#wait"}, 0);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const nlohmann::json done = r.last("fetchDone");
    ASSERT_TRUE(done.is_object()) << r.out;
    EXPECT_EQ(done["counts"]["pog"], 4);
    EXPECT_GE(done["counts"]["mpzp (rastr)"].get<int>(), 1);
    EXPECT_EQ(done["warning"], "MPZP: pobrano rysunek planu (rastr) z uslugi gminnej dla 321602.");
    ASSERT_TRUE(done["geojson"].is_string());
    const nlohmann::json preview = nlohmann::json::parse(done["geojson"].get<std::string>());
    EXPECT_EQ(preview["features"].size(), 4u);

    // The user's report window names the raster fetch and the note.
    EXPECT_NE(r.err.find("TERRAVOX: rastr mpzp: kadr"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("TERRAVOX: MPZP: pobrano rysunek planu"), std::string::npos) << r.err;
}

// Both kinds of land-use plan fetched by the headless palette process (`geodraft session`) with its requests
// routed to the simulated planning services on loopback: the page's "fetchDone" counts and its report lines.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cstdlib>
#include <sstream>

#include <nlohmann/json.hpp>

#include "PlanningScenario.h"
#include "Scenarios.h"
#include "geodesy/Crs.h"
#include "platform/Numbers.h"
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
    testsupport::writeFile(temp / "input.txt", fetch.dump() + "\n#wait\n");
    const std::string command = "env GEODRAFT_SERVICES='" + sim.baseUrl() + "' GEODRAFT_PACING_MS=0 XDG_CONFIG_HOME='" +
                                (temp / "config").string() + "' XDG_STATE_HOME='" + (temp / "state").string() +
                                "' XDG_CACHE_HOME='" + (temp / "cache").string() + "' '" +
                                (testsupport::binaryDir() / "app/geodraft").string() + "' session < '" +
                                (temp / "input.txt").string() + "' > '" + (temp / "out.txt").string() + "' 2> '" +
                                (temp / "err.txt").string() + "'";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << status;
    ASSERT_EQ(WEXITSTATUS(status), 0) << testsupport::readFile(temp / "err.txt");

    nlohmann::json done;
    std::istringstream lines(testsupport::readFile(temp / "out.txt"));
    for (std::string line; std::getline(lines, line);) {
        const nlohmann::json m = nlohmann::json::parse(line);
        if (m.value("type", "") == "fetchDone") done = m;
    }
    ASSERT_TRUE(done.is_object()) << testsupport::readFile(temp / "out.txt");
    EXPECT_EQ(done["counts"]["pog"], 4);
    EXPECT_GE(done["counts"]["mpzp (rastr)"].get<int>(), 1);
    EXPECT_EQ(done["warning"], "MPZP: pobrano rysunek planu (rastr) z uslugi gminnej dla 321602.");
    ASSERT_TRUE(done["geojson"].is_string());
    const nlohmann::json preview = nlohmann::json::parse(done["geojson"].get<std::string>());
    EXPECT_EQ(preview["features"].size(), 4u);

    // The user's report window names the raster fetch and the note.
    const std::string err = testsupport::readFile(temp / "err.txt");
    EXPECT_NE(err.find("TERRAVOX: rastr mpzp: kadr"), std::string::npos) << err;
    EXPECT_NE(err.find("TERRAVOX: MPZP: pobrano rysunek planu"), std::string::npos) << err;
}

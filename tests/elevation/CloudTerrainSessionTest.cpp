// The import palette's LiDAR layers end to end through `geodraft session`: fetch over the simulator, then place.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <sstream>

#include <nlohmann/json.hpp>

#include "CloudScenario.h"
#include "geodesy/Crs.h"
#include "support/SimulatorFixture.h"

namespace {

class CloudTerrainSession : public SimulatorFixture {
protected:
    CloudTerrainSession() : SimulatorFixture({}, sim::buildCloudScenario) {}

    std::vector<nlohmann::json> run(const std::vector<nlohmann::json>& messages) {
        std::string text;
        for (const auto& m : messages) text += m.dump() + "\n#wait\n";
        testsupport::writeFile(temp / "in.txt", text);
        const std::string command = "env XDG_CONFIG_HOME='" + (temp.path / "config").string() + "' XDG_STATE_HOME='" +
                                    (temp.path / "state").string() + "' XDG_CACHE_HOME='" +
                                    (temp.path / "cache").string() + "' GEODRAFT_PACING_MS=0 '" +
                                    (testsupport::binaryDir() / "app/geodraft").string() + "' session --project '" +
                                    (temp / "p.gdp").string() + "' <'" + (temp / "in.txt").string() + "' >'" +
                                    (temp / "out.txt").string() + "' 2>'" + (temp / "err.txt").string() + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << testsupport::readFile(temp / "err.txt");
        std::vector<nlohmann::json> out;
        std::istringstream lines(testsupport::readFile(temp / "out.txt"));
        for (std::string line; std::getline(lines, line);) out.push_back(nlohmann::json::parse(line));
        return out;
    }
};

}  // namespace

TEST_F(CloudTerrainSession, GroundWaterAndContoursArePlacedOnTheirLayers) {
    const geodesy::LatLon sw = geodesy::pl1992ToWgs84(649440.0, 394740.0),
                          ne = geodesy::pl1992ToWgs84(649560.0, 394860.0);
    const geodesy::LatLon centre = geodesy::pl1992ToWgs84(649500.0, 394800.0);
    const auto out = run({{{"type", "setOrigin"}, {"lat", centre.lat}, {"lon", centre.lon}},
                          {{"type", "fetch"},
                           {"bboxWgs84", {sw.lon, sw.lat, ne.lon, ne.lat}},
                           {"layers", {"terenchmura", "wodachmura", "poziomicechmura"}},
                           {"poziomiceCiecie", 1.0}},
                          {{"type", "place"}}});
    nlohmann::json fetched, placed;
    for (const auto& m : out) {
        if (m["type"] == "fetchDone") fetched = m;
        if (m["type"] == "placeDone" || m["type"] == "error") placed = m;
    }
    ASSERT_TRUE(fetched.is_object());
    EXPECT_EQ(fetched["counts"]["teren z chmury (Siatka)"], 1) << fetched.dump();
    EXPECT_EQ(fetched["counts"]["woda z chmury (Siatka)"], 1);
    ASSERT_EQ(placed["type"], "placeDone") << placed.dump();
    EXPECT_EQ(placed["counts"]["teren z chmury (Siatka)"], 1) << placed.dump();
    EXPECT_EQ(placed["counts"]["woda z chmury (Siatka)"], 1);
    EXPECT_EQ(placed["counts"]["poziomicechmura3d"], 1);

    const std::string listing = temp.path.string() + "/model.txt";
    ASSERT_EQ(std::system(("'" + (testsupport::binaryDir() / "app/geodraft").string() + "' model '" +
                           (temp / "p.gdp").string() + "' >'" + listing + "'")
                              .c_str()),
              0);
    const std::string model = testsupport::readFile(listing);
    for (const char* layer : {"GIS_TEREN_CHMURA", "GIS_WODA_CHMURA", "GIS_POZIOMICE_CHMURA_3D"})
        EXPECT_NE(model.find(layer), std::string::npos) << layer << "\n" << model;
}

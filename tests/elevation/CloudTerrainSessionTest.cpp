// The import palette's LiDAR layers end to end through `geodraft session`: fetch over the simulator, then place.
#include <gtest/gtest.h>

#include "CloudScenario.h"
#include "ElevationSimFixture.h"
#include "geodesy/Crs.h"

namespace {

class CloudTerrainSession : public SimulatorFixture {
protected:
    CloudTerrainSession() : SimulatorFixture({}, sim::buildCloudScenario) {}

    std::vector<nlohmann::json> run(const std::vector<nlohmann::json>& messages) {
        std::vector<std::string> input;
        for (const auto& m : messages) input.insert(input.end(), {m.dump(), "#wait"});
        const SessionRun r = runSession(temp.path, input, "--project '" + (temp / "p.gdp").string() + "'", 0);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return r.messages;
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
    nlohmann::json placed;
    for (const auto& m : out)
        if (m["type"] == "placeDone" || m["type"] == "error") placed = m;
    ASSERT_EQ(placed["type"], "placeDone") << placed.dump();
    EXPECT_EQ(placed["counts"]["teren z chmury (Siatka)"], 1) << placed.dump();
    EXPECT_EQ(placed["counts"]["woda z chmury (Siatka)"], 1);
    EXPECT_EQ(placed["counts"]["poziomicechmura3d"], 1);

    const std::string model = modelListing(temp / "p.gdp", temp / "model.txt");
    for (const char* layer : {"GIS_TEREN_CHMURA", "GIS_WODA_CHMURA", "GIS_POZIOMICE_CHMURA_3D"})
        EXPECT_NE(model.find(layer), std::string::npos) << layer << "\n" << model;
}

// Terrain, water and contours from LiDAR against the simulator's sheets: the fetch group as the import runs it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "CloudScenario.h"
#include "ElevationScenario.h"
#include "import/FetchContext.h"
#include "import/FetchGroups.h"
#include "platform/Numbers.h"
#include "support/SimulatorFixture.h"

using importer::FetchedData;
namespace cloud = sim::cloud;

namespace {

class CloudTerrainFetch : public SimulatorFixture {
protected:
    CloudTerrainFetch()
        : SimulatorFixture({.hostIntervalMs = 0, .retryDelayMs = 10, .defaultReceiveTimeoutMs = 10000},
                           sim::buildCloudScenario) {}

    FetchedData fetch(const geodesy::Bbox& frame, const std::vector<std::string>& keys) {
        FetchedData data;
        net::MunicipalityCache municipalities;
        importer::FetchContext ctx(client, municipalities, data);
        ctx.frame = frame;
        ctx.keys = keys;
        ctx.poziomiceCiecie = 0.5;
        importer::fetchCloudTerrainGroup(ctx);
        return data;
    }
};

// The median (element n/2) of the water returns inside the frame.
double waterMedian(const cloud::LidarSheet& sheet, const geodesy::Bbox& frame) {
    std::vector<double> z;
    for (const cloud::LidarPoint& p : cloud::sheetPoints(sheet))
        if (p.cls == cloud::kWater && frame.contains({p.x, p.y})) z.push_back(p.z);
    std::nth_element(z.begin(), z.begin() + static_cast<std::ptrdiff_t>(z.size() / 2), z.end());
    return z[z.size() / 2];
}

}  // namespace

TEST_F(CloudTerrainFetch, GroundWithItsHolesFilledPondAtItsLevelAndContoursOnTheGround) {
    const geodesy::Bbox frame{649420.0, 394720.0, 649580.0, 394880.0};
    const FetchedData d = fetch(frame, {"terenchmura", "wodachmura", "poziomicechmura"});
    const double cx = cloud::kRadomBlock.minE + 100, cy = cloud::kRadomBlock.minN + 100;
    const double level = waterMedian(cloud::lidarSheets()[0], frame);
    const auto pondDistance = [&](double x, double y) {
        return std::hypot(x - cx - cloud::kPondDe, y - cy - cloud::kPondDn) - cloud::kPondRadius;
    };
    const auto underBuilding = [&](double x, double y) {
        return x - cx > 8 && x - cx < 42 && y - cy > 8 && y - cy < 32;
    };

    ASSERT_FALSE(d.terrainCloud.empty()) << d.warning;
    std::size_t nodes = 0, pond = 0, filled = 0;
    for (const auto& patch : d.terrainCloud) {
        for (const auto& p : patch.points) {
            ++nodes;
            if (pondDistance(p.x, p.y) < -1.5) {
                ++pond;
                EXPECT_DOUBLE_EQ(p.z, level);
            } else if (pondDistance(p.x, p.y) > 1.5) {
                if (underBuilding(p.x, p.y)) ++filled;
                EXPECT_NEAR(p.z, cloud::radomGround(p.x, p.y), underBuilding(p.x, p.y) ? 0.3 : 0.1)
                    << p.x << " " << p.y;
            }
        }
    }
    EXPECT_GE(nodes, 161u * 161u);
    EXPECT_GT(pond, 500u);
    EXPECT_GT(filled, 500u);  // the building's footprint has no ground return: every node there was filled

    // One water surface, outlined along the pond's cells: its area is the pond's, not its bounding square's.
    ASSERT_EQ(d.waterCloud.size(), 1u);
    const auto& ring = d.waterCloud[0].outline;
    double area = 0.0;
    for (std::size_t k = 0; k < ring.size(); ++k) {
        EXPECT_LT(pondDistance(ring[k].x, ring[k].y), 1.5);
        area += ring[k].x * ring[(k + 1) % ring.size()].y - ring[(k + 1) % ring.size()].x * ring[k].y;
    }
    EXPECT_NEAR(area / 2, M_PI * cloud::kPondRadius * cloud::kPondRadius, 40.0);

    ASSERT_FALSE(d.contoursCloud.empty());
    for (const auto& line : d.contoursCloud) {
        for (const auto& p : line.points) {
            if (pondDistance(p.x, p.y) > 2.5 && !underBuilding(p.x, p.y)) {
                EXPECT_NEAR(line.z, cloud::radomGround(p.x, p.y), 0.15) << p.x << " " << p.y;
            }
        }
    }

    EXPECT_NE(d.warning.find(" m, komorek 25921, woda(kl.9) komorek "), std::string::npos) << d.warning;
    EXPECT_NE(d.warning.find(" Poziomice z chmury: " + std::to_string(d.contoursCloud.size()) +
                             " warstwic, ciecie 0,50 m Woda z chmury: "),
              std::string::npos)
        << d.warning;
    EXPECT_NE(d.warning.find(" komorek, poziom lustra " + platform::cformat("%.2f", level) + " m n.p.m."),
              std::string::npos);
}

TEST_F(CloudTerrainFetch, OpenSeaWithoutReturnsBecomesWater) {
    const FetchedData d = fetch(cloud::kHelCoast, {"terenchmura", "wodachmura"});
    const double level = waterMedian(cloud::lidarSheets().back(), cloud::kHelCoast);
    EXPECT_NEAR(level, cloud::kSeaLevel, 0.05);
    ASSERT_FALSE(d.terrainCloud.empty()) << d.warning;
    std::size_t sea = 0;
    for (const auto& patch : d.terrainCloud) {
        for (const auto& p : patch.points) {
            // Within 20 cells of the land, a cell without any return keeps the height hole filling gave it.
            if (p.x > cloud::helShoreE() + 21) {
                EXPECT_DOUBLE_EQ(p.z, level);
                if (p.x > cloud::helOpenSeaE() + 1) ++sea;
            } else if (p.x < cloud::helShoreE() - 1) {
                EXPECT_NEAR(p.z, cloud::helGround(p.x, p.y), 0.1);
            }
        }
    }
    EXPECT_GT(sea, 50u * 190u);
    double east = 0.0;
    for (const auto& patch : d.waterCloud) east = std::max(east, patch.maxX);
    EXPECT_DOUBLE_EQ(east, cloud::kHelCoast.maxE);  // the water mesh reaches the frame's edge at sea
    EXPECT_TRUE(d.contoursCloud.empty());
}

// A frame wholly over the strip of water returns: no ground, yet the water surface and its level.
TEST_F(CloudTerrainFetch, FrameWhollyOverWaterGetsItsSurface) {
    const geodesy::Bbox& coast = cloud::kHelCoast;
    const geodesy::Bbox frame{cloud::helShoreE() + 5, coast.minN + 50, cloud::helOpenSeaE() - 5, coast.minN + 100};
    const FetchedData d = fetch(frame, {"wodachmura"});
    ASSERT_EQ(d.waterCloud.size(), 1u) << d.warning;
    EXPECT_NEAR(d.waterCloud[0].points[0].z, cloud::kSeaLevel, 0.05);
    EXPECT_NE(d.warning.find("Teren z chmury: brak punktow gruntu (klasa 2) w kadrze."), std::string::npos);
    EXPECT_NE(d.warning.find("Woda z chmury: 2601 komorek"), std::string::npos) << d.warning;
}

TEST_F(CloudTerrainFetch, FrameWithoutSheetsSaysSo) {
    const FetchedData d = fetch(sim::elevation::frameAround(sim::elevation::kUncovered, 100, 100), {"terenchmura"});
    EXPECT_EQ(d.warning, "Teren z chmury: brak kafli LiDAR dla tego obszaru w skorowidzu.");
}

// The LiDAR height grid: step limit, cell medians, hole filling, water level and open water.
#include <gtest/gtest.h>

#include <cmath>

#include "terrain/CloudTerrainGrid.h"
#include "terrain/CloudTerrainOutputs.h"

using formats::CloudPoint;
using terrain::buildCloudTerrainGrid, terrain::CloudTerrainGrid;

namespace {

CloudPoint at(double x, double y, double z, std::uint8_t cls = 2) { return CloudPoint{x, y, z, 0, 0, 0, cls}; }

double heightAt(const CloudTerrainGrid& g, int i, int j) { return g.heights[g.index(i, j)]; }

}  // namespace

TEST(CloudTerrainGrid, StepIsCoarsenedToEightHundredNodes) {
    std::string warning;
    EXPECT_DOUBLE_EQ(terrain::cloudTerrainStep({0, 0, 1000, 300}, 1.0, warning), 1.25);
    EXPECT_EQ(warning,
              "Teren z chmury: kadr duzy dla kroku 1 m - krata zgrubiona do 1.25 m (limit 800 wezlow/os). Zmniejsz "
              "kadr dla drobniejszej kraty.");
    EXPECT_DOUBLE_EQ(terrain::cloudTerrainStep({0, 0, 400, 300}, 0.5, warning), 0.5);
    EXPECT_TRUE(warning.empty());
    EXPECT_DOUBLE_EQ(terrain::cloudTerrainStep({0, 0, 100, 100}, 0.0, warning), 1.0);
}

TEST(CloudTerrainGrid, MedianTakesTheUpperMiddleAndHolesTakeTheirNeighboursMean) {
    // 3 x 3 cells of 1 m: the west column at 100 m, the east at 102 m, the middle column empty but for one cell
    // with two points.
    std::vector<CloudPoint> ground;
    for (int j = 0; j < 3; ++j) {
        ground.push_back(at(0.5, j + 0.5, 100.0));
        ground.push_back(at(2.5, j + 0.5, 102.0));
    }
    ground.push_back(at(1.2, 2.5, 50.0));
    ground.push_back(at(1.7, 2.6, 51.0));
    const CloudTerrainGrid g = buildCloudTerrainGrid(ground, {0, 0, 2.9, 2.9}, 1.0, {}, false);
    ASSERT_EQ(g.cols, 3);
    ASSERT_EQ(g.rows, 3);
    EXPECT_DOUBLE_EQ(heightAt(g, 1, 2), 51.0);
    EXPECT_DOUBLE_EQ(heightAt(g, 1, 0), 101.0);  // neighbours 100, 100, 102, 102, 51 -> first pass
    EXPECT_EQ(g.filledCells, 9u);
}

TEST(CloudTerrainGrid, WaterFlattensToTheMedianAndOpenWaterWithoutReturnsJoinsIt) {
    // Ground in the west 5 m of a 60 m strip, water returns in the next 5 m, nothing farther out.
    std::vector<CloudPoint> ground, water;
    for (int j = 0; j < 3; ++j) {
        for (int i = 0; i < 5; ++i) ground.push_back(at(i + 0.5, j + 0.5, 3.0));
        for (int i = 5; i < 10; ++i) water.push_back(at(i + 0.5, j + 0.5, 0.1 * (i - 4)));
    }
    const CloudTerrainGrid without = buildCloudTerrainGrid(ground, {0, 0, 59, 2}, 1.0, water, false);
    EXPECT_TRUE(std::isnan(without.waterLevel));
    EXPECT_DOUBLE_EQ(heightAt(without, 6, 1), 3.0);     // filled from the ground, water ignored
    EXPECT_TRUE(std::isnan(heightAt(without, 40, 1)));  // beyond the reach of hole filling

    const CloudTerrainGrid g = buildCloudTerrainGrid(ground, {0, 0, 59, 2}, 1.0, water, true);
    EXPECT_NEAR(g.waterLevel, 0.3, 1e-9);
    EXPECT_EQ(g.waterPointCells, 15u);
    EXPECT_EQ(g.waterCells, 15u + (60u - 5u - 20u) * 3u);  // the returns and the open water beyond 20 cells of fill
    EXPECT_DOUBLE_EQ(heightAt(g, 6, 1), g.waterLevel);
    EXPECT_DOUBLE_EQ(heightAt(g, 50, 1), g.waterLevel);
    EXPECT_EQ(g.water[g.index(50, 1)], 1);
    EXPECT_DOUBLE_EQ(heightAt(g, 2, 1), 3.0);
    EXPECT_EQ(g.water[g.index(2, 1)], 0);
    // The water mesh lies flat at the level over the water nodes only.
    const terrain::TerrainSet lake = terrain::cloudWaterPatches(g);
    ASSERT_EQ(lake.size(), 1u);
    EXPECT_DOUBLE_EQ(lake[0].minX, 5.5);
    for (const auto& p : lake[0].points) EXPECT_DOUBLE_EQ(p.z, g.waterLevel);
}

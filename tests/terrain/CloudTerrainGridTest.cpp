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

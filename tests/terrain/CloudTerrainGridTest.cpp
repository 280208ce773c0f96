// The LiDAR height grid: step limit, cell medians, hole filling, water level and open water.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "terrain/CloudTerrainBuilder.h"
#include "terrain/CloudTerrainGrid.h"
#include "terrain/CloudTerrainOutputs.h"
#include "terrain/detail/CellMedians.h"
#include "terrain/detail/HeightTally.h"

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

// 101 x 11 cells of 1 m: ground returns at x < 5, water returns from there to `waterEnd`, silence beyond. Open water
// gives no echo, so silent cells joined to the water returns are water; silent cells cut off from them by filled
// land (a 1 km frame around a small pond) are not, nor are those of a sheet that was lost.
TEST(CloudTerrainGrid, WaterOnlyWhereItJoinsWaterReturnsAndNeverInALostSheet) {
    const geodesy::Bbox frame{0, 0, 100, 10};
    const auto returns = [](int waterEnd, std::vector<CloudPoint>& ground, std::vector<CloudPoint>& water) {
        for (int j = 0; j <= 10; ++j)
            for (int i = 0; i < waterEnd; ++i)
                (i < 5 ? ground : water).push_back(at(i + 0.5, j + 0.5, i < 5 ? 100.0 : 99.0, i < 5 ? 2 : 9));
    };
    const struct {
        const char* name;
        int waterEnd;
        double lostFrom;  // a lost sheet from here east; 0 for none
        std::uint64_t waterCells;
        double waterArea;       // of the water surface's outline
        bool silentLandIsHole;  // a silent cell at x = 60 keeps no height
    } cases[] = {
        {"pond at the edge of the returns", 10, 0, 55, 50, true},
        {"sea wider than the hole filling", 30, 0, 1056, 950, false},
        {"sea beside a lost sheet", 30, 40, 385, 350, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<CloudPoint> ground, water;
        returns(c.waterEnd, ground, water);
        terrain::CloudTerrainBuilder builder(frame, 1.0, true);
        for (const auto* points : {&ground, &water})
            for (const CloudPoint& p : *points) builder.add(p);
        if (c.lostFrom > 0) builder.markLost({c.lostFrom, 0, 100, 10});
        const CloudTerrainGrid g = builder.finish();
        EXPECT_EQ(g.waterCells, c.waterCells);
        EXPECT_EQ(g.waterPointCells, water.size());
        EXPECT_EQ(std::isnan(heightAt(g, 60, 5)), c.silentLandIsHole);
        // The water surface follows the water cells, not the frame.
        const terrain::TerrainSet surface = terrain::cloudWaterPatches(g);
        ASSERT_EQ(surface.size(), 1u);
        const auto& ring = surface[0].outline;
        double area = 0.0;
        for (std::size_t k = 0; k < ring.size(); ++k)
            area += ring[k].x * ring[(k + 1) % ring.size()].y - ring[(k + 1) % ring.size()].x * ring[k].y;
        EXPECT_DOUBLE_EQ(area / 2, c.waterArea);
        if (c.lostFrom == 0) {
            EXPECT_EQ(buildCloudTerrainGrid(ground, frame, 1.0, water, true).waterCells, c.waterCells);
        }
    }
}

// The median of a cell is exact for up to a window of heights in any order, and beyond it for a few hundred
// heights in no particular order; heights arriving sorted beyond the window are marked approximate. The water
// level of a million returns is exact through their few distinct heights.
TEST(CloudTerrainGrid, CellMediansAreExactWithinTheirBoundAndSayWhenNot) {
    std::mt19937 rng(25);
    const std::size_t counts[] = {1, 2, 31, 32, 33, 200};
    terrain::detail::CellMedians medians(std::size(counts) + 1);
    std::vector<std::vector<float>> heights(std::size(counts));
    for (std::size_t c = 0; c < std::size(counts); ++c) {
        for (std::size_t k = 0; k < counts[c]; ++k)
            heights[c].push_back(150.0f + static_cast<float>(rng() % 40) * 0.01f);
        for (const float z : heights[c]) medians.add(c, z);
        std::nth_element(heights[c].begin(), heights[c].begin() + counts[c] / 2, heights[c].end());
        EXPECT_EQ(medians.median(c), heights[c][counts[c] / 2]) << counts[c];
        EXPECT_TRUE(medians.exact(c));
    }
    const std::size_t sorted = std::size(counts);
    for (int k = 0; k < 200; ++k) medians.add(sorted, static_cast<float>(k));
    EXPECT_FALSE(medians.exact(sorted));
    EXPECT_EQ(medians.count(sorted), 200u);

    terrain::detail::HeightTally tally;
    std::vector<double> all;
    for (int k = 0; k < 1000000; ++k)
        all.push_back(std::round((0.2 + static_cast<double>(rng() % 3000) * 1e-4) * 100) / 100);
    for (const double z : all) tally.add(z);
    std::nth_element(all.begin(), all.begin() + all.size() / 2, all.end());
    EXPECT_EQ(tally.median(), all[all.size() / 2]);
}

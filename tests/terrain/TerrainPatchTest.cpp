// Terrain patches: limits, the limit note, shared borders and missing heights.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

#include "TerrainTestUtil.h"

using grid::mosaicSample;
using namespace terrain;

namespace {

// Height is a plane, so every node's answer is known.
bool plane(double x, double y, double& z) {
    z = 100.0 + 0.01 * x + 0.02 * y;
    return true;
}

}  // namespace

TEST(TerrainPatches, FrameIsCutIntoPatchesSharingTheirBorders) {
    std::string note = "stale";
    // nx = 501, ny = 301: px = 3, py = 2, bx = 167, by = 151.
    TerrainSet set = buildTerrainPatches({1000, 2000, 1500, 2300}, 1, plane, note);
    EXPECT_EQ(note, "");
    ASSERT_EQ(set.size(), 6u);
    // Row of patches first, then columns; every patch but the last on an axis takes its neighbour's first node.
    const double xs[] = {1000, 1167, 1334, 1500}, ys[] = {2000, 2151, 2300};
    for (std::size_t i = 0; i < set.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(set[i].minX, xs[i % 3]);
        EXPECT_EQ(set[i].maxX, xs[i % 3 + 1]);
        EXPECT_EQ(set[i].minY, ys[i / 3]);
        EXPECT_EQ(set[i].maxY, ys[i / 3 + 1]);
    }
    // Row order: rows of increasing y, each of increasing x; heights are the source's.
    const auto& p = set[4].points;
    EXPECT_EQ(p[168].y, 2152);
    EXPECT_DOUBLE_EQ(p[1].z, 100.0 + 11.68 + 43.02);
    // Every node of the frame is in some patch; the shared ones in two or four.
    std::set<std::pair<double, double>> nodes;
    std::size_t total = 0;
    for (const auto& patch : set) {
        total += patch.points.size();
        for (const auto& q : patch.points) nodes.insert({q.x, q.y});
    }
    EXPECT_EQ(nodes.size(), 501u * 301u);
    EXPECT_EQ(total, 501u * 301u + 2 * 301 + 501 + 2);
}

TEST(TerrainPatches, LimitsAndTheLimitNote) {
    std::string note;
    // 2000 m square at step 1 needs 11 patches a side: cut to 4 x 4 from the lower-left corner.
    TerrainSet big = buildTerrainPatches({0, 0, 2000, 2000}, 1, plane, note);
    EXPECT_EQ(
        note,
        "Kadr za duzy dla kroku 1 m - teren ograniczony do 4x4 platek. Zwieksz krok do >= 3 m, aby pokryc caly kadr.");
    ASSERT_EQ(big.size(), 16u);
    EXPECT_EQ(big.back().maxY, 799);
    // The step the note asks for covers the frame without a note.
    TerrainSet covered = buildTerrainPatches({0, 0, 2000, 2000}, 3, plane, note);
    EXPECT_EQ(note, "");
    EXPECT_EQ(covered.back().maxX, 1998);

    // Frames without extent, inverted or not numbers make nothing and do not crash.
    EXPECT_EQ(buildTerrainPatches({5, 5, 5, 5}, 1, plane, note).size(), 1u);
    EXPECT_TRUE(buildTerrainPatches({10, 10, 0, 0}, 1, plane, note).empty());
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(buildTerrainPatches({nan, 0, 10, 10}, 1, plane, note).empty());
    EXPECT_TRUE(buildTerrainPatches({0, 0, std::numeric_limits<double>::infinity(), 10}, 1, plane, note).empty());
    // A frame of a million kilometres is still cut to 16 patches, with the note.
    TerrainSet huge = buildTerrainPatches({0, 0, 1e9, 1e9}, 1, plane, note);
    EXPECT_EQ(huge.size(), 16u);
    EXPECT_NE(note.find("Zwieksz krok do >= 1251565 m"), std::string::npos) << note;
}

TEST(TerrainPatches, MissingHeightsFromRealSheets) {
    const std::vector<grid::ElevationGrid> grids{terrain_test::loadSheet(terrain_test::ascData("hills_nodata.asc"))};
    // Frame over the whole sheet: the nodata hole and the top strip are missing nodes, nothing else.
    TerrainBuildResult r = buildTerrain({500000, 300000, 500040, 300040}, 1, grids);
    EXPECT_TRUE(r.notes.empty());
    ASSERT_EQ(r.patches.size(), 1u);
    const auto& pts = r.patches[0].points;
    EXPECT_GT(pts.size(), 41u * 30u);
    for (const auto& p : pts) {
        double z = 0;
        ASSERT_TRUE(mosaicSample(grids, p.x, p.y, z));
        EXPECT_EQ(z, p.z);
    }

    // Too large a frame over real sheets: the limit note, then the patches that have heights.
    TerrainBuildResult limited = buildTerrain({500000, 300000, 502000, 300100}, 1, grids);
    ASSERT_EQ(limited.notes.size(), 1u);
    EXPECT_EQ(limited.notes[0].rfind("Kadr za duzy dla kroku 1 m", 0), 0u);
    EXPECT_EQ(limited.patches.size(), 1u);
}

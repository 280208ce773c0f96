// Blocks, bridges and roads over small surface and terrain grids.
#include <gtest/gtest.h>

#include <cmath>

#include "buildings/Corridor.h"
#include "buildings/SurfaceModelBuilding.h"

namespace buildings {

namespace {

// A 20 x 20 m grid of 1 m cells at the origin with one height, nodata west of `nodataBelowX`.
grid::ElevationGrid flatGrid(double z, double nodataBelowX = -1) {
    grid::ElevationGrid g{20, 20, 0.0, 0.0, 1.0, -9999.0, {}};
    for (int row = 0; row < 20; ++row)
        for (int col = 0; col < 20; ++col) g.values.push_back(col + 0.5 < nodataBelowX ? -9999.0 : z);
    return g;
}

const std::vector<geodesy::PlanarPoint> kSquare = {{2, 2}, {8, 2}, {8, 8}, {2, 8}};

}  // namespace

TEST(SurfaceModelBuilding, RoofWallsAndFallbacks) {
    struct Case {
        double surface, terrain, nodataBelowX;
        std::vector<geodesy::PlanarPoint> footprint;
        std::size_t polygons;
        bool fallback;
    };
    const Case cases[] = {
        {110, 100, -1, kSquare, 5, false},                                 // roof and four walls
        {110, 109.5, -1, kSquare, 1, true},                                // under 1 m above the terrain: no walls
        {110, 100, -1, {{30, 30}, {35, 30}, {35, 35}}, 0, true},           // off the grids: nothing
        {110, 100, -1, {{2, 2}, {8, 2}}, 0, true},                         // not a polygon
        {110, 100, 20, kSquare, 0, true},                                  // over missing surface data: nothing
        {110, 100, -1, {{5.4, 5.1}, {5.45, 5.4}, {5.1, 5.45}}, 4, false},  // no lattice point inside: centroid
    };
    for (const Case& c : cases) {
        const ElevationPair models({flatGrid(c.surface, c.nodataBelowX)}, {flatGrid(c.terrain)});
        const StructureResult r = buildingFromSurfaceModel(c.footprint, models);
        EXPECT_EQ(r.polygons.size(), c.polygons) << c.footprint.size();
        EXPECT_EQ(r.fallback, c.fallback);
        if (!r.polygons.empty()) {
            EXPECT_DOUBLE_EQ(r.polygons[0][0].z, c.surface);
        }
    }
}

TEST(Corridor, OutlineFollowsTheCentrelineAtEachSidesWidth) {
    const auto ring = corridorPolygon({{0, 0}, {5, 0}, {10, 0}}, {2, 4, 2}, {3, 3, 1}, false);
    EXPECT_EQ(ring, (std::vector<geodesy::PlanarPoint>{{0, 2}, {5, 4}, {10, 2}, {10, -1}, {5, -3}, {0, -3}}));
    const auto median = corridorPolygon({{0, 0}, {5, 0}, {10, 0}}, {2, 4, 2}, {3, 3, 1}, true);
    EXPECT_EQ(median[1], (geodesy::PlanarPoint{5, 2}));
    EXPECT_EQ(median[4], (geodesy::PlanarPoint{5, -3}));
    EXPECT_TRUE(corridorPolygon({{0, 0}}, {1}, {1}, false).empty());
}

TEST(Corridor, RoadsAreClippedAndAlwaysAcceptedBridgesNeedARaisedDeck) {
    const ElevationPair ground({flatGrid(100)}, {flatGrid(100)});
    const auto ring = corridorPolygon({{1, 10}, {15, 10}}, {2, 2}, {2, 2}, false);
    const StructureResult road = corridorSurface(ring, ground, CorridorSettings::road({0, 0, 6, 20}));
    EXPECT_FALSE(road.fallback);
    // 5 m of the frame in 0.5 m cells; of the 8 rows the northern one has corners on the outline (outside).
    EXPECT_EQ(road.polygons.size(), 10u * 7u);
    for (const auto& quad : road.polygons)
        for (const auto& p : quad) EXPECT_LE(p.x, 6.0);
    // Over flat ground nothing is raised: the bridge falls back to its outline at the median height.
    const StructureResult flat = corridorSurface(ring, ground, CorridorSettings::bridge());
    EXPECT_TRUE(flat.fallback);
    ASSERT_EQ(flat.polygons.size(), 1u);
    EXPECT_EQ(flat.polygons[0].size(), ring.size());
    const ElevationPair deck({flatGrid(104)}, {flatGrid(100)});
    const StructureResult bridge = corridorSurface(ring, deck, CorridorSettings::bridge());
    EXPECT_FALSE(bridge.fallback);
    EXPECT_DOUBLE_EQ(bridge.ratio, 1.0);
    EXPECT_DOUBLE_EQ(bridge.polygons[0][0].z, 104.0);

    // Quads are capped: a corridor over its cap is laid flat, and the corridors of a fetch share a budget through
    // a coarser lattice (60,000 ways of 700 m2 in 0.5 m cells would be 168 million quads).
    CorridorSettings capped = CorridorSettings::road({0, 0, 6, 20});
    capped.maxCells = 69;
    EXPECT_TRUE(corridorSurface(ring, ground, capped).fallback);
    capped.maxCells = 70;
    EXPECT_FALSE(corridorSurface(ring, ground, capped).fallback);
    EXPECT_DOUBLE_EQ(corridorCellFor(1000.0, 0.5), 0.5);
    EXPECT_NEAR(corridorCellFor(60000 * 700.0, 0.5), std::sqrt(60000 * 700.0 / kCorridorCellBudget), 1e-12);
}

}  // namespace buildings

// Flat roofs from the cloud over a footprint: coverage, the median, and the two fallbacks.
#include <gtest/gtest.h>

#include <algorithm>

#include "buildings/CloudRoofs.h"

namespace buildings {

namespace {

using formats::CloudPoint;

// Ground (class 2) at 100 m over 0..20 m, every metre, and roof points (class 6) over the square 5..15 at `roof`,
// every `step` metres.
std::vector<CloudPoint> cloud(double roof, double step) {
    std::vector<CloudPoint> points;
    for (double y = 0.5; y < 20; y += 1.0)
        for (double x = 0.5; x < 20; x += 1.0)
            if (x < 5 || x > 15 || y < 5 || y > 15) points.push_back({x, y, 100.0, 0, 0, 0, 2});
    if (step > 0)
        for (double y = 5.25; y < 15; y += step)
            for (double x = 5.25; x < 15; x += step) points.push_back({x, y, roof + (x > 10 ? 0.5 : 0.0), 0, 0, 0, 6});
    return points;
}

const std::vector<geodesy::PlanarPoint> kFootprint = {{5, 5}, {15, 5}, {15, 15}, {5, 15}};

}  // namespace

TEST(CloudRoofs, MedianWhenCoveredElseHighestOrGroundPlusThree) {
    struct Case {
        double roof, step;
        bool fallback;
        double height, coverage;
    };
    const Case cases[] = {
        {108, 0.5, false, 108.5, 1.0},  // covered: the median (element n/2) of the kept heights
        {108, 4.0, true, 108.5, 0.09},  // 9 points: too few and too sparse, the highest kept point
        // Under 3 m above the ground near the walls; further in no ground cell is near, the model answers 0 and
        // the points count as high: too little coverage, the highest kept point.
        {102, 0.5, true, 102.5, 0.25},
        {0, 0.0, true, 103.0, 0.0},  // no roof points at all
    };
    for (const Case& c : cases) {
        const std::vector<CloudPoint> points = cloud(c.roof, c.step);
        const TerrainCells ground = buildTerrainCells(points);
        const PointIndex index(points, 10.0, points[0].x, points[0].y);
        const RoofFitResult r = roofFromCloud({"", kFootprint, 100.0, 8.0}, points, index, ground);
        EXPECT_EQ(r.fallback, c.fallback) << c.roof << " " << c.step;
        EXPECT_NEAR(r.coverage, c.coverage, 0.01);
        ASSERT_EQ(r.vertices.size(), 4u);
        EXPECT_DOUBLE_EQ(r.vertices[2].z, c.height);
    }
}

TEST(CloudRoofs, FootprintsWithoutPointsStandOnTheGroundMarked) {
    // Ground at 100 m over 0..20 m; the package says the buildings stand at 150 m and are 8 m high.
    const std::vector<CloudPoint> points = cloud(108, 0.5);
    const TerrainCells ground = buildTerrainCells(points);
    const PointIndex index(points, 10.0, points[0].x, points[0].y);
    struct Case {
        double east;  // of the 10 m square footprint
        double base;  // the cloud's nearest ground within 30 m, else the package's
    };
    for (const Case c : {Case{40, 100.0}, Case{100, 150.0}}) {
        const Building3D lod1{"", {{c.east, 0}, {c.east + 10, 0}, {c.east + 10, 10}, {c.east, 10}}, 150.0, 8.0};
        const RoofFitResult flat = roofFromCloud(lod1, points, index, ground);
        EXPECT_TRUE(flat.fallback && flat.withoutPoints);
        EXPECT_DOUBLE_EQ(flat.vertices[0].z, c.base + 3.0);
        const RoofFitResult solid = reconstructFootprints({lod1}, points)[0];
        EXPECT_TRUE(solid.fallback && solid.withoutPoints);
        const auto [low, high] = std::minmax_element(solid.vertices.begin(), solid.vertices.end(),
                                                     [](const auto& a, const auto& b) { return a.z < b.z; });
        EXPECT_DOUBLE_EQ(low->z, c.base) << c.east;
        EXPECT_DOUBLE_EQ(high->z, c.base + 8.0);
    }
}

}  // namespace buildings

// The accumulator: frame crop, voxel thinning and estimates (the mapping into the zone and the origin are checked
// on exported files, the point limit through the palette).
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <tuple>

#include "TestLas.h"
#include "cloud_ui/CloudAccumulator.h"
#include "cloud_ui/Detail.h"
#include "geodesy/Crs.h"

using formats::CloudPoint;

using namespace cloudui;

namespace {
// About 1 km of central Warsaw in PL-1992.
const geodesy::Bbox kWarsaw{637000.0, 486000.0, 638000.0, 487000.0};
}  // namespace

TEST(CloudAccumulator, CropKeepsPointsOnTheFrameEdgesOnly) {
    CloudAccumulator acc(kWarsaw, 0.0, 2178);
    for (auto [e, n] : {std::pair{kWarsaw.minE, kWarsaw.minN}, std::pair{kWarsaw.maxE, kWarsaw.maxN},
                        std::pair{kWarsaw.minE, kWarsaw.maxN}, std::pair{kWarsaw.maxE, kWarsaw.minN}})
        EXPECT_TRUE(acc.add(e, n, 100, 1, 2, 3));
    EXPECT_FALSE(acc.add(std::nextafter(kWarsaw.minE, 0.0), kWarsaw.minN, 100, 1, 2, 3));
    EXPECT_FALSE(acc.add(kWarsaw.maxE, std::nextafter(kWarsaw.maxN, 1e9), 100, 1, 2, 3));
    EXPECT_FALSE(acc.add(639000.0, 486500.0, 100, 1, 2, 3));
    // Values a damaged sheet can hold are dropped, not stored.
    const double nan = NAN, inf = INFINITY;
    for (auto [e, n, z] : {std::tuple{nan, 486500.0, 100.0}, std::tuple{637500.0, nan, 100.0},
                           std::tuple{637500.0, 486500.0, nan}, std::tuple{637500.0, 486500.0, inf}})
        EXPECT_FALSE(acc.add(e, n, z, 1, 2, 3)) << e << " " << n << " " << z;
    EXPECT_EQ(acc.size(), 4u);
    // A broken origin or a frame too large to map must not fill the cloud with NaN, thinned or not.
    for (double spacing : {0.0, 0.2}) {
        CloudAccumulator broken(kWarsaw, spacing, 2178);
        broken.overrideOrigin(NAN, 5789000.0, 0.0);
        EXPECT_FALSE(broken.add(637500.0, 486500.0, 100, 1, 2, 3));
        CloudAccumulator endless(geodesy::Bbox{-INFINITY, 486000.0, INFINITY, 487000.0}, spacing, 2178);
        EXPECT_FALSE(endless.add(637500.0, 486500.0, 100, 1, 2, 3));
        CloudAccumulator remote(kWarsaw, spacing, 2178);
        remote.overrideOrigin(0.0, 0.0, -1e300);  // the height would not fit the file's floats
        EXPECT_FALSE(remote.add(637500.0, 486500.0, 100, 1, 2, 3));
        EXPECT_EQ(broken.size() + endless.size() + remote.size(), 0u);
    }
}

TEST(CloudAccumulator, ThinningKeepsTheFirstPointOfEachVoxel) {
    CloudAccumulator acc(kWarsaw, 0.2, 2178);
    acc.overrideOrigin(0, 0, 0);  // voxel borders at whole multiples of 0.2 in zone coordinates
    const geodesy::PlanarPoint mid = geodesy::pl1992ToPl2000(637500.0, 486500.0, 2178);
    const double e0 = std::floor(mid.x), n0 = std::floor(mid.y);
    const geodesy::PlanarPoint base = geodesy::pl2000ToPl1992(e0 + 0.05, n0 + 0.05, 2178);
    const geodesy::PlanarPoint near = geodesy::pl2000ToPl1992(e0 + 0.15, n0 + 0.12, 2178);  // same 0.2 m voxel
    const geodesy::PlanarPoint next = geodesy::pl2000ToPl1992(e0 + 0.25, n0 + 0.05, 2178);  // the voxel to the east
    EXPECT_TRUE(acc.add(base.x, base.y, 100.05, 10, 10, 10));
    EXPECT_FALSE(acc.add(near.x, near.y, 100.10, 20, 20, 20));
    EXPECT_TRUE(acc.add(next.x, next.y, 100.05, 30, 30, 30));
    EXPECT_TRUE(acc.add(near.x, near.y, 100.25, 40, 40, 40));  // same column, the voxel above
    ASSERT_EQ(acc.size(), 3u);
    EXPECT_EQ(acc.points()[0].red, 10);
    EXPECT_EQ(acc.points()[1].red, 30);
    EXPECT_EQ(acc.points()[2].red, 40);

    // Negative local coordinates floor downwards: -0.1 and +0.1 are different voxels.
    CloudAccumulator around(kWarsaw, 0.2, 2178);
    const geodesy::PlanarPoint centre = geodesy::pl1992ToPl2000(637500.0, 486500.0, 2178);
    around.overrideOrigin(centre.x, centre.y, 0.0);
    EXPECT_TRUE(around.add(637500.0, 486500.0, -0.1, 0, 0, 0));
    EXPECT_TRUE(around.add(637500.0, 486500.0, 0.1, 0, 0, 0));
    EXPECT_FALSE(around.add(637500.0, 486500.0, 0.15, 0, 0, 0));

    // Level names; anything unknown is the standard level.
    EXPECT_EQ(detailFromText("Full"), Detail::Standard);
    EXPECT_EQ(estimatePoints(1e6, 12.0, Detail::Lekki), 4000000);
    EXPECT_EQ(estimatePoints(1e6, 30.0, Detail::Standard), 25000000);
    EXPECT_EQ(estimatePoints(10.3, 1.0, Detail::Full), 10);
    // The cap is area / 0.04 exactly: half a point rounds up, not down.
    EXPECT_EQ(estimatePoints(0.02, 100.0, Detail::Standard), 1);
    EXPECT_EQ(estimatePoints(NAN, 12.0, Detail::Full), 0);
    EXPECT_EQ(estimatePoints(1e300, 1e300, Detail::Full), 9000000000000000000);
    CloudAccumulator full(kWarsaw, thinningSpacing(Detail::Full), 2178);
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(full.add(637500.0, 486500.0, 100.0, 0, 0, 0));
    EXPECT_EQ(full.size(), 5u);
}

TEST(CloudAccumulator, VoxelSetTellsEveryTripleApart) {
    // Against an ordered set, on keys near and far from the first one and at the ends of the 64-bit range.
    VoxelSet set;
    std::set<std::tuple<std::int64_t, std::int64_t, std::int64_t>> reference;
    std::mt19937_64 rng(42);
    auto check = [&](std::int64_t i, std::int64_t j, std::int64_t k) {
        ASSERT_EQ(set.insert(i, j, k), reference.insert({i, j, k}).second) << i << " " << j << " " << k;
    };
    check(100, -200, 5);
    for (int round = 0; round < 200000; ++round) {
        const int kind = static_cast<int>(rng() % 4);
        std::int64_t i, j, k;
        if (kind == 0) {  // dense: many repeats
            i = 100 + static_cast<std::int64_t>(rng() % 40) - 20;
            j = -200 + static_cast<std::int64_t>(rng() % 40) - 20;
            k = 5 + static_cast<std::int64_t>(rng() % 10);
        } else if (kind == 1) {  // around the edge of the packed range
            i = 100 + (std::int64_t{1} << 20) + static_cast<std::int64_t>(rng() % 4) - 2;
            j = -200 - (std::int64_t{1} << 20) + static_cast<std::int64_t>(rng() % 4) - 2;
            k = 5 + static_cast<std::int64_t>(rng() % 3);
        } else if (kind == 2) {                                                      // anywhere
            i = static_cast<std::int64_t>(rng() & ~((std::uint64_t{1} << 58) - 1));  // coarse, all 64 bits
            j = static_cast<std::int64_t>(rng());
            k = -static_cast<std::int64_t>(rng() % 3);
        } else {  // same low 21 bits as a packed key, far away
            i = 100 + (std::int64_t{1} << 21) * static_cast<std::int64_t>(rng() % 3);
            j = -200;
            k = 5;
        }
        check(i, j, k);
    }
    check(INT64_MIN, INT64_MAX, 0);
    check(INT64_MIN, INT64_MAX, 0);
    check(INT64_MAX, INT64_MIN, 0);
    EXPECT_EQ(set.size(), reference.size());
}

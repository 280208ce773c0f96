// The demo town: the same town from the same seed, a land register a county would keep (no parcel over another
// or over a street, every building on its parcel), LOD2 solids that close, and a surface model and LiDAR points
// that agree with the roofs.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <set>

#include "BuildingPackages.h"
#include "CloudScenario.h"
#include "ElevationScenario.h"
#include "PolandScenario.h"
#include "RasterCanvas.h"
#include "StructuresScenario.h"
#include "Town.h"
#include "TownSheets.h"
#include "WorldPainter.h"
#include "detail/PlaneGeometry.h"

namespace {

using namespace sim::town;
using geodesy::PlanarPoint;

// An inner point of a simple ring: the middle of the widest span of a scan line through its middle.
PlanarPoint insidePoint(const std::vector<PlanarPoint>& ring) {
    double minY = 1e300, maxY = -1e300;
    for (const PlanarPoint& p : ring) minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
    const double y = (minY + maxY) / 2 + 0.01;
    std::vector<double> xs;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const PlanarPoint& a = ring[i];
        const PlanarPoint& b = ring[(i + 1) % ring.size()];
        if ((a.y <= y) != (b.y <= y)) xs.push_back(a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y));
    }
    std::sort(xs.begin(), xs.end());
    double best = -1, x = xs.empty() ? ring[0].x : xs[0];
    for (std::size_t k = 0; k + 1 < xs.size(); k += 2)
        if (xs[k + 1] - xs[k] > best) best = xs[k + 1] - xs[k], x = (xs[k] + xs[k + 1]) / 2;
    return {x, y};
}

TEST(Town, SameSeedGivesTheSameTownAndAnotherSeedAnother) {
    const Town a = generateTown(kDemoSeed), b = generateTown(kDemoSeed), c = generateTown(kDemoSeed + 1);
    ASSERT_EQ(a.parcels.size(), b.parcels.size());
    ASSERT_EQ(a.buildings.size(), b.buildings.size());
    for (std::size_t i = 0; i < a.parcels.size(); ++i) {
        EXPECT_EQ(a.parcels[i].id, b.parcels[i].id);
        EXPECT_EQ(a.parcels[i].ring, b.parcels[i].ring);
    }
    for (std::size_t i = 0; i < a.buildings.size(); ++i) EXPECT_EQ(a.buildings[i].outline, b.buildings[i].outline);
    EXPECT_NE(a.parcels.size() * 100000 + a.buildings.size(), c.parcels.size() * 100000 + c.buildings.size());
}

TEST(Town, ParcelsCoverTheGroundOnceAndBuildingsStandOnTheirParcels) {
    const Town& t = demoTown();
    EXPECT_GT(t.parcels.size(), 400u);
    std::set<std::string> ids;
    for (const Parcel& p : t.parcels) EXPECT_TRUE(ids.insert(p.id).second) << p.id;
    // Every point of a 2 m lattice lies in one parcel at most, never on a street or in the river, and a building
    // covers it only inside that building's parcel.
    std::map<std::pair<int, int>, std::vector<const Parcel*>> buckets;
    for (const Parcel& p : t.parcels) {
        double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
        for (const PlanarPoint& q : p.ring)
            minX = std::min(minX, q.x), maxX = std::max(maxX, q.x), minY = std::min(minY, q.y),
            maxY = std::max(maxY, q.y);
        for (int i = static_cast<int>(std::floor(minX / 50)); i <= static_cast<int>(std::floor(maxX / 50)); ++i)
            for (int j = static_cast<int>(std::floor(minY / 50)); j <= static_cast<int>(std::floor(maxY / 50)); ++j)
                buckets[{i, j}].push_back(&p);
    }
    std::map<std::pair<int, int>, std::vector<const Building*>> buildingBuckets;
    for (const Building& b : t.buildings) {
        const PlanarPoint& p = b.outline[0];
        for (int i = static_cast<int>(std::floor(p.x / 50)) - 2; i <= static_cast<int>(std::floor(p.x / 50)) + 2; ++i)
            for (int j = static_cast<int>(std::floor(p.y / 50)) - 2; j <= static_cast<int>(std::floor(p.y / 50)) + 2;
                 ++j)
                buildingBuckets[{i, j}].push_back(&b);
    }
    std::vector<geodesy::Bbox> streetBoxes;
    for (const Street& s : t.streets) {
        geodesy::Bbox b{1e300, 1e300, -1e300, -1e300};
        for (const PlanarPoint& p : s.centre)
            b = {std::min(b.minE, p.x - s.width), std::min(b.minN, p.y - s.width), std::max(b.maxE, p.x + s.width),
                 std::max(b.maxN, p.y + s.width)};
        streetBoxes.push_back(b);
    }
    int covered = 0, clashes = 0, onStreet = 0, strayBuildings = 0;
    for (double y = t.extent.minN + 0.5; y < t.extent.maxN; y += 2.5) {
        for (double x = t.extent.minE + 0.5; x < t.extent.maxE; x += 2.5) {
            const auto found =
                buckets.find({static_cast<int>(std::floor(x / 50)), static_cast<int>(std::floor(y / 50))});
            if (found == buckets.end()) continue;
            std::vector<const Parcel*> in;
            for (const Parcel* p : found->second)
                if (sim::detail::contains(p->ring, {x, y}) && sim::detail::distanceToRing(p->ring, {x, y}) > 0.01)
                    in.push_back(p);
            if (in.empty()) continue;
            ++covered;
            clashes += in.size() > 1 ? 1 : 0;
            for (std::size_t k = 0; k < t.streets.size(); ++k)
                if (streetBoxes[k].contains({x, y}))
                    onStreet +=
                        sim::detail::distanceToPolyline(t.streets[k].centre, {x, y}) < t.streets[k].width / 2 ? 1 : 0;
            for (const Building* b :
                 buildingBuckets[{static_cast<int>(std::floor(x / 50)), static_cast<int>(std::floor(y / 50))}])
                if (b->covers({x, y}) && b->parcelId != in[0]->id) ++strayBuildings;
        }
    }
    EXPECT_GT(covered, 150000);
    EXPECT_EQ(clashes, 0);
    EXPECT_EQ(onStreet, 0);
    EXPECT_EQ(strayBuildings, 0);

    std::map<Shape, int> shapes;
    std::map<Roof, int> roofs;
    for (const Building& b : t.buildings) ++shapes[b.shape], ++roofs[b.roof];
    for (Shape s : {Shape::Rectangle, Shape::LShape, Shape::TShape, Shape::Courtyard}) EXPECT_GT(shapes[s], 0);
    for (Roof r : {Roof::Flat, Roof::Gabled, Roof::Hipped, Roof::Shed}) EXPECT_GT(roofs[r], 0);
}

// Every LOD2 building is a closed, consistently turned solid: each edge is walked once each way. Its ground and
// its roof seen from above cover the footprint exactly.
TEST(Town, Lod2SolidsCloseAndCoverTheFootprint) {
    const std::vector<sim::PackageBuilding> lod2 = sim::packages::demoBuildings(true);
    std::map<std::string, const Building*> town;
    for (const Building& b : demoTown().buildings) town["PL.PZGiK.994.BDOT10k." + b.id] = &b;
    int checked = 0;
    for (const sim::PackageBuilding& p : lod2) {
        if (p.surfaces.empty()) continue;
        const Building& b = *town.at(p.id);
        const auto key = [](const geodesy::SpatialPoint& q) {
            return std::array<long long, 3>{std::llround(q.x * 1000), std::llround(q.y * 1000),
                                            std::llround(q.z * 1000)};
        };
        std::map<std::pair<std::array<long long, 3>, std::array<long long, 3>>, int> edges;
        double ground = 0, roof = 0;
        for (const sim::PackageSurface& s : p.surfaces) {
            for (std::size_t i = 0; i < s.ring.size(); ++i)
                ++edges[{key(s.ring[i]), key(s.ring[(i + 1) % s.ring.size()])}];
            std::vector<PlanarPoint> flat;
            for (const auto& q : s.ring) flat.push_back({q.x, q.y});
            const double a = sim::detail::signedArea2(flat) / 2;
            if (std::string(s.kind) == "GroundSurface") ground -= a;
            if (std::string(s.kind) == "RoofSurface") roof += a;
        }
        int unpaired = 0;
        for (const auto& [edge, n] : edges) {
            const auto back = edges.find({edge.second, edge.first});
            unpaired += n != 1 || back == edges.end() || back->second != 1 ? 1 : 0;
        }
        EXPECT_EQ(unpaired, 0) << p.id;
        EXPECT_NEAR(ground, b.footprintArea(), 0.01) << p.id;
        EXPECT_NEAR(roof, b.footprintArea(), 0.01) << p.id;
        ++checked;
    }
    EXPECT_GT(checked, 150);
}

TEST(Town, SurfaceModelAndLidarPointsAgreeWithTheRoofs) {
    const Town& t = demoTown();
    for (const Building& b : t.buildings) {
        const PlanarPoint p = insidePoint(b.pieces.front());
        ASSERT_TRUE(b.covers(p)) << b.id;
        const Surface s = t.surfaceAt(p.x, p.y);
        EXPECT_EQ(s.cls, 6) << b.id;
        EXPECT_NEAR(s.z, b.roofHeight(p), 1e-9) << b.id;
        EXPECT_GE(s.z, b.eaveZ - 1e-6) << b.id;
        EXPECT_LE(s.z, b.ridgeZ + 1e-6) << b.id;
    }
    // The sheet holding the square: every class the survey records, each point where the town puts it.
    const geodesy::Bbox sheet = [&] {
        for (const geodesy::Bbox& b : lidarSheets(t))
            if (b.contains({t.centre.x, t.centre.y - 100})) return b;
        return geodesy::Bbox{};
    }();
    std::map<int, int> classes;
    for (const sim::LazSheetPoint& q : lidarPoints(t, sheet)) {
        ++classes[q.cls];
        const Surface s = t.surfaceAt(q.x, q.y);
        if (q.cls == 2) EXPECT_NEAR(q.z, t.groundHeight(q.x, q.y), 0.05);
        else if (s.cls == q.cls) EXPECT_NEAR(q.z, s.z, 0.05);
        else ADD_FAILURE() << "class " << int(q.cls) << " where the town has " << int(s.cls);
    }
    for (int cls : {2, 5, 6, 9, 17}) EXPECT_GT(classes[cls], 0) << cls;
}

}  // namespace

namespace {

std::uint32_t channel(std::uint32_t rgba, int shift) { return (rgba >> shift) & 0xFF; }

}  // namespace

// The orthophoto over the square: roofs in their colours, crowns green, the river dark and bluish.
TEST(Town, OrthophotoIsDrawnFromTheTown) {
    const Town& t = demoTown();
    const geodesy::Bbox box{t.centre.x - 200, t.centre.y - 250, t.centre.x + 200, t.centre.y + 150};
    sim::RgbaImage image(800, 800, 0);
    sim::RasterCanvas canvas(image, 2180, box.minE, box.minN, box.maxE, box.maxN);
    sim::paintWorld(canvas);
    const auto at = [&](PlanarPoint p) {
        const PlanarPoint px = canvas.toPixel(p);
        return canvas.pixel(static_cast<int>(px.x), static_cast<int>(px.y));
    };
    int roofs = 0;
    for (const Building* b : t.buildingsIn(box)) {
        const PlanarPoint p = insidePoint(b->pieces.front());
        if (!box.contains(p)) continue;
        const std::uint32_t c = at(p);
        // Red roofs stay red, grey ones grey, whichever way they face the sun.
        const bool red = channel(b->roofColour, 24) > channel(b->roofColour, 16) + 40;
        EXPECT_EQ(channel(c, 24) > channel(c, 16) + 15, red) << b->id;
        ++roofs;
    }
    EXPECT_GT(roofs, 50);
    int crowns = 0;
    for (const Tree* tree : t.treesIn(box)) {
        if (!box.contains(tree->centre) || t.surfaceAt(tree->centre.x, tree->centre.y).cls != 5) continue;
        const std::uint32_t c = at(tree->centre);
        EXPECT_GT(channel(c, 16), channel(c, 24));
        EXPECT_GT(channel(c, 16), channel(c, 8));
        ++crowns;
    }
    EXPECT_GT(crowns, 20);
    const PlanarPoint river = t.river[t.river.size() / 2 - 20];
    const std::uint32_t water = at(river);
    EXPECT_GT(channel(water, 8), channel(water, 24)) << std::hex << water;
    EXPECT_LT(channel(water, 16), 120u) << std::hex << water;
}

// Wherever a scenario serves data, the orthophoto shows something other than plain countryside.
TEST(Town, EveryScenarioHasMapContentWhereItsDataIs) {
    struct Place {
        const char* name;
        PlanarPoint centre;
    };
    const std::vector<Place> places = {
        {"town", demoTown().centre},
        {"Warszawa block", sim::poland::centre1992(sim::poland::kWarszawa)},
        {"Zamosc block", sim::poland::centre1992(sim::poland::kZamosc)},
        {"hills", {sim::elevation::kHills.e, sim::elevation::kHills.n}},
        {"valley", {sim::elevation::kValley.e, sim::elevation::kValley.n}},
        {"Radom LiDAR", sim::cloud::kRadomBlock.centre()},
        {"Hel coast", sim::cloud::kHelCoast.centre()},
        {"structures", {sim::structures::kCentreE + 200, sim::structures::kCentreN}},
    };
    for (const Place& place : places) {
        sim::RgbaImage world(200, 200, 0), plain(200, 200, 0);
        const PlanarPoint c = place.centre;
        sim::RasterCanvas a(world, 2180, c.x - 100, c.y - 100, c.x + 100, c.y + 100);
        sim::RasterCanvas b(plain, 2180, c.x - 100, c.y - 100, c.x + 100, c.y + 100);
        sim::paintWorld(a);
        sim::paintCountryside(b);
        int differing = 0;
        for (std::size_t i = 0; i < world.pixels.size(); i += 4)
            differing += std::abs(int(world.pixels[i]) - int(plain.pixels[i])) +
                                     std::abs(int(world.pixels[i + 1]) - int(plain.pixels[i + 1])) >
                                 30
                             ? 1
                             : 0;
        EXPECT_GT(differing, 200 * 200 / 10) << place.name;
    }
}

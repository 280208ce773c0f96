// LOD2 reconstruction against buildings of known roof shape, and the primitives it builds from.
#include <gtest/gtest.h>

#include <cmath>

#include "RoofGenerator.h"
#include "RoofShapes.h"
#include "buildings/lod2fit/PlaneDetection.h"
#include "buildings/lod2fit/PrimitiveRegistry.h"
#include "buildings/lod2fit/Reconstruction.h"
#include "buildings/lod2fit/RoofTypeSelection.h"

using geodesy::SpatialPoint;
using lod2fit::RoofFitResult;
using sim::roofs::KnownBuilding;

namespace {

std::vector<SpatialPoint> pointsOn(const KnownBuilding& b, const std::vector<sim::roofs::SurveyPoint>& survey) {
    std::vector<SpatialPoint> inside;
    for (const auto& p : survey)
        if (b.contains(p.x, p.y)) inside.push_back({p.x, p.y, p.z});
    return inside;
}

// Points sampled on planes z = z0 + gx·x + gy·y over a rectangle, every 0.25 m.
std::vector<SpatialPoint> planePoints(double x0, double x1, double y0, double y1, double z0, double gx, double gy) {
    std::vector<SpatialPoint> out;
    for (double y = y0; y < y1; y += 0.25)
        for (double x = x0; x < x1; x += 0.25) out.push_back({x, y, z0 + gx * x + gy * y});
    return out;
}

}  // namespace

TEST(Reconstruction, SameResultOnEveryRun) {
    const std::vector<KnownBuilding> buildings = sim::roofs::knownBuildings(5, 500000, 300000, 200.0);
    const auto survey = sim::roofs::surveyPoints(buildings, {});
    for (const KnownBuilding& b : buildings) {
        const auto points = pointsOn(b, survey);
        const RoofFitResult first = lod2fit::reconstructBuilding(points, b.footprint(), b.groundZ);
        const RoofFitResult again = lod2fit::reconstructBuilding(points, b.footprint(), b.groundZ);
        EXPECT_EQ(first.typeName, again.typeName);
        EXPECT_EQ(first.meanError, again.meanError);
        EXPECT_EQ(first.mesh.vertices, again.mesh.vertices);
    }
}

TEST(Reconstruction, SelectionByPlanes) {
    // Two opposite planes of equal slope, then of 20 and 35 degrees; one plane; a flat one.
    const double t20 = std::tan(20 * M_PI / 180), t35 = std::tan(35 * M_PI / 180), t30 = std::tan(30 * M_PI / 180);
    struct Case {
        std::vector<SpatialPoint> points;
        const char* type;
        double confidence;
    };
    auto join = [](std::vector<SpatialPoint> a, const std::vector<SpatialPoint>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const Case cases[] = {
        {join(planePoints(0, 10, 0, 5, 0, 0, t30), planePoints(0, 10, 5, 10, 10 * t30, 0, -t30)), "Gabled", 0.9},
        {join(planePoints(0, 10, 0, 5, 0, 0, t20), planePoints(0, 10, 5, 10, 5 * t20 + 5 * t35, 0, -t35)), "AsymGabled",
         0.8},
        {planePoints(0, 10, 0, 8, 0, t30, 0), "Shed", 0.9},
        {planePoints(0, 10, 0, 8, 3, 0, 0), "Flat", 1.0},
    };
    for (const Case& c : cases) {
        const lod2fit::RoofTypeChoice choice = lod2fit::selectRoofType(lod2fit::detectPlanes(c.points), c.points);
        EXPECT_EQ(choice.type, c.type);
        EXPECT_DOUBLE_EQ(choice.confidence, c.confidence) << c.type;
    }
}

TEST(Reconstruction, FewPointsAndFallbacks) {
    const std::vector<geodesy::PlanarPoint> square = {{0, 0}, {10, 0}, {10, 8}, {0, 8}};
    // Fewer than 8 points: all of them, eave 0.1 and ridge 3.0 above the ground.
    const RoofFitResult few = lod2fit::reconstructBuilding({{1, 1, 5}, {2, 2, 5}, {3, 3, 5}}, square, 100.0);
    EXPECT_DOUBLE_EQ(few.params.ridgeZ, 103.0);
    EXPECT_TRUE(few.fallback);
    // No points at all: no error can be measured, so the result is a fallback.
    const RoofFitResult none = lod2fit::reconstructBuilding({}, square, 0.0);
    EXPECT_EQ(none.meanError, 1e9);
    EXPECT_TRUE(none.fallback);
}

TEST(Primitives, RegistryAndShapes) {
    const auto& registry = lod2fit::primitiveRegistry();
    ASSERT_EQ(registry.size(), 25u);
    EXPECT_STREQ(lod2fit::findPrimitive("Unknown").name(), "Flat");
    lod2fit::RoofParams p;
    const std::vector<geodesy::PlanarPoint> square = {{0, 0}, {10, 0}, {10, 6}, {0, 6}};
    const std::vector<geodesy::PlanarPoint> five = {{0, 0}, {10, 0}, {10, 6}, {5, 8}, {0, 6}};
    // A five-vertex footprint named Gabled is built flat at eave height: base, five walls, the top.
    const lod2fit::RoofMesh flat = lod2fit::findPrimitive("Gabled").build(p, five);
    EXPECT_EQ(flat.faces.size(), 7u);
    for (std::size_t i = 5; i < 10; ++i) EXPECT_EQ(flat.vertices[i].z, p.eaveZ);
    // Gabled: the ridge over the middle of edges 0-3 and 1-2, parallel to edge 0->1.
    const lod2fit::RoofMesh gabled = lod2fit::findPrimitive("Gabled").build(p, square);
    EXPECT_EQ(gabled.vertices[9], (SpatialPoint{10, 3, p.ridgeZ}));
    for (const lod2fit::RoofPrimitive* primitive : registry) {
        lod2fit::RoofMesh mesh = primitive->build(p, square);
        ASSERT_FALSE(mesh.faces.empty()) << primitive->name();
        lod2fit::turnFacesOutward(mesh);
        for (const auto& face : mesh.faces)
            for (std::int32_t i : face) ASSERT_LT(static_cast<std::size_t>(i), mesh.vertices.size());
    }
}

namespace {

// Faces of a block over the plan that look inward: a wall whose outside (its middle moved 1 cm along the normal)
// lies inside the plan, a base looking up or a roof looking down.
int inwardFaces(const lod2fit::RoofMesh& mesh, const std::vector<geodesy::PlanarPoint>& plan) {
    int inward = 0;
    for (const auto& face : mesh.faces) {
        SpatialPoint n, mid;
        for (std::size_t k = 0; k < face.size(); ++k) {
            const SpatialPoint &p = mesh.vertices[face[k]], &q = mesh.vertices[face[(k + 1) % face.size()]];
            n = {n.x + (p.y - q.y) * (p.z + q.z), n.y + (p.z - q.z) * (p.x + q.x), n.z + (p.x - q.x) * (p.y + q.y)};
            mid = {mid.x + p.x / face.size(), mid.y + p.y / face.size(), mid.z + p.z / face.size()};
        }
        const double horizontal = std::hypot(n.x, n.y);
        if (std::fabs(n.z) > horizontal) {
            inward += (n.z > 0) != (mid.z > mesh.vertices[0].z) ? 1 : 0;  // vertex 0 is on the base
        } else {
            const double e = 0.01 / horizontal;
            inward += roofgen::insideRing(plan, mid.x + e * n.x, mid.y + e * n.y) ? 1 : 0;
        }
    }
    return inward;
}

}  // namespace

TEST(Primitives, BlocksFaceOutwardOnLAndTPlans) {
    lod2fit::RoofParams p;
    const std::vector<geodesy::PlanarPoint> square = {{0, 0}, {10, 0}, {10, 6}, {0, 6}};
    const std::vector<geodesy::PlanarPoint> l = {{0, 0}, {12, 0}, {12, 10}, {7, 10}, {7, 5}, {0, 5}};
    const std::vector<geodesy::PlanarPoint> t = {{0, 0}, {12, 0}, {12, 5}, {8, 5}, {8, 11}, {4, 11}, {4, 5}, {0, 5}};
    for (const char* name : {"Flat", "Shed"}) {
        for (const auto* plan : {&square, &l, &t}) {
            lod2fit::RoofMesh mesh = lod2fit::findPrimitive(name).build(p, *plan);
            lod2fit::turnFacesOutward(mesh);
            EXPECT_EQ(inwardFaces(mesh, *plan), 0) << name << " " << plan->size();
        }
    }
    // The base of a flat block looks down, its top up.
    lod2fit::RoofMesh flat = lod2fit::findPrimitive("Flat").build(p, {{0, 0}, {4, 0}, {4, 4}, {0, 4}});
    lod2fit::turnFacesOutward(flat);
    EXPECT_EQ(flat.faces.front(), (std::vector<std::int32_t>{3, 2, 1, 0}));
    EXPECT_EQ(flat.faces.back(), (std::vector<std::int32_t>{4, 5, 6, 7}));
}

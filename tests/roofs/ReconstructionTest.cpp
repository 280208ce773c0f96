// LOD2 reconstruction against buildings of known roof shape, and the primitives it builds from.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

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

TEST(Reconstruction, KnownShapesComeBackAsTheirType) {
    const std::vector<KnownBuilding> buildings = sim::roofs::knownBuildings(50, 500000, 300000, 200.0);
    const auto survey = sim::roofs::surveyPoints(buildings, {});
    std::map<std::string, std::map<std::string, int>> confusion;
    int right = 0;
    double errorSum = 0.0;
    for (const KnownBuilding& b : buildings) {
        const RoofFitResult r = lod2fit::reconstructBuilding(pointsOn(b, survey), b.footprint(), b.groundZ);
        ++confusion[sim::roofs::shapeName(b.shape)][r.typeName];
        right += r.typeName == sim::roofs::shapeName(b.shape);
        errorSum += r.meanError;
    }
    std::string table;
    for (const auto& [truth, row] : confusion) {
        table += truth + ":";
        for (const auto& [got, count] : row) table += " " + got + "=" + std::to_string(count);
        table += "\n";
    }
    std::printf("%smean error %.3f m\n", table.c_str(), errorSum / buildings.size());
    EXPECT_GE(right, 45) << table;
    EXPECT_LT(errorSum / buildings.size(), 0.3);
}

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
}

namespace {

// Whether p lies inside the faces (a closed solid): crossings of a slanted ray, Moller-Trumbore per fanned triangle.
bool insideSolid(const lod2fit::RoofMesh& mesh, const std::vector<std::size_t>& faces, const SpatialPoint& p) {
    const SpatialPoint d{0.2873, 0.1911, 0.9385};
    int crossings = 0;
    for (std::size_t f : faces) {
        const auto& face = mesh.faces[f];
        for (std::size_t k = 1; k + 1 < face.size(); ++k) {
            const SpatialPoint &a = mesh.vertices[face[0]], &b = mesh.vertices[face[k]],
                               &c = mesh.vertices[face[k + 1]];
            const SpatialPoint e1{b.x - a.x, b.y - a.y, b.z - a.z}, e2{c.x - a.x, c.y - a.y, c.z - a.z};
            const SpatialPoint h{d.y * e2.z - d.z * e2.y, d.z * e2.x - d.x * e2.z, d.x * e2.y - d.y * e2.x};
            const double det = e1.x * h.x + e1.y * h.y + e1.z * h.z;
            if (std::fabs(det) < 1e-12) continue;
            const SpatialPoint s{p.x - a.x, p.y - a.y, p.z - a.z};
            const double u = (s.x * h.x + s.y * h.y + s.z * h.z) / det;
            const SpatialPoint q{s.y * e1.z - s.z * e1.y, s.z * e1.x - s.x * e1.z, s.x * e1.y - s.y * e1.x};
            const double v = (d.x * q.x + d.y * q.y + d.z * q.z) / det;
            const double t = (e2.x * q.x + e2.y * q.y + e2.z * q.z) / det;
            crossings += u >= 0 && v >= 0 && u + v <= 1 && t > 0 ? 1 : 0;
        }
    }
    return crossings % 2 == 1;
}

// Faces of the solid whose outward side is not outside: for each part (faces joined by shared vertices), a point
// just in front of a face's first triangle must lie outside the part and one just behind it inside.
int inwardFaces(const lod2fit::RoofMesh& mesh) {
    std::vector<std::size_t> part(mesh.vertices.size());
    for (std::size_t i = 0; i < part.size(); ++i) part[i] = i;
    auto root = [&part](std::size_t i) {
        while (part[i] != i) i = part[i] = part[part[i]];
        return i;
    };
    for (const auto& face : mesh.faces)
        for (std::int32_t i : face) part[root(i)] = root(face[0]);
    std::map<std::size_t, std::vector<std::size_t>> parts;
    for (std::size_t f = 0; f < mesh.faces.size(); ++f) parts[root(mesh.faces[f][0])].push_back(f);
    int inward = 0;
    for (const auto& [r, faces] : parts) {
        for (std::size_t f : faces) {
            const auto& face = mesh.faces[f];
            SpatialPoint n;
            for (std::size_t k = 0; k < face.size(); ++k) {
                const SpatialPoint &p = mesh.vertices[face[k]], &q = mesh.vertices[face[(k + 1) % face.size()]];
                n = {n.x + (p.y - q.y) * (p.z + q.z), n.y + (p.z - q.z) * (p.x + q.x), n.z + (p.x - q.x) * (p.y + q.y)};
            }
            const double len = std::hypot(n.x, n.y, n.z);
            if (len < 1e-9) continue;
            // Seen along the normal's main axis, a point of the face is covered by an odd number of its fan
            // triangles; a fan triangle's centre need not be one on a face with a reflex corner.
            const int axis = std::fabs(n.z) >= std::max(std::fabs(n.x), std::fabs(n.y)) ? 2
                             : std::fabs(n.y) >= std::fabs(n.x)                         ? 1
                                                                                        : 0;
            auto flat = [axis](const SpatialPoint& q) {
                return axis == 2   ? geodesy::PlanarPoint{q.x, q.y}
                       : axis == 1 ? geodesy::PlanarPoint{q.z, q.x}
                                   : geodesy::PlanarPoint{q.y, q.z};
            };
            auto onFace = [&](const SpatialPoint& q) {
                int covered = 0;
                const geodesy::PlanarPoint p = flat(q);
                for (std::size_t k = 1; k + 1 < face.size(); ++k) {
                    const geodesy::PlanarPoint a = flat(mesh.vertices[face[0]]), b = flat(mesh.vertices[face[k]]),
                                               c = flat(mesh.vertices[face[k + 1]]);
                    const double d1 = (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x);
                    const double d2 = (c.x - b.x) * (p.y - b.y) - (c.y - b.y) * (p.x - b.x);
                    const double d3 = (a.x - c.x) * (p.y - c.y) - (a.y - c.y) * (p.x - c.x);
                    covered += (d1 > 0 && d2 > 0 && d3 > 0) || (d1 < 0 && d2 < 0 && d3 < 0) ? 1 : 0;
                }
                return covered % 2 == 1;
            };
            for (std::size_t k = 1; k + 1 < face.size(); ++k) {
                const SpatialPoint &a = mesh.vertices[face[0]], &b = mesh.vertices[face[k]],
                                   &c = mesh.vertices[face[k + 1]];
                // Off the triangle's centre, which may fall on an edge of the next one.
                const SpatialPoint centre{0.53 * a.x + 0.29 * b.x + 0.18 * c.x, 0.53 * a.y + 0.29 * b.y + 0.18 * c.y,
                                          0.53 * a.z + 0.29 * b.z + 0.18 * c.z};
                if (!onFace(centre)) continue;
                const double e = 1e-3 / len;
                const SpatialPoint out{centre.x + e * n.x, centre.y + e * n.y, centre.z + e * n.z};
                const SpatialPoint in{centre.x - e * n.x, centre.y - e * n.y, centre.z - e * n.z};
                inward += insideSolid(mesh, faces, out) || !insideSolid(mesh, faces, in) ? 1 : 0;
                break;
            }
        }
    }
    return inward;
}

}  // namespace

TEST(Primitives, SolidsFaceOutwardOnEveryFootprint) {
    lod2fit::RoofParams p;
    const std::vector<geodesy::PlanarPoint> square = {{0, 0}, {10, 0}, {10, 6}, {0, 6}};
    const std::vector<geodesy::PlanarPoint> l = {{0, 0}, {12, 0}, {12, 10}, {7, 10}, {7, 5}, {0, 5}};
    const std::vector<geodesy::PlanarPoint> t = {{0, 0}, {12, 0}, {12, 5}, {8, 5}, {8, 11}, {4, 11}, {4, 5}, {0, 5}};
    for (const lod2fit::RoofPrimitive* primitive : lod2fit::primitiveRegistry()) {
        lod2fit::RoofMesh mesh = primitive->build(p, square);
        lod2fit::turnFacesOutward(mesh);
        EXPECT_EQ(inwardFaces(mesh), 0) << primitive->name();
    }
    for (const char* name : {"Flat", "Shed"}) {
        for (const auto* plan : {&l, &t}) {
            lod2fit::RoofMesh mesh = lod2fit::findPrimitive(name).build(p, *plan);
            lod2fit::turnFacesOutward(mesh);
            EXPECT_EQ(inwardFaces(mesh), 0) << name << " " << plan->size();
        }
    }
    // The base of a flat block looks down, its top up.
    lod2fit::RoofMesh flat = lod2fit::findPrimitive("Flat").build(p, {{0, 0}, {4, 0}, {4, 4}, {0, 4}});
    lod2fit::turnFacesOutward(flat);
    EXPECT_EQ(flat.faces.front(), (std::vector<std::int32_t>{3, 2, 1, 0}));
    EXPECT_EQ(flat.faces.back(), (std::vector<std::int32_t>{4, 5, 6, 7}));
}

// The morph maker through the model host: faces made as polygons or triangles (holes kept open, large faces in
// bounded work), welding, the retries, bodies closed and turned outward, and every real sheet's buildings as
// closed, outward-facing bodies.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <map>

#include "HostileShapes.h"
#include "buildings/CityGmlSheet.h"
#include "buildings/MorphMaker.h"
#include "model/ModelHost.h"
#include "support/TestSupport.h"

namespace {

using buildings::MorphFace;

class MorphMakerTest : public ::testing::Test {
protected:
    void SetUp() override { host::installHost(&model); }
    void TearDown() override { host::installHost(nullptr); }

    host::MorphElement lastMorph() {
        std::vector<host::ElementId> ids;
        EXPECT_EQ(model.listElements(host::kElemMorph, 0, ids), host::kHostOk);
        host::MorphElement m;
        if (!ids.empty()) {
            EXPECT_EQ(model.getMorph(ids.back(), m), host::kHostOk);
        }
        return m;
    }
    model::ModelHost model;
};

MorphFace face(std::vector<std::array<double, 3>> pts, std::vector<std::vector<std::array<double, 3>>> holes = {}) {
    MorphFace f;
    for (const auto& p : pts) {
        f.points.push_back({p[0], p[1]});
        f.z.push_back(p[2]);
    }
    for (const auto& hole : holes) {
        const MorphFace h = face(hole);
        f.holes.push_back({h.points, h.z});
    }
    return f;
}

MorphFace reversed(MorphFace f) {
    std::reverse(f.points.begin(), f.points.end());
    std::reverse(f.z.begin(), f.z.end());
    return f;
}

// The faces of an upright prism over an anticlockwise outline, facing outward, from z0 to z1.
std::vector<MorphFace> prism(const std::vector<std::array<double, 2>>& outline, double z0, double z1) {
    std::vector<MorphFace> out;
    std::vector<std::array<double, 3>> bottom, top;
    for (auto it = outline.rbegin(); it != outline.rend(); ++it) bottom.push_back({(*it)[0], (*it)[1], z0});
    for (const auto& p : outline) top.push_back({p[0], p[1], z1});
    out.push_back(face(bottom));
    out.push_back(face(top));
    for (std::size_t k = 0; k < outline.size(); ++k) {
        const auto& p = outline[k];
        const auto& q = outline[(k + 1) % outline.size()];
        out.push_back(face({{p[0], p[1], z0}, {q[0], q[1], z0}, {q[0], q[1], z1}, {p[0], p[1], z1}}));
    }
    return out;
}

// Every edge walked exactly once in each direction: a closed, consistently oriented shell.
bool closedShell(const host::MorphElement& m) {
    std::map<std::int32_t, std::pair<int, int>> uses;
    for (const auto& poly : m.polygons)
        for (std::int32_t e : poly.edges) {
            if (e > 0) ++uses[e].first;
            else ++uses[-e].second;
        }
    if (uses.size() != m.edges.size()) return false;
    for (const auto& [edge, count] : uses)
        if (count != std::make_pair(1, 1)) return false;
    return true;
}

// Signed volume of the polygons (positive when they face outward).
double signedVolume(const host::MorphElement& m) {
    double v = 0.0;
    for (const auto& poly : m.polygons) {
        std::vector<host::HostPoint3> loop;
        for (std::int32_t e : poly.edges) {
            const auto& edge = m.edges[static_cast<std::size_t>(std::abs(e) - 1)];
            loop.push_back(m.vertices[static_cast<std::size_t>((e > 0 ? edge.from : edge.to) - 1)]);
        }
        for (std::size_t k = 1; k + 1 < loop.size(); ++k) {
            const auto &a = loop[0], &b = loop[k], &c = loop[k + 1];
            v += (a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) + a.z * (b.x * c.y - b.y * c.x)) / 6.0;
        }
    }
    return v;
}

TEST_F(MorphMakerTest, FacesAsPolygonsOrTriangles) {
    struct Case {
        const char* what;
        MorphFace face;
        bool triangulateAll;
        std::size_t polygons;
        int counter;  // the statistics counter the face lands in besides "faces seen"
    } cases[] = {
        {"flat rectangle", face({{0, 0, 5}, {4, 0, 5}, {4, 3, 5}, {0, 3, 5}}), false, 1, buildings::kPlanarConvex},
        {"L-shaped flat roof", face({{0, 0, 5}, {4, 0, 5}, {4, 1, 5}, {1, 1, 5}, {1, 3, 5}, {0, 3, 5}}), false, 4,
         buildings::kPlanarConcave},
        {"warped quad", face({{0, 0, 5}, {4, 0, 5}, {4, 3, 5.2}, {0, 3, 5}}), false, 2, buildings::kNonPlanar},
        {"square with a square hole",
         face({{0, 0, 5}, {4, 0, 5}, {4, 4, 5}, {0, 4, 5}}, {{{1, 1, 5}, {1, 3, 5}, {3, 3, 5}, {3, 1, 5}}}), false, 8,
         buildings::kPlanarConcave},
        // Walked twice round, every candidate ear holds a point of the second round: no ear, a fan.
        {"self-overlapping ring",
         face({{0, 0, 5}, {1, 0, 5}, {1, 1, 5}, {0, 1, 5}, {0, 0, 5.5}, {1, 0, 5}, {1, 1, 5}, {0, 1, 5}}), true, 6,
         buildings::kFanFallback},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        buildings::TriangulationStats stats;
        const std::string id = "B-1";
        ASSERT_EQ(buildings::makeMorph({c.face}, 1, c.triangulateAll, false, 1, &stats, &id), host::kHostOk);
        const host::MorphElement m = lastMorph();
        EXPECT_EQ(m.polygons.size(), c.polygons);
        EXPECT_EQ(stats.counts[buildings::kFacesSeen], 1);
        EXPECT_EQ(stats.counts[static_cast<std::size_t>(c.counter)], 1);
        for (const auto& p : m.polygons) EXPECT_TRUE(p.hasMaterial && p.material == 1);
    }
    EXPECT_EQ(buildings::makeMorph({}, 1, false, true, 1, nullptr, nullptr), buildings::kMorphNoFaces);
}

TEST_F(MorphMakerTest, WeldingSharesEdgesAndTheLastAttemptDoesNot) {
    // A unit cube, outward faces.
    const std::vector<MorphFace> cube = {
        face({{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}}), face({{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}}),
        face({{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}}), face({{1, 0, 0}, {1, 1, 0}, {1, 1, 1}, {1, 0, 1}}),
        face({{1, 1, 0}, {0, 1, 0}, {0, 1, 1}, {1, 1, 1}}), face({{0, 1, 0}, {0, 0, 0}, {0, 0, 1}, {0, 1, 1}}),
    };
    ASSERT_EQ(buildings::makeMorph(cube, 1, false, true, 1, nullptr, nullptr), host::kHostOk);
    host::MorphElement m = lastMorph();
    EXPECT_EQ(m.vertices.size(), 8u);
    EXPECT_TRUE(closedShell(m));
    EXPECT_NEAR(signedVolume(m), 1.0, 1e-12);
    ASSERT_EQ(buildings::makeMorph(cube, 1, true, false, 1, nullptr, nullptr), host::kHostOk);
    m = lastMorph();
    EXPECT_EQ(m.polygons.size(), 12u);
    EXPECT_NEAR(signedVolume(m), 1.0, 1e-12);  // triangles keep each face's winding

    // The first two attempts refused by the host: the third (unwelded) one makes the morph.
    int refusals = 2;
    model.injectFault(model::HostOp::CreateElement, [&refusals](const model::HostCall&) {
        return refusals-- > 0 ? host::kHostBadPars : host::kHostOk;
    });
    ASSERT_EQ(buildings::makeMorphWithRetries(cube, 1, 1), host::kHostOk);
    EXPECT_EQ(lastMorph().vertices.size(), 24u);
}

// Twice the area of a triangle polygon in plan.
double planArea2(const host::MorphElement& m, const host::MorphPolygon& poly) {
    std::vector<host::HostPoint3> p;
    for (std::int32_t e : poly.edges) {
        const auto& edge = m.edges[static_cast<std::size_t>(std::abs(e) - 1)];
        p.push_back(m.vertices[static_cast<std::size_t>((e > 0 ? edge.from : edge.to) - 1)]);
    }
    return (p[1].x - p[0].x) * (p[2].y - p[0].y) - (p[1].y - p[0].y) * (p[2].x - p[0].x);
}

TEST_F(MorphMakerTest, BodiesCloseOutwardWithTheirCourtyardsOpen) {
    // A 20 m square block round a 10 m courtyard, 6 m high: ground and roof with their hole, walls out and in.
    std::vector<MorphFace> courtyard = {
        face({{0, 0, 0}, {0, 20, 0}, {20, 20, 0}, {20, 0, 0}}, {{{5, 5, 0}, {15, 5, 0}, {15, 15, 0}, {5, 15, 0}}}),
        reversed(
            face({{0, 0, 6}, {20, 0, 6}, {20, 20, 6}, {0, 20, 6}}, {{{5, 5, 6}, {5, 15, 6}, {15, 15, 6}, {15, 5, 6}}})),
    };
    for (const MorphFace& wall : prism({{{0, 0}}, {{20, 0}}, {{20, 20}}, {{0, 20}}}, 0, 6)) courtyard.push_back(wall);
    courtyard.erase(courtyard.begin() + 2, courtyard.begin() + 4);  // the prism's own ground and roof
    for (const MorphFace& wall : prism({{{5, 5}}, {{5, 15}}, {{15, 15}}, {{15, 5}}}, 0, 6))
        courtyard.push_back(reversed(wall));  // inner walls face the courtyard
    courtyard.erase(courtyard.begin() + 6, courtyard.begin() + 8);
    courtyard[3] = reversed(courtyard[3]);  // one wall wound inward in the file

    std::vector<MorphFace> parts = prism({{{0, 0}}, {{10, 0}}, {{10, 10}}, {{0, 10}}}, 0, 6);
    for (const MorphFace& f : prism({{{10, 0}}, {{20, 0}}, {{20, 10}}, {{10, 10}}}, 0, 6)) parts.push_back(f);
    std::vector<MorphFace> inward = prism({{{0, 0}}, {{1, 0}}, {{1, 1}}, {{0, 1}}}, 0, 1);
    for (MorphFace& f : inward) f = reversed(f);

    struct Case {
        const char* what;
        std::vector<MorphFace> faces;
        double volume;
        std::size_t polygons;
    } cases[] = {
        {"courtyard block with a wall wound inward", courtyard, 6 * (400 - 100), 8 + 8 + 8},
        {"two parts sharing a wall: the wall goes", parts, 6 * 200, 10},
        {"a cube wound inward", inward, 1, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(buildings::makeMorph(c.faces, 1, false, true, 1, nullptr, nullptr), host::kHostOk);
        const host::MorphElement m = lastMorph();
        EXPECT_TRUE(closedShell(m));
        EXPECT_NEAR(signedVolume(m), c.volume, 1e-9);
        EXPECT_EQ(m.polygons.size(), c.polygons);
    }
}

// A comb of 8,004 corners (2,000 teeth) as one face, and one with a hole: clipped in bounded work, the triangles
// covering the face once.
TEST_F(MorphMakerTest, LargeConcaveFacesAreClippedNotFanned) {
    constexpr int kTeeth = 2000;
    std::vector<std::array<double, 3>> outline;
    for (const geodesy::PlanarPoint& p : sim::combOutline(kTeeth, 1.0)) outline.push_back({p.x, p.y, 0});
    const MorphFace comb = face(outline);
    const double combArea = kTeeth * 10.0 + (kTeeth * 2.0 + 1) * 5.0;
    const MorphFace holed = face(outline, {{{10, -4, 0}, {10, -1, 0}, {3000, -1, 0}, {3000, -4, 0}}});
    for (const auto& [f, areaWanted] : {std::pair{comb, combArea}, {holed, combArea - 2990 * 3}}) {
        buildings::TriangulationStats stats;
        ASSERT_EQ(buildings::makeMorph({f}, 1, false, true, 1, &stats, nullptr), host::kHostOk);
        const host::MorphElement m = lastMorph();
        double covered = 0.0;
        for (const auto& poly : m.polygons) covered += std::abs(planArea2(m, poly)) / 2.0;
        EXPECT_NEAR(covered, areaWanted, 1e-6);
        EXPECT_EQ(stats.counts[buildings::kEarClipped], 1);
        EXPECT_EQ(stats.counts[buildings::kFanFallback], 0);
    }
}

// Every real sheet's LOD2 buildings as morphs near the origin, in metres (sheets in degrees, latitude first, are
// taken to local metres east and north), checked by the edge count and signed volume above. The bodies that stay
// open are open in the files themselves (gaps of millimetres to centimetres between walls and roofs, edges shared
// by three rings, parts that touch along part of a wall).
TEST_F(MorphMakerTest, RealBuildingsAreClosedAndFaceOutward) {
    struct Sheet {
        const char* file;
        int atLeast;
    } sheets[] = {
        {"citygml/lod2/berlin_open_data_sample_data.citygml", 57},
        {"citygml/lod2/kit_fzk_LOD2_Buildings_v200.gml", 100},
        {"citygml/sheets/berlin_3890_5819.gml", 38},
        {"citygml/sheets/berlin_DEB_LOD2_UUID_cda3726a-7346-4ba8-a393-90964d0c8697.gml", 1},
        {"citygml/sheets/nrw_LoD2_32_326_5723_1_NW.gml", 26},
        {"citygml/sheets/plateau_sapporo_64413325_bldg_6697_op.gml", 25},
        {"citygml/sheets/plateau_yokosuka_52397519_bldg_6697_op.gml", 13},
        {"citygml/sheets/vienna_Fichtegasse_city.gml", 1},
    };
    for (const Sheet& sheet : sheets) {
        SCOPED_TRACE(sheet.file);
        GD_REQUIRE_REALDATA(sheet.file);
        const auto all =
            buildings::parseLod2Sheet(testsupport::readFile(testsupport::realdata(sheet.file)), {-1e9, -1e9, 1e9, 1e9});
        ASSERT_FALSE(all.empty());
        int good = 0;
        for (const auto& b : all) {
            const double x0 = b.surfaces[0].ring[0].x, y0 = b.surfaces[0].ring[0].y, z0 = b.surfaces[0].z[0];
            const bool degrees = std::abs(x0) <= 90 && std::abs(y0) <= 180;
            const double metre = 6371000.0 * std::acos(-1.0) / 180.0;
            auto local = [&](const geodesy::PlanarPoint& p) -> geodesy::PlanarPoint {
                if (degrees) return {(p.y - y0) * metre * std::cos(x0 * std::acos(-1.0) / 180.0), (p.x - x0) * metre};
                return {p.x - x0, p.y - y0};
            };
            auto ring = [&](const std::vector<geodesy::PlanarPoint>& xy, const std::vector<double>& z) {
                buildings::MorphRing r;
                for (std::size_t k = 0; k < xy.size(); ++k) {
                    r.points.push_back(local(xy[k]));
                    r.z.push_back(z[k] - z0);
                }
                return r;
            };
            std::vector<MorphFace> faces;
            for (const auto& s : b.surfaces) {
                buildings::MorphRing outline = ring(s.ring, s.z);
                faces.push_back({outline.points, outline.z, {}});
                for (const auto& h : s.holes) faces.back().holes.push_back(ring(h.ring, h.z));
            }
            ASSERT_EQ(buildings::makeMorph(faces, 1, false, true, 1, nullptr, &b.id), host::kHostOk) << b.id;
            const host::MorphElement m = lastMorph();
            if (closedShell(m) && signedVolume(m) > 0.0) ++good;
        }
        std::printf("%s: closed and outward %d of %zu\n", sheet.file, good, all.size());
        EXPECT_GE(good, sheet.atLeast);
    }
}

}  // namespace

// The morph maker through the model host: faces made as polygons or triangles, welding, the retries, and the
// real LOD2 sheets as closed, outward-facing bodies.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>

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

MorphFace face(std::vector<std::array<double, 3>> pts) {
    MorphFace f;
    for (const auto& p : pts) {
        f.points.push_back({p[0], p[1]});
        f.z.push_back(p[2]);
    }
    return f;
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

// The four open bodies of the Berlin sheet are open in the file itself (gaps of 3 to 53 mm between walls and
// roofs, edges shared by three rings), so the share is taken over every real LOD2 building.
TEST_F(MorphMakerTest, RealLod2BuildingsAreClosedAndFaceOutward) {
    int good = 0, total = 0;
    for (const char* file :
         {"citygml/lod2/berlin_open_data_sample_data.citygml", "citygml/lod2/kit_fzk_LOD2_Buildings_v200.gml"}) {
        SCOPED_TRACE(file);
        GD_REQUIRE_REALDATA(file);
        const auto all =
            buildings::parseLod2Sheet(testsupport::readFile(testsupport::realdata(file)), {-1e9, -1e9, 1e9, 1e9});
        ASSERT_FALSE(all.empty());
        for (const auto& b : all) {
            ++total;
            // Near the origin, as placement puts them, so that millimetre welding sees project coordinates.
            const double x0 = b.surfaces[0].ring[0].x, y0 = b.surfaces[0].ring[0].y, z0 = b.surfaces[0].z[0];
            std::vector<MorphFace> faces;
            for (const auto& s : b.surfaces) {
                MorphFace f;
                for (std::size_t k = 0; k < s.ring.size(); ++k) {
                    f.points.push_back({s.ring[k].x - x0, s.ring[k].y - y0});
                    f.z.push_back(s.z[k] - z0);
                }
                faces.push_back(std::move(f));
            }
            ASSERT_EQ(buildings::makeMorph(faces, 1, false, true, 1, nullptr, &b.id), host::kHostOk) << b.id;
            const host::MorphElement m = lastMorph();
            if (closedShell(m) && signedVolume(m) > 0.0) ++good;
        }
    }
    const double share = 100.0 * good / total;
    std::printf("closed and outward: %d of %d real LOD2 buildings (%.1f %%)\n", good, total, share);
    EXPECT_GE(share, 95.0);
}

}  // namespace

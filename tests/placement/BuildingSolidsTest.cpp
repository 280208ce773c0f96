// LOD1 and LOD2 buildings placed through "place": slabs and morphs at their heights, LOD2 winning over LOD1,
// retries and skipped buildings in the report line, and the diagnostics.
#include "HostileShapes.h"
#include "PlacementFixture.h"
#include "settings/Diagnostics.h"

namespace importer {

namespace {

std::string diag(const char* name) { return testsupport::readFile(settings::diagnosticPath(name)); }

// A gabled box of LOD2 surfaces over a 10 x 8 m footprint at (x, y), ground at z.
buildings::BuildingLod2 house(const std::string& id, geodesy::PlanarPoint o, double z) {
    const double x0 = o.x, x1 = o.x + 10, y0 = o.y, y1 = o.y + 8, ym = o.y + 4, ze = z + 6, zr = z + 9;
    using P = std::array<double, 3>;
    const std::vector<std::vector<P>> rings = {
        {{x0, y0, z}, {x0, y1, z}, {x1, y1, z}, {x1, y0, z}, {x0, y0, z}},
        {{x0, y0, z}, {x1, y0, z}, {x1, y0, ze}, {x0, y0, ze}},
        {{x1, y1, z}, {x0, y1, z}, {x0, y1, ze}, {x1, y1, ze}},
        {{x0, y1, z}, {x0, y0, z}, {x0, y0, ze}, {x0, ym, zr}, {x0, y1, ze}},
        {{x1, y0, z}, {x1, y1, z}, {x1, y1, ze}, {x1, ym, zr}, {x1, y0, ze}},
        {{x0, y0, ze}, {x1, y0, ze}, {x1, ym, zr}, {x0, ym, zr}},
        {{x1, y1, ze}, {x0, y1, ze}, {x0, ym, zr}, {x1, ym, zr}},
    };
    buildings::BuildingLod2 b{id, {}, 1030};
    for (const auto& r : rings) {
        buildings::Lod2Surface s;
        for (const P& p : r) {
            s.ring.push_back({p[0], p[1]});
            s.z.push_back(p[2]);
        }
        b.surfaces.push_back(s);
    }
    return b;
}

}  // namespace

using BuildingSolids = PlacementFixture;

TEST_F(BuildingSolids, Lod2WinsOverLod1AndBothStandOnTheSurveyHeight) {
    const geodesy::PlanarPoint origin = georeferenceExact(centre());
    setSurveyHeight(100.0);
    const geodesy::PlanarPoint a = at(0, 0), b = at(40, 0);
    FetchedData data;
    auto square = [](geodesy::PlanarPoint p) {
        return std::vector<geodesy::PlanarPoint>{p, {p.x + 10, p.y}, {p.x + 10, p.y + 8}, {p.x, p.y + 8}, p};
    };
    data.buildings3d = {
        {"pl.b1", square(a), 102.0, 9.0}, {"PL.B2", square(b), 103.0, 7.0}, {"", square(at(80, 0)), 101, 0}};
    for (int k = 0; k < 7; ++k)
        data.buildings3d.push_back({"x" + std::to_string(k), square(at(100 + 20 * k, 0)), 100, 3});
    data.buildings3dRequested = true;
    data.buildingsLod2 = {house("PL.B1", a, 102.0), {"PL.B2", {{{{0, 0}, {1, 1}}, {1, 2}}}, 0}, house("", b, 103.0)};
    fetchPrepared(data, {"budynki3d", "budynkilod2"});

    const nlohmann::json done = place();
    ASSERT_EQ(done["type"], "placeDone") << done;
    // b1 has a LOD2 twin (letters of another case); B2's twin has no usable surface; the third LOD1 has no height.
    EXPECT_EQ(done["counts"], (nlohmann::json{{"budynki3d", 8}, {"budynkilod2", 2}}));
    EXPECT_EQ(done["warning"], "Pominieto 2 wadliwych geometrii lub bryl.");
    const auto slabs = elements<host::SlabElement>();
    ASSERT_EQ(slabs.size(), 8u);
    EXPECT_DOUBLE_EQ(slabs[0].level, 3.0);
    EXPECT_DOUBLE_EQ(slabs[0].thickness, 7.0);
    expectNear(slabs[0].contours[0][0], expected(b, origin));
    const auto morphs = elements<host::MorphElement>();
    ASSERT_EQ(morphs.size(), 2u);
    double lowest = 1e9;
    for (const auto& v : morphs[0].vertices) lowest = std::min(lowest, v.z);
    EXPECT_DOUBLE_EQ(lowest, 2.0);
    EXPECT_EQ(morphs[0].polygons.size(), 7u);  // every face planar and convex

    EXPECT_TRUE(
        hasReport("TERRAVOX LOD2: utworzono 2 (czyste: 2, triangulacja: 0, zupa: 0), pominieto 1 (zdegenerowane: 1)"));
    const std::string z = diag(settings::kZDiagFile);
    EXPECT_NE(z.find("\nLOD1: zOff=100 (buildingZOffset) budynkow=10\n  LOD1 #0 groundZ_npm=102 height=9 "
                     "bazaLokalna=2\n"),
              std::string::npos)
        << z;
    EXPECT_NE(z.find("  LOD1 #5 "), std::string::npos);
    EXPECT_EQ(z.find("  LOD1 #6 "), std::string::npos);
}

TEST_F(BuildingSolids, RefusedMorphsAreRetriedThenSkippedWithTheirCode) {
    georeferenceExact(centre());
    FetchedData data;
    data.buildingsLod2 = {house("h1", at(0, 0), 100), house("h2", at(30, 0), 100)};
    fetchPrepared(data, {"budynkilod2"});
    // The first house's first attempt and every attempt of the second are refused.
    auto calls = std::make_shared<int>(0);
    model.injectFault(model::HostOp::CreateElement, [calls](const model::HostCall& c) {
        if (c.code != host::kElemMorph) return host::kHostOk;
        return ++*calls == 2 ? host::kHostOk : host::kHostBadPars;
    });
    placed(nlohmann::json{{"budynkilod2", 1}});
    EXPECT_EQ(elements<host::MorphElement>()[0].polygons.size(), 16u);  // the triangulated attempt
    EXPECT_TRUE(hasReport(
        "TERRAVOX LOD2: utworzono 1 (czyste: 0, triangulacja: 1, zupa: 0), pominieto 1 (zdegenerowane: 0); blad "
        "Morph kod " +
        std::to_string(host::kHostBadPars) + " x1"));
}

// A flat face of 32,004 vertices (a comb of 1 cm teeth) is beyond what the clipper may spend on one face: drawn as a
// fan, and the building is named in the report.
TEST_F(BuildingSolids, AFaceBeyondTheClippersBudgetIsNamed) {
    georeferenceExact(centre());
    const geodesy::PlanarPoint o = at(0, 0);
    buildings::Lod2Surface comb;
    comb.ring = sim::combOutline(8000, 0.01, o);
    comb.z.assign(comb.ring.size(), 100.0);
    FetchedData data;
    data.buildingsLod2 = {house("h1", at(0, 30), 100), {"grzebien", {comb}, 1030}};
    fetchPrepared(data, {"budynkilod2"});
    placed(nlohmann::json{{"budynkilod2", 2}});
    EXPECT_TRUE(
        hasReport("TERRAVOX LOD2: 1 budynkow ma sciane zbyt zlozona do triangulacji - narysowana uproszczona, "
                  "sprawdz: grzebien"));
}

// A courtyard through placement: the slab keeps it as a hole (the outline anticlockwise, the hole clockwise,
// whatever the file's winding), the LOD2 roof keeps it open.
TEST_F(BuildingSolids, CourtyardsStayOpen) {
    georeferenceExact(centre());
    const geodesy::PlanarPoint o = at(0, 0);
    auto square = [&o](double a, double b, bool anticlockwise) {
        std::vector<geodesy::PlanarPoint> r{
            {o.x + a, o.y + a}, {o.x + b, o.y + a}, {o.x + b, o.y + b}, {o.x + a, o.y + b}};
        if (!anticlockwise) std::reverse(r.begin(), r.end());
        return r;
    };
    FetchedData data;
    data.buildings3d = {{"c1", square(0, 20, false), 100, 6, {square(5, 15, true)}}};
    data.buildings3dRequested = true;
    buildings::Lod2Surface roof{
        square(0, 20, true), std::vector<double>(4, 106), {{square(5, 15, true), std::vector<double>(4, 106)}}};
    data.buildingsLod2 = {{"c2", {roof}, 0}};
    fetchPrepared(data, {"budynki3d", "budynkilod2"});
    placed(nlohmann::json{{"budynki3d", 1}, {"budynkilod2", 1}});
    auto area = [](const std::vector<host::HostPoint2>& r) {
        double s = 0.0;
        for (std::size_t k = 0; k + 1 < r.size(); ++k) s += r[k].x * r[k + 1].y - r[k + 1].x * r[k].y;
        return s / 2.0;
    };
    const auto slab = elements<host::SlabElement>().at(0);
    ASSERT_EQ(slab.contours.size(), 2u);
    EXPECT_NEAR(area(slab.contours[0]), 400, 2);  // the zone's scale aside
    EXPECT_NEAR(area(slab.contours[1]), -100, 0.5);
    const auto morph = elements<host::MorphElement>().at(0);
    double covered = 0.0;
    for (const auto& poly : morph.polygons) {
        std::vector<host::HostPoint2> loop;
        for (std::int32_t e : poly.edges) {
            const auto& edge = morph.edges[static_cast<std::size_t>(std::abs(e) - 1)];
            const auto& v = morph.vertices[static_cast<std::size_t>((e > 0 ? edge.from : edge.to) - 1)];
            loop.push_back({v.x, v.y});
        }
        loop.push_back(loop.front());
        covered += area(loop);
    }
    EXPECT_NEAR(covered, 300, 1.5);
}

}  // namespace importer

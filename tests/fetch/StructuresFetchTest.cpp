// The structure branches of a fetch against the simulator's structures site: LOD2 reconstruction and flat roofs
// from the LiDAR sheet, blocks from the surface model, bridges and roads along the Overpass ways.
#include <gtest/gtest.h>

#include <algorithm>

#include "ElevationScenario.h"
#include "FetchFixture.h"
#include "StructuresScenario.h"

namespace importer {

namespace {

class Structures : public SimulatorFixture {
protected:
    Structures()
        : SimulatorFixture({.hostIntervalMs = 0, .retryDelayMs = 10, .defaultReceiveTimeoutMs = 20000},
                           sim::buildStructuresScenario) {}

    // Runs the groups in order over the frame with the site's buildings as the LOD1 footprints (or none).
    FetchedData run(std::initializer_list<void (*)(FetchContext&)> groups, const std::vector<std::string>& keys,
                    const geodesy::Bbox& frame = sim::structures::siteFrame(), bool footprints = true) {
        FetchedData data;
        for (const sim::roofs::KnownBuilding& b : sim::structures::siteBuildings())
            if (footprints) data.buildings3d.push_back({"", b.footprint(), b.groundZ, b.eaveZ - b.groundZ});
        FetchContext ctx(client, municipalities, data);
        ctx.frame = frame;
        ctx.keys = keys;
        ctx.progressFor = [this](const std::string& label) {
            labels.push_back(label);
            return [](std::int64_t, std::int64_t) { return true; };
        };
        for (const auto group : groups) group(ctx);
        return data;
    }

    net::MunicipalityCache municipalities;
    std::vector<std::string> labels;
};

}  // namespace

TEST_F(Structures, ReconstructionGivesTheKnownRoofTypes) {
    const FetchedData data = run({fetchReconstructionGroup}, {"budynkirekon"});
    const auto& known = sim::structures::siteBuildings();
    ASSERT_EQ(data.buildingsRekon.size(), known.size()) << data.warning;
    int right = 0;
    for (std::size_t i = 0; i < known.size(); ++i) {
        right += data.buildingsRekon[i].typeName == sim::roofs::shapeName(known[i].shape);
        // Hipped roofs have two opposite pairs of planes and are always marked doubtful.
        EXPECT_EQ(data.buildingsRekon[i].fallback, known[i].shape == sim::roofs::Shape::Hipped) << i;
    }
    EXPECT_GE(right, 18);
    EXPECT_NE(data.warning.find("Rekonstrukcja LOD2: 1 kafli, "), std::string::npos) << data.warning;
    EXPECT_NE(data.warning.find(" pkt, 20 budynkow, Ok(class)=16; typy: AsymGabled=4 Flat=4 Gabled=4 Hipped=4 Shed=4"),
              std::string::npos)
        << data.warning;
    EXPECT_TRUE(hasLabel(labels, "Rekonstrukcja LOD2: pobieranie kafli LiDAR"));
    EXPECT_TRUE(hasLabel(labels, "Rekonstrukcja LOD2: dopasowanie"));
}

TEST_F(Structures, FlatRoofsSitBetweenEaveAndRidge) {
    const FetchedData data = run({fetchCloudRoofsGroup}, {"dachychmura"});
    const auto& known = sim::structures::siteBuildings();
    ASSERT_EQ(data.roofsCloud.size(), known.size()) << data.warning;
    for (std::size_t i = 0; i < known.size(); ++i) {
        const auto& roof = data.roofsCloud[i];
        EXPECT_FALSE(roof.fallback) << i;
        EXPECT_GT(roof.coverage, 0.6);
        ASSERT_EQ(roof.vertices.size(), 4u);
        EXPECT_GE(roof.vertices[0].z, known[i].eaveZ - 0.2);
        EXPECT_LE(roof.vertices[0].z, known[i].ridgeZ + 0.2);
    }
    EXPECT_TRUE(hasLabel(labels, "Dachy z chmury: model terenu"));
}

TEST_F(Structures, SurfaceModelBlocksStandOnTheTerrain) {
    const FetchedData data = run({fetchNdsmBuildingsGroup}, {"budynkindsm"});
    const auto& known = sim::structures::siteBuildings();
    ASSERT_EQ(data.buildingsNdsm.size(), known.size()) << data.warning;
    for (std::size_t i = 0; i < known.size(); ++i) {
        const buildings::StructureResult& b = data.buildingsNdsm[i];
        EXPECT_FALSE(b.fallback);
        ASSERT_EQ(b.polygons.size(), 5u);  // roof and four walls
        EXPECT_GE(b.polygons[0][0].z, known[i].eaveZ - 0.05);
        EXPECT_LE(b.polygons[0][0].z, known[i].ridgeZ + 0.05);
        EXPECT_NEAR(b.polygons[1][2].z, 180.0, 0.01);
    }
}

TEST_F(Structures, CloudBranchesSayWhyNothingWasFitted) {
    const geodesy::Bbox site = sim::structures::siteFrame();
    const geodesy::Bbox emptyCorner{site.minE, site.minN, site.minE + 20, site.minN + 20};
    const geodesy::Bbox hills = sim::elevation::frameAround(sim::elevation::kHills, 200, 200);
    struct Case {
        void (*group)(FetchContext&);
        geodesy::Bbox frame;
        bool footprints;
        const char* note;
    };
    const Case cases[] = {
        {fetchReconstructionGroup, site, false,
         "Rekonstrukcja LOD2: brak obrysow budynkow (Building3D) dla tego kadru."},
        {fetchCloudRoofsGroup, site, false,
         "Dachy z chmury: brak obrysow budynkow (Building3D) dla tego kadru - nie ma na czym oprzec dachu."},
        {fetchCloudRoofsGroup,
         {100000, 100000, 100100, 100100},
         true,
         "Dachy z chmury: brak danych LiDAR dla tego obszaru."},
        {fetchReconstructionGroup, emptyCorner, true, "Rekonstrukcja LOD2: chmura pusta w kadrze."},
        {fetchCloudRoofsGroup, hills, true,
         "Dachy z chmury: kafle LiDAR sa w obcej strefie (PL-2000) - reprojekcja niezaimplementowana w tym watku, "
         "pominieto 1"},
        {fetchReconstructionGroup, hills, true,
         "Rekonstrukcja LOD2: kafle LiDAR w obcej strefie (PL-2000), pominieto 1"},
        {fetchNdsmBuildingsGroup,
         {100000, 100000, 100100, 100100},
         true,
         "Budynki (nMPT): brak pokrycia nMPT lub NMT dla tego kadru."},
    };
    for (const Case& c : cases) {
        const FetchedData data = run({c.group}, {}, c.frame, c.footprints);
        EXPECT_EQ(data.warning.rfind(c.note, 0), 0u) << data.warning;
    }
}

TEST_F(Structures, BridgesAndRoadsFollowTheWaysAtTheirWidths) {
    const FetchedData data = run({fetchBridgesRoadsGroup}, {"mosty", "drogi"});
    ASSERT_EQ(data.bridges.size(), 2u);
    ASSERT_EQ(data.roads.size(), 2u);
    const auto extent = [](const buildings::StructureResult& r) {
        geodesy::Bbox b{1e9, 1e9, -1e9, -1e9};
        for (const auto& quad : r.polygons)
            for (const geodesy::SpatialPoint& p : quad)
                b = {std::min(b.minE, p.x), std::min(b.minN, p.y), std::max(b.maxE, p.x), std::max(b.maxN, p.y)};
        return b;
    };
    // The residential street: 7.5 m wide ("width" tag) along n = centre - 40, cut at the frame, on the terrain.
    const buildings::StructureResult& street = data.roads[0];
    EXPECT_FALSE(street.fallback);
    for (const auto& quad : street.polygons)
        for (const geodesy::SpatialPoint& p : quad) ASSERT_NEAR(p.z, sim::structures::groundHeight(p.x, p.y), 0.02);
    const geodesy::Bbox road = extent(street), frame = sim::structures::siteFrame();
    EXPECT_GE(road.minE, frame.minE);
    EXPECT_LE(road.maxE, frame.maxE);
    EXPECT_NEAR(road.maxN - road.minN, 7.5, 0.5);
    EXPECT_NEAR(road.centre().y, sim::structures::kCentreN - 40, 0.5);
    // The bridge ("lanes" 2: 8 m) carries its deck at the surface model's height over the valley.
    EXPECT_FALSE(data.bridges[0].fallback);
    const geodesy::Bbox deck = extent(data.bridges[0]);
    EXPECT_NEAR(deck.maxE - deck.minE, 8.0, 0.5);
    EXPECT_TRUE(hasLabel(labels, "Mosty/drogi: korytarze"));
}

TEST_F(Structures, RoadsAloneKeepABridgeOnItsDeck) {
    // Without the bridges layer the secondary road over the valley is a road, still on the deck (181 m, meeting
    // the ground of 180 m at its ends), not down in the valley (174 m); only its outer half metre blends into the
    // valley where the surface model's cells straddle the deck's edge.
    const FetchedData data = run({fetchBridgesRoadsGroup}, {"drogi"});
    ASSERT_EQ(data.roads.size(), 3u) << data.warning;
    EXPECT_TRUE(data.bridges.empty());
    const double axis = sim::structures::siteWays()[0].points[0].x;
    double low = 1e9;
    for (const auto& quad : data.roads[0].polygons)
        if (std::fabs(quad[0].x - axis) < 3.5 && std::fabs(quad[1].x - axis) < 3.5)
            for (const geodesy::SpatialPoint& p : quad) low = std::min(low, p.z);
    EXPECT_GT(low, 179.9);
}

TEST_F(Structures, EveryStructureThroughTheSessionProgram) {
    // The footprints come from the county's LOD1 package; only the structures are placed, not the LOD1 blocks.
    const geodesy::Bbox b = sim::structures::siteFrame();
    const geodesy::LatLon sw = geodesy::pl1992ToWgs84(b.minE, b.minN), ne = geodesy::pl1992ToWgs84(b.maxE, b.maxN);
    const geodesy::LatLon centre = geodesy::pl1992ToWgs84(b.centre());
    const nlohmann::json fetch{{"type", "fetch"},
                               {"bboxWgs84", {sw.lon, sw.lat, ne.lon, ne.lat}},
                               {"layers", {"dachychmura", "budynkindsm", "budynkirekon", "mosty", "drogi"}}};
    const nlohmann::json origin{{"type", "setOrigin"}, {"lat", centre.lat}, {"lon", centre.lon}};
    const ProgramRun r =
        runGeodraft(temp.path, "session", {fetch.dump(), "#wait", origin.dump(), "#wait", R"({"type":"place"})"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const nlohmann::json placed = {
        {"dachychmura", 20}, {"budynkindsm", 20}, {"budynkirekon", 20}, {"mosty", 2}, {"drogi", 2}};
    nlohmann::json fetched = placed;
    fetched["budynki3d"] = 20;
    EXPECT_EQ(r.last("fetchDone")["counts"], fetched) << r.err;
    EXPECT_EQ(r.last("placeDone")["counts"], placed) << r.out;
    for (const char* line : {"report: TERRAVOX dachy z chmury: utworzono 20 (do poprawy: 0, pominieto: 0)",
                             "report: TERRAVOX budynki nMPT: utworzono 20 (do poprawy: 0, pominieto: 0)",
                             "report: TERRAVOX rekonstrukcja LOD2: utworzono 20 (do poprawy: 4, pominieto: 0)",
                             "report: TERRAVOX mosty: utworzono 2 (do poprawy: 0, pominieto: 0)"})
        EXPECT_NE(r.err.find(line), std::string::npos) << line << "\n" << r.err;
}

TEST_F(Structures, PackageFootprintsGiveReconstructedRidges) {
    // Package rings repeat their first point; the fitting must still see four corners and raise the ridge.
    const FetchedData data =
        run({fetchBuildings3dGroup, fetchReconstructionGroup}, {"budynkirekon"}, sim::structures::siteFrame(), false);
    const auto& known = sim::structures::siteBuildings();
    ASSERT_EQ(data.buildings3d.size(), known.size()) << data.warning;
    EXPECT_EQ(data.buildings3d[0].footprint.size(), 5u);
    ASSERT_EQ(data.buildingsRekon.size(), known.size()) << data.warning;
    for (std::size_t i = 0; i < known.size(); ++i) {
        if (known[i].shape != sim::roofs::Shape::Gabled) continue;
        double top = -1e9;
        for (const geodesy::SpatialPoint& p : data.buildingsRekon[i].vertices) top = std::max(top, p.z);
        EXPECT_NEAR(top, known[i].ridgeZ, 0.5) << i;
    }
}

}  // namespace importer

// Structures from the cloud and the surface models placed through "place": one morph per solid with its kind's
// material, the correction material for doubtful ones, counts and report lines.
#include "PlacementFixture.h"
#include "buildings/lod2fit/PrimitiveRegistry.h"

namespace importer {

namespace {

class StructurePlacement : public PlacementFixture {
protected:
    // A fitted solid: a gabled building over a 10 x 6 m footprint at (de, dn).
    buildings::RoofFitResult gabled(double de, double dn, bool fallback) const {
        lod2fit::RoofParams p;
        p.groundZ = 100, p.eaveZ = 106, p.ridgeZ = 109;
        const geodesy::PlanarPoint c = at(de, dn);
        const lod2fit::RoofMesh mesh = lod2fit::findPrimitive("Gabled").build(
            p, {{c.x, c.y}, {c.x + 10, c.y}, {c.x + 10, c.y + 6}, {c.x, c.y + 6}});
        return {"Gabled", mesh.vertices, mesh.faces, fallback, 0.1, 0.9};
    }
    buildings::StructureResult deck(double de, bool fallback) const {
        const geodesy::PlanarPoint c = at(de, -30);
        return {{{{c.x, c.y, 101}, {c.x + 8, c.y, 101}, {c.x + 8, c.y + 20, 101.5}, {c.x, c.y + 20, 101.5}}},
                fallback,
                0.5};
    }
    std::int32_t material(const std::string& name, host::HostColour colour) {
        host::Attribute a;
        EXPECT_EQ(model.findAttribute(host::kAttrMaterial, name, a), host::kHostOk) << name;
        EXPECT_EQ(a.colour, colour) << name;
        return a.index;
    }
};

}  // namespace

TEST_F(StructurePlacement, EveryKindIsAMorphWithItsMaterialOrTheCorrectionOne) {
    georeferenceExact(centre());
    FetchedData data;
    data.buildings3d = {buildings::Building3D{"a", {{0, 0}, {1, 0}, {1, 1}}, 100, 6},
                        buildings::Building3D{"b", {{0, 0}, {1, 0}, {1, 1}}, 100, 6}};
    data.roofsCloud = {gabled(0, 0, false), gabled(20, 0, true)};
    data.buildingsRekon = {gabled(40, 0, false), gabled(60, 0, true)};
    data.buildingsNdsm = {deck(0, false), deck(20, false)};
    data.bridges = {deck(40, true)};
    data.roads = {deck(60, false)};
    fetchPrepared(data, {"dachychmura", "budynkindsm", "budynkirekon", "mosty", "drogi"});
    const nlohmann::json done =
        placed(nlohmann::json{{"dachychmura", 2}, {"budynkindsm", 2}, {"budynkirekon", 2}, {"mosty", 1}, {"drogi", 1}});
    EXPECT_FALSE(done.contains("warning")) << done;

    const auto morphs = elements<host::MorphElement>();
    ASSERT_EQ(morphs.size(), 8u);
    const host::HostColour correction{0.9, 0.1, 0.6};
    const std::int32_t roof = material("GIS Dach z chmury", {0.6, 0.55, 0.5});
    const std::int32_t roofFix = material("GIS Dach z chmury - POPRAW", correction);
    const std::int32_t rekon = material("GIS Budynek LOD2 rekon", {0.62, 0.6, 0.55});
    const std::int32_t rekonFix = material("GIS Budynek LOD2 rekon - POPRAW", correction);
    material("GIS Budynek nMPT", {0.6, 0.55, 0.5});
    const std::int32_t bridgeFix = material("GIS Most nMPT - POPRAW", correction);
    material("GIS Droga", {0.3, 0.3, 0.32});
    // Placement order: roofs, surface-model buildings, reconstructed buildings, bridges, roads.
    const std::int32_t expected[] = {roof, roofFix, 0, 0, rekon, rekonFix, bridgeFix, 0};
    for (std::size_t i = 0; i < morphs.size(); ++i) {
        ASSERT_FALSE(morphs[i].polygons.empty()) << i;
        if (expected[i] != 0) {
            EXPECT_EQ(morphs[i].polygons[0].material, expected[i]) << i;
        }
    }
    EXPECT_EQ(morphs[0].layer, layerIndex("GIS_BUDYNKI_LOD2_CHMURA"));
    // The gabled solid is welded into one body: 10 vertices, 9 faces.
    EXPECT_EQ(morphs[0].vertices.size(), 10u);
    EXPECT_EQ(morphs[0].polygons.size(), 9u);
    EXPECT_TRUE(hasReport("TERRAVOX dachy z chmury: utworzono 2 (do poprawy: 1, pominieto: 0)"));
    EXPECT_TRUE(hasReport("TERRAVOX mosty: utworzono 1 (do poprawy: 1, pominieto: 0)"));
}

TEST_F(StructurePlacement, FootprintResultsOutOfStepWithTheFootprintsAreNotPlaced) {
    georeferenceExact(centre());
    FetchedData data;
    data.buildings3d = {buildings::Building3D{"a", {{0, 0}, {1, 0}, {1, 1}}, 100, 6}};
    data.roofsCloud = {gabled(0, 0, false), gabled(20, 0, false)};
    fetchPrepared(data, {"dachychmura"});
    placed(nlohmann::json{{"dachychmura", 0}});
    EXPECT_TRUE(elements<host::MorphElement>().empty());
}

}  // namespace importer

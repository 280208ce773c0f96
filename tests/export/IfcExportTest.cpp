// model.ifc read by web-ifc (npm): the elements by kind, the map conversion, the layers, every product's geometry
// computed without a message and every solid's shell closed, for the sample project and for a session with 3D
// buildings, LiDAR roofs and terrain placed from the simulator.
#include <gtest/gtest.h>

#include <cmath>

#include "IndependentReaders.h"
#include "StructuresScenario.h"
#include "exporter/ModelExport.h"
#include "geodesy/Crs.h"
#include "model/ProjectFile.h"
#include "support/GeodraftRun.h"
#include "support/SimulatorFixture.h"

namespace {

using namespace exporttest;

// What web-ifc reads back must be the project: `state` as its file holds it, exported into `dir`.
void expectIfcIsTheProject(const model::ModelState& state, const std::filesystem::path& dir) {
    const nlohmann::json ifc = readBack(dir / "model.ifc");
    ASSERT_FALSE(ifc.is_null());
    EXPECT_EQ(ifc["logged"], nlohmann::json::array()) << "web-ifc reported problems";
    EXPECT_EQ(ifc["units"], nlohmann::json::array({"METRE"}));

    // Entity counts by type are the elements by kind (a picture is drawn as an annotation with its texture).
    std::map<std::string, int> kinds, layers;
    for (const auto& el : state.elements) {
        static const std::map<std::int32_t, const char*> entity = {{host::kElemMesh, "IFCGEOGRAPHICELEMENT"},
                                                                   {host::kElemSlab, "IFCSLAB"},
                                                                   {host::kElemMorph, "IFCBUILDINGELEMENTPROXY"},
                                                                   {host::kElemPolyline, "IFCANNOTATION"},
                                                                   {host::kElemText, "IFCANNOTATION"},
                                                                   {host::kElemFill, "IFCANNOTATION"},
                                                                   {host::kElemPicture, "IFCANNOTATION"}};
        ++kinds[entity.at(el.header.type)];
        ++layers[state.attributes.at(host::kAttrLayer)[static_cast<std::size_t>(el.header.layer - 1)].name];
    }
    kinds["IFCSITE"] = kinds["IFCPROJECT"] = 1;
    for (const auto& [type, count] : ifc["counts"].items()) EXPECT_EQ(count, kinds[type]) << type;
    using Counts = std::map<std::string, int>;
    EXPECT_EQ(ifc["layers"].get<Counts>(), layers);

    // The map conversion is the project's georeference, to the millimetre.
    const host::GeoLocation& g = state.geoLocation;
    ASSERT_EQ(ifc["conversions"].size(), 1u);
    const auto& c = ifc["conversions"][0];
    EXPECT_EQ(c["crs"], "EPSG:" + std::to_string(geodesy::epsgFromCrsText(g.crsName)));
    EXPECT_EQ(c["verticalDatum"], "PL-EVRF2007-NH");
    EXPECT_NEAR(c["eastings"].get<double>(), g.surveyEasting, 1e-3);
    EXPECT_NEAR(c["northings"].get<double>(), g.surveyNorthing, 1e-3);
    EXPECT_NEAR(c["height"].get<double>(), g.surveyHeight, 1e-3);
    const double rotation = std::atan2(g.xAxisOrdinate, g.xAxisAbscissa);
    // 1 mm at 10 km from the origin.
    EXPECT_NEAR(std::atan2(c["ordinate"].get<double>(), c["abscissa"].get<double>()), rotation, 1e-7);

    // Every product with a body (all but lines and texts) has its geometry; every solid closed and outward where the project's is.
    const auto solids = projectSolids(state.elements);
    std::map<std::string, const nlohmann::json*> shapes;
    for (const auto& s : ifc["shapes"]) shapes[s["id"].get<std::string>()] = &s;
    std::size_t bodies = 0;
    for (const auto& el : state.elements) {
        if (el.header.type == host::kElemPolyline || el.header.type == host::kElemText) continue;
        ++bodies;
        ASSERT_TRUE(shapes.count(el.header.id)) << "no geometry for " << el.header.id;
        const auto& shape = *shapes[el.header.id];
        EXPECT_GT(shape["triangles"].get<int>(), 0) << el.header.id;
        if (const auto it = solids.find(el.header.id); it != solids.end()) {
            EXPECT_EQ(shape["closed"].get<bool>() && shape["volume"].get<double>() > 0, it->second.closedOutward())
                << el.header.id;
        }
    }
    EXPECT_EQ(shapes.size(), bodies);
}

TEST(IfcExport, WebIfcReadsTheSampleProject) {
    if (!haveWebIfc()) GTEST_SKIP() << "web-ifc not installed (scripts/install-deps.sh)";
    model::ModelHost h;
    populate(h);
    testsupport::TempDir dir;
    const exporter::ExportResult result = exporter::exportModel(exporter::snapshotOf(h.state()), dir.path);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_TRUE(result.ifcGeoreferenced);
    expectIfcIsTheProject(h.state(), dir.path);
}

class BuildingSession : public SimulatorFixture {
protected:
    BuildingSession() : SimulatorFixture({}, sim::buildStructuresScenario) {}
};

TEST_F(BuildingSession, WebIfcReadsTheModelOfBuildingsRoofsAndTerrain) {
    if (!haveWebIfc()) GTEST_SKIP() << "web-ifc not installed (scripts/install-deps.sh)";
    // The structures site: LOD1 blocks from the county package, roofs fitted to its LiDAR sheet and the terrain
    // model, placed into a georeferenced project.
    // Five buildings, one of each roof shape.
    const geodesy::Bbox b{sim::structures::kCentreE - 40, sim::structures::kCentreN - 40,
                          sim::structures::kCentreE + 200, sim::structures::kCentreN + 40};
    const geodesy::LatLon sw = geodesy::pl1992ToWgs84(b.minE, b.minN), ne = geodesy::pl1992ToWgs84(b.maxE, b.maxN);
    const geodesy::LatLon centre = geodesy::pl1992ToWgs84(b.centre());
    const nlohmann::json origin{{"type", "setOrigin"}, {"lat", centre.lat}, {"lon", centre.lon}};
    const nlohmann::json fetch{{"type", "fetch"},
                               {"bboxWgs84", {sw.lon, sw.lat, ne.lon, ne.lat}},
                               {"layers", {"budynki3d", "dachychmura", "teren"}}};
    const auto project = temp / "projekt.gdp";
    const testsupport::GeodraftRun session =
        testsupport::runGeodraft(temp / "sesja", "session --project '" + project.string() + "'",
                                 {origin.dump(), "#wait", fetch.dump(), "#wait", R"({"type":"place"})"});
    ASSERT_EQ(session.exitCode, 0) << session.err;
    const nlohmann::json counts = session.last("placeDone")["counts"];
    ASSERT_GT(counts.value("budynki3d", 0), 0) << session.out;
    ASSERT_GT(counts.value("dachychmura", 0), 0) << session.out;
    const testsupport::GeodraftRun exported = testsupport::runGeodraft(
        temp / "eksport", "export '" + project.string() + "' --out '" + (temp / "wynik").string() + "'", {});
    ASSERT_EQ(exported.exitCode, 0) << exported.out << exported.err;
    model::ModelState state;
    ASSERT_TRUE(model::loadProjectFile(project, state).ok);
    expectIfcIsTheProject(state, temp / "wynik");

    // The same solids in model.glb, and the share of them closed and outward.
    const nlohmann::json glb = readBack(temp / "wynik" / "model.glb");
    ASSERT_FALSE(glb.is_null());
    const auto solids = projectSolids(state.elements);
    int good = 0, inProject = 0;
    for (const auto& shape : glb["shapes"]) {
        const auto it = solids.find(idOfNode(shape["name"]));
        if (it == solids.end()) continue;
        const bool closedOutward = shape["closed"].get<bool>() && shape["volume"].get<double>() > 0;
        EXPECT_EQ(closedOutward, it->second.closedOutward()) << shape["name"];
        good += closedOutward;
        inProject += it->second.closedOutward();
    }
    std::printf("closed and outward in model.glb: %d of %zu solids (project: %d)\n", good, solids.size(), inProject);
}

}  // namespace

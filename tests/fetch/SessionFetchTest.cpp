// End to end: "fetch" through the real geodraft session program against the Polish scenario on a loopback
// socket: counts, preview, warnings, progress labels and report lines as the page and the user see them; 3D
// buildings placed and exported.
#include <gtest/gtest.h>

#include <filesystem>

#include "FetchFixture.h"
#include "Town.h"
#include "net/ServiceEndpoints.h"

namespace importer {

using namespace sim::poland;

namespace {

class SessionFetch : public FetchSim {
protected:
    // One fetch message per entry for the place's frame, each waited for, in one session.
    ProgramRun fetchAt(const Place& place, const std::vector<std::string>& layers, int times = 1) {
        const nlohmann::json fetch{{"type", "fetch"}, {"bboxWgs84", frameWgs84(place, 300, 300)}, {"layers", layers}};
        std::vector<std::string> input;
        for (int i = 0; i < times; ++i) input.insert(input.end(), {fetch.dump(), "#wait"});
        return runGeodraft(temp.path, "session", input);
    }
};

TEST_F(SessionFetch, AllTwoDimensionalLayersAtOnceInWarsaw) {
    const ProgramRun r = fetchAt(kWarszawa, {"dzialki", "budynki", "gesut", "bdot500", "rastr"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const nlohmann::json done = r.last("fetchDone");
    ASSERT_TRUE(done.is_object()) << r.err;
    EXPECT_EQ(
        done["counts"],
        (nlohmann::json{
            {"dzialki", kBlockParcels}, {"budynki", kBlockBuildings}, {"gesut (rastr)", 1}, {"rastry (rastr)", 1}}));
    EXPECT_EQ(done["warning"],
              "GESUT: powiat nie publikuje uslugi w EZiU. GESUT z krajowej integracji (KIUT) jako "
              "rastr. BDOT500: powiat nie publikuje uslugi w EZiU.");
    const nlohmann::json preview = nlohmann::json::parse(done["geojson"].get<std::string>());
    EXPECT_EQ(preview["features"].size(), std::size_t(kBlockParcels + kBlockBuildings));

    EXPECT_TRUE(r.hasLabel("Import: dzialki"));
    EXPECT_TRUE(r.hasLabel("Import: budynki"));
    EXPECT_FALSE(r.hasLabel("Import: budynki (BDOT10k)"));
    EXPECT_NE(r.err.find("report: TERRAVOX EGiB [TERYT 146501] https://wms2.um.warszawa.pl/geoserver/wfs/wms | "
                         "tn.dzialki='egib:dzialki' -> 48 | tn.budynki='egib:budynki' -> 44\n"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("report: TERRAVOX: rastr gesut: kadr "), std::string::npos);
    EXPECT_NE(r.err.find("report: TERRAVOX: rastr rastry: kadr "), std::string::npos);
    EXPECT_NE(r.err.find("report: TERRAVOX: GESUT: powiat nie publikuje"), std::string::npos);
}

TEST_F(SessionFetch, BrokenAnswersEndAsNotesAndTheOtherLayersArrive) {
    // The boundary service cuts its answers off, the orthophoto answers with exceptions: the county layers
    // cannot be found, but the fetch ends normally with every note in order.
    sim.faults().add(faultOn(net::serviceEndpoints().prgWfs(), {.truncateAfter = 120}));
    sim.faults().add(faultOn(net::serviceEndpoints().orthophotoWms(), {.exceptionDocument = true}));
    const ProgramRun r = fetchAt(kZamosc, {"dzialki", "budynki", "gesut", "bdot500", "rastr"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const nlohmann::json done = r.last("fetchDone");
    ASSERT_TRUE(done.is_object()) << r.err;
    EXPECT_EQ(done["counts"], (nlohmann::json{{"gesut (rastr)", 1}}));
    EXPECT_EQ(done["warning"],
              "Nie udalo sie ustalic powiatu dla widoku. Brak dzialek dla tego obszaru. GESUT: powiat nie publikuje "
              "uslugi w EZiU. GESUT z krajowej integracji (KIUT) jako rastr. BDOT500: powiat nie publikuje uslugi w "
              "EZiU. Ortofotomapa WMS nie odpowiada - rastr pominiety.");
}

TEST_F(SessionFetch, EveryLayerOfACountyWithAllServicesTwiceWithoutWarningAndOneMunicipalityLookup) {
    const ProgramRun r = fetchAt(kZamosc, {"dzialki", "budynki", "gesut", "bdot500", "rastr"}, 2);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    int dones = 0;
    for (const nlohmann::json& done : r.messages) {
        if (done.value("type", "") != "fetchDone") continue;
        ++dones;
        EXPECT_EQ(done["counts"], (nlohmann::json{{"dzialki", kBlockParcels},
                                                  {"budynki", kBlockBuildings},
                                                  {"gesut", kPipeLayers * kPipesPerLayer},
                                                  {"bdot500 (rastr)", 1},
                                                  {"rastry (rastr)", 1}}));
        EXPECT_FALSE(done.contains("warning")) << done.dump();
        EXPECT_EQ(nlohmann::json::parse(done["geojson"].get<std::string>())["features"].size(),
                  std::size_t(kBlockParcels + kBlockBuildings + kPipeLayers * kPipesPerLayer));
    }
    EXPECT_EQ(dones, 2);
    std::size_t lookups = 0;
    for (const sim::LoggedRequest& q : requestsTo(net::serviceEndpoints().prgWfs()))
        lookups += q.query.find("GetFeature") != std::string::npos ? 1 : 0;
    EXPECT_EQ(lookups, 1u);
}

// LOD1 and LOD2 buildings of the demo county placed into a project (LOD2 replacing its LOD1 twins), and exported
// as glTF that the Khronos validator accepts.
TEST_F(SessionFetch, BuildingModelsArePlacedAndExportedInThreeD) {
    // 200 m around the demo town's market square.
    const geodesy::PlanarPoint c = sim::town::demoTown().centre;
    const geodesy::LatLon sw = geodesy::pl1992ToWgs84(c.x - 100, c.y - 100),
                          ne = geodesy::pl1992ToWgs84(c.x + 100, c.y + 100);
    const geodesy::LatLon centre = geodesy::pl1992ToWgs84(c);
    const nlohmann::json origin{{"type", "setOrigin"}, {"lat", centre.lat}, {"lon", centre.lon}};
    const nlohmann::json fetch{
        {"type", "fetch"}, {"bboxWgs84", {sw.lon, sw.lat, ne.lon, ne.lat}}, {"layers", {"budynki3d", "budynkilod2"}}};
    const std::string project = (temp / "project.gdp").string();
    ProgramRun r = runGeodraft(temp.path, "session --project '" + project + "'",
                               {origin.dump(), "#wait", fetch.dump(), "#wait", R"({"type":"place"})"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const nlohmann::json fetched = r.last("fetchDone"), placed = r.last("placeDone");
    ASSERT_TRUE(placed.is_object()) << r.out << r.err;
    const int lod1 = fetched["counts"]["budynki3d"], lod2 = fetched["counts"]["budynkilod2"];
    EXPECT_GT(lod2, 0);
    EXPECT_GT(lod1, lod2);
    // Every LOD2 building of the frame has its LOD1 twin: those are left out.
    EXPECT_EQ(placed["counts"], (nlohmann::json{{"budynki3d", lod1 - lod2}, {"budynkilod2", lod2}}));
    const std::string n = std::to_string(lod2);
    EXPECT_NE(r.err.find("report: TERRAVOX LOD1: pominieto " + n + " bryl dublujacych sie"), std::string::npos);
    EXPECT_NE(r.err.find("report: TERRAVOX LOD2: utworzono " + n + " (czyste: " + n +
                         ", triangulacja: 0, zupa: 0), pominieto 0 (zdegenerowane: 0)"),
              std::string::npos)
        << r.err;

    r = runGeodraft(temp.path, "export '" + project + "' --out '" + (temp / "out").string() + "'", {});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("model.glb (elementy 3D: " + std::to_string(lod1) + ")"), std::string::npos) << r.out;
    EXPECT_NE(testsupport::readFile(temp / "out" / "model.dxf").find("AcDbPolyFaceMesh"), std::string::npos);
    const auto tool = testsupport::sourceDir() / "tests" / "export" / "independent";
    if (!std::filesystem::exists(tool / "node_modules" / "gltf-validator") ||
        std::system("node --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "glTF validator not installed (scripts/install-deps.sh installs node and " << tool << ")";
    const std::string check = "cd '" + tool.string() + "' && node check.mjs '" + (temp / "out" / "model.glb").string() +
                              "' > '" + (temp / "report.json").string() + "'";
    ASSERT_EQ(std::system(check.c_str()), 0);
    const auto report = nlohmann::json::parse(testsupport::readFile(temp / "report.json"));
    EXPECT_EQ(report["issues"]["numErrors"], 0) << report["issues"].dump(1);
}

}  // namespace

}  // namespace importer

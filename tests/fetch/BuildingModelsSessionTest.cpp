// End to end through the geodraft program: LOD1 and LOD2 buildings of the demo county fetched from the simulator,
// placed into a project (LOD2 replacing its LOD1 twins), and exported as glTF that the Khronos validator accepts.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <sstream>

#include <nlohmann/json.hpp>

#include "FetchFixture.h"

namespace importer {

namespace {

using BuildingModelsSession = FetchSim;

int runProgram(const std::string& args, const testsupport::TempDir& dir, const std::string& input, std::string& out,
               std::string& err) {
    testsupport::writeFile(dir / "input.txt", input);
    const std::string command = "env XDG_CONFIG_HOME='" + (dir / "config").string() + "' XDG_STATE_HOME='" +
                                (dir / "state").string() + "' XDG_CACHE_HOME='" + (dir / "cache").string() +
                                "' GEODRAFT_PACING_MS=5 '" + (testsupport::binaryDir() / "app/geodraft").string() +
                                "' " + args + " < '" + (dir / "input.txt").string() + "' > '" +
                                (dir / "out.txt").string() + "' 2> '" + (dir / "err.txt").string() + "'";
    const int status = std::system(command.c_str());
    out = testsupport::readFile(dir / "out.txt");
    err = testsupport::readFile(dir / "err.txt");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(BuildingModelsSession, FetchPlaceAndExportInThreeD) {
    // 200 m around the demo's centre (PL-1992 637382, 486757).
    const geodesy::LatLon sw = geodesy::pl1992ToWgs84(637282, 486657), ne = geodesy::pl1992ToWgs84(637482, 486857);
    const geodesy::LatLon centre = geodesy::pl1992ToWgs84(637382, 486757);
    const nlohmann::json origin{{"type", "setOrigin"}, {"lat", centre.lat}, {"lon", centre.lon}};
    const nlohmann::json fetch{
        {"type", "fetch"}, {"bboxWgs84", {sw.lon, sw.lat, ne.lon, ne.lat}}, {"layers", {"budynki3d", "budynkilod2"}}};
    const std::string project = (temp / "project.gdp").string();
    std::string out, err;
    ASSERT_EQ(runProgram("session --project '" + project + "'", temp,
                         origin.dump() + "\n#wait\n" + fetch.dump() + "\n#wait\n{\"type\":\"place\"}\n", out, err),
              0)
        << err;
    nlohmann::json fetched, placed;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const auto m = nlohmann::json::parse(line);
        if (m["type"] == "fetchDone") fetched = m;
        if (m["type"] == "placeDone" || (m["type"] == "error" && !fetched.is_null())) placed = m;
    }
    ASSERT_EQ(placed["type"], "placeDone") << placed << err;
    const int lod1 = fetched["counts"]["budynki3d"], lod2 = fetched["counts"]["budynkilod2"];
    EXPECT_GT(lod2, 0);
    EXPECT_GT(lod1, lod2);
    // Every LOD2 building of the frame has its LOD1 twin: those are left out.
    EXPECT_EQ(placed["counts"], (nlohmann::json{{"budynki3d", lod1 - lod2}, {"budynkilod2", lod2}}));
    EXPECT_NE(err.find("report: TERRAVOX LOD1: pominieto " + std::to_string(lod2) + " bryl dublujacych sie"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("report: TERRAVOX LOD2: utworzono " + std::to_string(lod2) + " (czyste: " +
                       std::to_string(lod2) + ", triangulacja: 0, zupa: 0), pominieto 0 (zdegenerowane: 0)"),
              std::string::npos)
        << err;

    ASSERT_EQ(runProgram("export '" + project + "' --out '" + (temp / "out").string() + "'", temp, "", out, err), 0)
        << out << err;
    EXPECT_NE(out.find("model.glb (elementy 3D: " + std::to_string(lod1) + ")"), std::string::npos) << out;
    EXPECT_NE(testsupport::readFile(temp / "out" / "model.dxf").find("3DFACE"), std::string::npos);
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

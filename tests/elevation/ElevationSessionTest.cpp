// End to end through the geodraft program: "fetch" of terrain and contours and "setOrigin" with its terrain
// height, against the simulated elevation indexes on a loopback socket, each run with a private cache.
#include <gtest/gtest.h>

#include <cmath>

#include "ElevationSimFixture.h"
#include "formats/grid/AsciiGrid.h"
#include "geodesy/Crs.h"
#include "host/Host.h"
#include "platform/Numbers.h"

using namespace sim::elevation;

namespace {

// The WGS84 frame [west, south, east, north] that holds a PL-1992 frame.
nlohmann::json wgs84Frame(const geodesy::Bbox& b) {
    const geodesy::LatLon corners[4] = {geodesy::pl1992ToWgs84(b.minE, b.minN), geodesy::pl1992ToWgs84(b.maxE, b.minN),
                                        geodesy::pl1992ToWgs84(b.maxE, b.maxN), geodesy::pl1992ToWgs84(b.minE, b.maxN)};
    double west = 180, south = 90, east = -180, north = -90;
    for (const geodesy::LatLon& c : corners) {
        west = std::min(west, c.lon), east = std::max(east, c.lon);
        south = std::min(south, c.lat), north = std::max(north, c.lat);
    }
    return nlohmann::json::array({west, south, east, north});
}

nlohmann::json setOriginAt(const Site& site) {
    const geodesy::LatLon at = geodesy::pl1992ToWgs84(site.e, site.n);
    return nlohmann::json{{"type", "setOrigin"}, {"lat", at.lat}, {"lon", at.lon}};
}

// One "key: value" line of `geodraft model` as a number.
double modelNumber(const std::string& listing, const std::string& key) {
    const auto at = listing.find("  " + key + ": ");
    if (at == std::string::npos) return NAN;
    const auto start = at + key.size() + 4;
    double v = NAN;
    platform::parseDouble(listing.substr(start, listing.find('\n', start) - start), v);
    return v;
}

class ElevationSession : public ElevationSim {
protected:
    SessionRun run(const std::vector<std::string>& input, const std::string& arguments = {}) {
        return runSession(temp.path / platform::cformat("run%d", runs++), input, arguments, 5);
    }
    SessionRun fetch(const Site& site, double size, const std::vector<std::string>& layers) {
        const nlohmann::json message{{"type", "fetch"},
                                     {"bboxWgs84", wgs84Frame(frameAround(site, size, size))},
                                     {"layers", layers},
                                     {"terrainStep", 1},
                                     {"poziomiceCiecie", 1.0}};
        return run({message.dump(), "#wait"});
    }
    std::string model(const std::string& project) { return modelListing(project, temp.path / "model.txt"); }

    int runs = 0;
};

const std::vector<std::string> kAllElevation = {"teren", "poziomice2d", "poziomice3d"};

}  // namespace

TEST_F(ElevationSession, TerrainAndContoursOverTwoOverlappingSheets) {
    const SessionRun r = fetch(kHills, 300, kAllElevation);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const nlohmann::json done = r.last("fetchDone");
    ASSERT_TRUE(done.is_object()) << r.err;
    const long long contours = done["counts"].value("poziomice (warstwice)", 0LL);
    EXPECT_GT(contours, 10);
    EXPECT_EQ(done["counts"], (nlohmann::json{{"teren (Siatka)", 4}, {"poziomice (warstwice)", contours}}));
    // The hole of the western sheet is filled from the eastern one, so nothing is missing and nothing to say.
    EXPECT_EQ(done["warning"], "Poziomice: " + std::to_string(contours) + " warstwic, ciecie 1,00 m");
    EXPECT_TRUE(r.hasLabel("Pobieranie NMT"));
    EXPECT_TRUE(r.hasLabel("Poziomice: NMT"));

    // Each sheet was downloaded once: the contours took them from the cache the terrain filled.
    const auto west = sim.log().matching("opendata.geoportal.gov.pl", "/NumDaneWys/NMT/sim/7.111.23.11.asc");
    EXPECT_EQ(west.size(), 1u);
}

TEST_F(ElevationSession, NotesForFramesWithoutUsableSheets) {
    struct Case {
        const Site* site;
        nlohmann::json counts;
        std::string warning;
    };
    const std::vector<Case> cases = {
        {&kUncovered, nlohmann::json::object(),
         "Teren: brak kafli NMT dla tego obszaru w skorowidzu. Poziomice: brak kafli NMT dla tego obszaru w "
         "skorowidzu."},
        {&kBroken, nlohmann::json::object(),
         "Teren: nie udalo sie pobrac/sparsowac zadnego pliku NMT. Poziomice: nie udalo sie pobrac zadnego pliku NMT."},
        {&kNodata, nlohmann::json::object(),
         "Teren: brak waznych punktow NMT w kadrze. Poziomice: caly probkowany obszar to NODATA (brak danych NMT dla "
         "tego kadru). Poziomice: 0 warstwic, ciecie 1,00 m"},
        {&kFlat, nlohmann::json{{"teren (Siatka)", 1}},
         "Poziomice: brak deniwelacji wiekszej niz ciecie 1,00 m w tym kadrze - teren zbyt plaski dla wybranego "
         "ciecia. Poziomice: 0 warstwic, ciecie 1,00 m"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.site->name);
        const SessionRun r = fetch(*c.site, 150, kAllElevation);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const nlohmann::json done = r.last("fetchDone");
        ASSERT_TRUE(done.is_object()) << r.err;
        EXPECT_EQ(done["counts"], c.counts);
        EXPECT_EQ(done["warning"], c.warning);
    }

    // An index that does not answer is told as a failure, after the note of no sheets.
    sim.faults().add({.host = "mapy.geoportal.gov.pl", .path = "*", .statuses = std::vector<int>(200, 503)});
    const nlohmann::json done = fetch(kHills, 150, {"teren"}).last("fetchDone");
    EXPECT_EQ(done["warning"],
              "Teren: brak kafli NMT dla tego obszaru w skorowidzu. Teren: skorowidz NMT nie odpowiada - dane "
              "wysokosciowe nie zostaly pobrane.");
}

TEST_F(ElevationSession, SetOriginWritesTheTerrainHeightLater) {
    const std::string project = (temp.path / "projekt.json").string();
    const SessionRun r = run({setOriginAt(kHills).dump(), "#wait"}, "--project '" + project + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_EQ(r.messages.size(), 1u) << "nothing reaches the page about the height";

    // The height the sheet gives at the point the record holds (the map centre).
    const std::string listing = model(project);
    const double height = modelNumber(listing, "surveyHeight");
    EXPECT_NEAR(height, hillsHeight(kHills.e, kHills.n), 0.05) << listing;
    EXPECT_EQ(modelNumber(listing, "altitude"), height);

    // A second "setOrigin" moves the point; only the height of the new point is written, even when the first
    // lookup finishes last (its sheet is slow to come).
    sim.faults().add({.host = "opendata.geoportal.gov.pl",
                      .path = "/NumDaneWys/NMT/sim/7.111.23.11.asc",
                      .delayMs = 1500,
                      .times = 1});
    const SessionRun moved =
        run({setOriginAt(kHills).dump(), setOriginAt(kValley).dump(), "#wait"}, "--project '" + project + "'");
    ASSERT_EQ(moved.exitCode, 0) << moved.err;
    EXPECT_NEAR(modelNumber(model(project), "surveyHeight"), valleyHeight(kValley.e, kValley.n), 0.05);
}

TEST_F(ElevationSession, AHeightArrivingAfterAPlacementLeavesItsAnchorAlone) {
    // The origin lies on the eastern hills sheet only, the fetched frame on the western one; the eastern sheet is
    // slow, so the origin's height arrives after the terrain was placed and anchored.
    const Site origin{"wschod", kHills.e + 400, kHills.n}, fetched{"zachod", kHills.e - 400, kHills.n};
    sim.faults().add(
        {.host = "opendata.geoportal.gov.pl", .path = "/NumDaneWys/NMT/sim/7.111.23.12.asc", .delayMs = 4000});
    const nlohmann::json fetch{{"type", "fetch"},
                               {"bboxWgs84", wgs84Frame(frameAround(fetched, 40, 40))},
                               {"layers", {"teren"}},
                               {"terrainStep", 1}};
    const std::string project = (temp.path / "projekt.json").string();
    const std::string place = nlohmann::json{{"type", "place"}}.dump();
    SessionRun r =
        run({setOriginAt(origin).dump(), fetch.dump(), "#until fetchDone", place}, "--project '" + project + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_EQ(r.last("placeDone")["counts"], (nlohmann::json{{"teren (Siatka)", 1}})) << r.err;

    // The same area imported again into the project comes out at the same heights.
    r = run({fetch.dump(), "#until fetchDone", place}, "--project '" + project + "'");
    ASSERT_TRUE(r.last("placeDone").is_object()) << r.err;
    std::vector<double> heights;
    const nlohmann::json saved = nlohmann::json::parse(testsupport::readFile(project));
    for (const nlohmann::json& el : saved["elements"])
        if (el["type"] == host::kElemMesh) heights.push_back(el["outline"][0][2].get<double>());
    ASSERT_EQ(heights.size(), 2u);
    EXPECT_EQ(heights[0], heights[1]);
    EXPECT_NE(modelNumber(model(project), "surveyHeight"), hillsHeight(origin.e, origin.n));
}

TEST_F(ElevationSession, FailedHeightLookupLeavesZeroSilently) {
    // The sheet service failing; a point outside every sheet is the same missing height (see the lookup tests).
    const std::string project = (temp.path / "projekt.json").string();
    sim.faults().add(
        {.host = "opendata.geoportal.gov.pl", .path = "/NumDaneWys/NMT/*", .statuses = {500, 500, 500, 500}});
    const SessionRun r = run({setOriginAt(kHills).dump(), "#wait"}, "--project '" + project + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(modelNumber(model(project), "surveyHeight"), 0.0);
    EXPECT_EQ(r.err.find("error"), std::string::npos) << r.err;
}

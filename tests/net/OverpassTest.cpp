// The Overpass client: the width rule, the frame limit, the query and the answers it reads.
#include <gtest/gtest.h>

#include "StructuresScenario.h"
#include "net/OverpassClient.h"
#include "support/SimulatorFixture.h"
#include "support/TestSupport.h"

namespace net {

TEST(OverpassWidth, TagsThenLanesThenKind) {
    struct Case {
        const char* width;
        const char* lanes;
        const char* kind;
        bool bridge;
        double expected;
    };
    const Case cases[] = {
        {"7.5", "", "primary", false, 7.5},  {"0.4", "2", "primary", false, 8.0},
        {"80", "", "primary", false, 10.0},  {"6 m", "", "", false, 6.0},
        {"abc", "13", "trunk", false, 14.0}, {"", "2", "", false, 8.0},
        {"", "", "tram", true, 3.0},         {"", "", "", true, 6.0},
        {"", "", "service", false, 5.0},     {"", "12", "footway", false, 43.0},
        {"0.5", "x", "steps", false, 2.0},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(osmWayWidth(c.width, c.lanes, c.kind, c.bridge), c.expected) << c.width << "|" << c.lanes;
}

TEST(OverpassAnswer, WaysWithGeometryOnly) {
    const std::string body = R"({"elements":[
        {"type":"node","id":1,"lat":52,"lon":21},
        {"type":"way","id":2,"tags":{"railway":"tram","bridge":"viaduct","name":"T"},
         "geometry":[{"lat":52.0,"lon":21.0},{"lat":52.001},{"lat":52.001,"lon":21.001}]},
        {"type":"way","id":3,"tags":{"highway":"residential"},"geometry":[{"lat":52.0,"lon":21.0}]}]})";
    std::string error;
    const std::vector<OsmWay> ways = parseOverpassWays(body, error);
    ASSERT_EQ(ways.size(), 1u);
    EXPECT_EQ(error, "");
    EXPECT_TRUE(ways[0].bridge);
    EXPECT_EQ(ways[0].points.size(), 2u);
    EXPECT_DOUBLE_EQ(ways[0].width, 3.0);  // a tram bridge
}

TEST(OverpassAnswer, EveryFailedAnswerHasANoteOfItsOwn) {
    const std::string notRead = " - mosty i drogi nie wczytane.";
    const std::string stopped = ") - mosty i drogi nie wczytane; sprobuj ponownie lub zmniejsz kadr.";
    struct Case {
        const char* file;  // a real answer
        std::string note;
    };
    const Case cases[] = {
        {"overpass_overpy_bad-request.html",
         "OSM (Overpass): usluga zwrocila strone HTML zamiast danych (line 2: parse "
         "error: ';' expected - 'out' found.)" +
             notRead},
        {"overpass_overpy_bad-request-encoding.html",
         "OSM (Overpass): usluga zwrocila strone HTML zamiast danych (line 2: parse error: ';' expected - 'out' "
         "found.)" +
             notRead},
        {"overpass_aio_rate_limited.html",
         "OSM (Overpass): przekroczony limit zapytan do uslugi - sprobuj ponownie za kilka minut."},
        {"overpass_aio_too_busy.html", "OSM (Overpass): usluga przeciazona - sprobuj ponownie pozniej."},
        {"overpass_aio_cutoff_truncated.json",
         "OSM (Overpass): odpowiedz uszkodzona lub niepelna (bledny JSON)" + notRead},
        {"overpass_aio_plaintext_server_down.txt",
         "OSM (Overpass): nieczytelna odpowiedz uslugi (open64: 2 No such file or directory /osm3s_osm_base "
         "Dispatcher_Client::1. Probably the server is down.)" +
             notRead},
        {"overpass_overpy_remark-runtime-error-01.json",
         "OSM (Overpass): usluga przerwala zapytanie (runtime error: Query timed out in \"query\" at line 4 after 2 "
         "seconds." +
             stopped},
        {"overpass_aio_remark_out_of_memory.json",
         "OSM (Overpass): usluga przerwala zapytanie (runtime error: Query run out of memory in \"recurse\" at line 1 "
         "using about 541 MB of RAM." +
             stopped},
        {"overpass_aio_remark_way_cannot_be_expanded.json",
         "OSM (Overpass): usluga przerwala zapytanie (runtime error: Way 547230203 cannot be expanded at timestamp "
         "2018-05-08T15:48:01Z." +
             stopped},
    };
    for (const Case& c : cases) {
        const std::string path = std::string("json/") + c.file;
        GD_REQUIRE_REALDATA(path);
        std::string error;
        EXPECT_TRUE(parseOverpassWays(testsupport::readFile(testsupport::realdata(path)), error).empty());
        EXPECT_EQ(error, c.note) << c.file;
    }
    // A real answer that is whole: no note (its one way is a building, kept with its geometry).
    GD_REQUIRE_REALDATA("json/overpass_aio_way_out_geom.json");
    std::string error;
    EXPECT_EQ(
        parseOverpassWays(testsupport::readFile(testsupport::realdata("json/overpass_aio_way_out_geom.json")), error)
            .size(),
        1u);
    EXPECT_EQ(error, "");
}

class Overpass : public SimulatorFixture {
protected:
    Overpass() : SimulatorFixture({.hostIntervalMs = 0, .retryDelayMs = 10}, sim::addStructureServices) {}
};

TEST_F(Overpass, FrameLimitQueryAndStatus) {
    std::string error;
    const geodesy::Bbox frame = sim::structures::siteFrame();
    EXPECT_TRUE(queryOsmWays(client, frame, false, false, error).empty());
    EXPECT_TRUE(sim.log().all().empty());
    // 5 km x 5 km is asked; 5 km x 5.001 km is refused before asking.
    const geodesy::Bbox square{frame.minE, frame.minN, frame.minE + 5000, frame.minN + 5000};
    EXPECT_EQ(queryOsmWays(client, square, true, true, error).size(), 4u);
    EXPECT_EQ(error, "");
    const geodesy::Bbox tooBig{frame.minE, frame.minN, frame.minE + 5000, frame.minN + 5001};
    EXPECT_TRUE(queryOsmWays(client, tooBig, true, false, error).empty());
    EXPECT_EQ(error, "Mosty/drogi (OSM): kadr za duzy \xE2\x80\x94 przybliz mape (max ok. 5x5 km).");
    EXPECT_EQ(sim.log().all().size(), 1u);
    // Only bridges: the two bridge ways.
    EXPECT_EQ(queryOsmWays(client, frame, true, false, error).size(), 2u);
    EXPECT_EQ(overpassQuery("1,2,3,4", true, false),
              "[out:json][timeout:25];(way[\"bridge\"~\"^(yes|viaduct)$\"](1,2,3,4););out geom;");
    sim.faults().add({.host = "overpass-api.de", .path = "/api/interpreter", .statuses = {504, 504, 504, 504, 504}});
    error.clear();
    EXPECT_TRUE(queryOsmWays(client, frame, true, true, error).empty());
    EXPECT_EQ(error, "OSM (Overpass): usluga nie odpowiada (status 504).");
}

}  // namespace net

// The service simulator: OGC answers with real spatial filtering, images, faults and the log through its control
// endpoints, and the geodraft-sim program as a real process.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <memory>

#include "../net/SimFixture.h"
#include "SimProcess.h"
#include "Town.h"
#include "WfsService.h"
#include "WmsService.h"
#include "formats/gml/GmlParser.h"
#include "geodesy/Crs.h"
#include "net/HttpExchange.h"
#include "platform/Numbers.h"

using namespace net;
using formats::DataType;
using gml::GmlParser;
using platform::cformat;

namespace {
const std::string kHost = "county.example.pl";
const std::string kBase = "https://county.example.pl/iip/ows";

std::uint32_t bigEndian32(const std::string& s, std::size_t at) {
    return (std::uint32_t(static_cast<unsigned char>(s[at])) << 24) |
           (std::uint32_t(static_cast<unsigned char>(s[at + 1])) << 16) |
           (std::uint32_t(static_cast<unsigned char>(s[at + 2])) << 8) |
           std::uint32_t(static_cast<unsigned char>(s[at + 3]));
}
}  // namespace

class Simulator : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        client.options.hostIntervalMs = 0;
        store = std::make_shared<sim::FeatureStore>();
        store->add("ms:dzialki", {"p1", {square(637100, 486100, 30)}, {}, {}, {{"ID_DZIALKI", "146501_1.0001.1"}}});
        store->add("ms:dzialki", {"p2", {square(637300, 486100, 30)}, {}, {}, {{"ID_DZIALKI", "146501_1.0001.2"}}});
        // A large parcel whose inside holds the whole query box, with no vertex in it.
        store->add("ms:dzialki", {"big", {square(636000, 485000, 5000)}, {}, {}, {}});
        store->add("ms:przewody", {"l1", {}, {{637000, 486000}, {637200, 486200}}, {}, {{"RODZAJ", "gaz"}}});
    }
    // A GetFeature for 100 features at most, the box in PL-1992 (answers in `epsg` when it is a zone).
    static std::string wfsUrl(const std::string& type, const geodesy::Bbox& box, bool northingFirst, int epsg = 0) {
        return WfsClient::buildWfsUrl(kBase, type, box, 100, 0, northingFirst, false, epsg);
    }
    std::string features(const std::string& url) {
        const HttpResponse r = client.get(url);
        EXPECT_EQ(r.status, 200) << r.body;
        return r.body;
    }
    std::shared_ptr<sim::FeatureStore> store;
    const geodesy::Bbox nearP1{637090, 486090, 637140, 486140};
};

TEST_F(Simulator, BboxFilterHonoursAxisOrderAndSystem) {
    sim.scenario().addWfs(kHost, "/iip/ows", std::make_shared<sim::WfsService>(store));
    // Easting first with "EPSG:2180" (northing first with the URN is read back in every system below).
    std::string body = features(kBase +
                                "?service=WFS&version=2.0.0&request=GetFeature&typenames=ms:dzialki"
                                "&BBOX=637290,486090,637340,486140,EPSG:2180");
    EXPECT_EQ(count(body, "gml:id=\"p2\""), 1);
    EXPECT_EQ(count(body, "gml:id=\"p1\""), 0);
    // Easting first with the URN puts the box somewhere else entirely: nothing there.
    body = features(wfsUrl("ms:dzialki", nearP1, false));
    EXPECT_EQ(count(body, "<wfs:member>"), 0);
    // Lines are filtered by their segments, not by their envelope corners alone.
    body = features(wfsUrl("ms:przewody", {637150, 486000, 637200, 486050}, true));
    EXPECT_EQ(count(body, "<wfs:member>"), 0);
    body = features(wfsUrl("ms:przewody", {637090, 486090, 637110, 486110}, true));
    EXPECT_EQ(count(body, "gml:id=\"l1\""), 1);
}

TEST_F(Simulator, PagingHitsCapabilitiesAndErrors) {
    sim.scenario().addWfs(kHost, "/iip/ows", std::make_shared<sim::WfsService>(store));
    const std::string all = kBase + "?service=WFS&version=2.0.0&request=GetFeature&typenames=ms%3Adzialki";
    EXPECT_EQ(count(features(all + "&COUNT=2"), "<wfs:member>"), 2);
    const std::string page = features(all + "&COUNT=2&STARTINDEX=2");
    EXPECT_EQ(count(page, "<wfs:member>"), 1);
    EXPECT_NE(page.find("numberMatched=\"3\""), std::string::npos);
    EXPECT_NE(features(all + "&resultType=hits").find("numberMatched=\"3\" numberReturned=\"0\""), std::string::npos);
    EXPECT_NE(features(kBase + "?service=WFS&request=GetCapabilities").find("<Name>ms:przewody</Name>"),
              std::string::npos);
    EXPECT_EQ(client.get(kBase + "?service=WFS&version=2.0.0&request=GetFeature&typenames=ms:nic").status, 400);
    EXPECT_EQ(client.get(all + "&BBOX=1,2,x,4").status, 400);
}

TEST_F(Simulator, WmsRendersPngAndJpegOrAnswersAnException) {
    auto wms = std::make_shared<sim::WmsService>();
    wms->addLayer({"dzialki", "Dzialki", 0xC03030FF, store, "ms:dzialki"});
    sim.scenario().addWms(kHost, "/wms", wms);
    const std::string base = "https://county.example.pl/wms";
    HttpResponse png = client.get(
        WfsClient::buildWmsUrl(base, "dzialki", geodesy::Bbox{637000, 486000, 637400, 486200}, 800, 400, 2180));
    ASSERT_GT(png.body.size(), 24u);
    EXPECT_EQ(png.body.substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(bigEndian32(png.body, 16), 800u);
    EXPECT_EQ(bigEndian32(png.body, 20), 400u);
    const geodesy::PlanarPoint a = geodesy::pl1992ToPl2000(637000, 486000, 2178),
                               b = geodesy::pl1992ToPl2000(637400, 486200, 2178);
    HttpResponse jpeg =
        client.get(base +
                   "?service=WMS&version=1.1.1&request=GetMap&layers=dzialki&styles=&format=image%2Fjpeg"
                   "&SRS=EPSG%3A2178&WIDTH=256&HEIGHT=128&BBOX=" +
                   cformat("%.3f,%.3f,%.3f,%.3f", a.x, a.y, b.x, b.y));
    EXPECT_EQ(jpeg.body.substr(0, 2), "\xFF\xD8");
    HttpResponse unknown = client.get(WfsClient::buildWmsUrl(base, "nic", geodesy::Bbox{0, 0, 1, 1}, 512, 512, 2180));
    EXPECT_NE(unknown.body.find("<ServiceExceptionReport"), std::string::npos);
    HttpResponse huge =
        client.get(WfsClient::buildWmsUrl(base, "dzialki", geodesy::Bbox{0, 0, 1, 1}, 100000, 512, 2180));
    EXPECT_NE(huge.body.find("InvalidDimensionValue"), std::string::npos);
    EXPECT_NE(client.get(base + "?service=WMS&request=GetCapabilities").body.find("<Name>dzialki</Name>"),
              std::string::npos);
}

TEST_F(Simulator, ControlEndpointsSetFaultsAndShowTheLog) {
    sim.scenario().addText("*", "*", "ok", "text/plain");
    unsetenv(kServicesRoutingVariable);  // the control endpoints are spoken to directly
    const HttpResult set =
        performRequest("POST", sim.baseUrl() + "/__faults", "Content-Type: application/json\r\n",
                       "{\"host\":\"a.pl\",\"path\":\"/x\",\"statuses\":[503,503,200]}", 2000, 2000, "t");
    EXPECT_EQ(set.status, 200);
    EXPECT_EQ(performRequest("POST", sim.baseUrl() + "/__faults", {}, "not json", 2000, 2000, "t").status, 400);
    setenv(kServicesRoutingVariable, sim.baseUrl().c_str(), 1);
    for (int status : {503, 503, 200, 200}) EXPECT_EQ(client.getWithTimeout("https://a.pl/x", 2000).status, status);
    unsetenv(kServicesRoutingVariable);
    const HttpResult log = performRequest("GET", sim.baseUrl() + "/__log", {}, {}, 2000, 2000, "t");
    const auto json = nlohmann::json::parse(log.body, nullptr, false);
    ASSERT_TRUE(json.is_array());
    ASSERT_EQ(json.size(), 4u);
    EXPECT_EQ(json[0]["path"], "/x");
    EXPECT_EQ(json[0]["status"], 503);
    EXPECT_EQ(performRequest("DELETE", sim.baseUrl() + "/__log", {}, {}, 2000, 2000, "t").status, 200);
    EXPECT_EQ(sim.log().size(), 0u);
    // A request that is not in the routed form is refused, not guessed.
    EXPECT_EQ(performRequest("GET", sim.baseUrl() + "/wss/x", {}, {}, 2000, 2000, "t").status, 404);
}

TEST(SimulatorProgram, PrintsItsAddressFirstAndServesTheDemo) {
    const auto program = testsupport::binaryDir() / "sim" / "geodraft-sim";
    if (!std::filesystem::exists(program)) GTEST_SKIP() << "geodraft-sim not built: " << program;
    sim::SimProcess process;
    ASSERT_TRUE(process.start(program.string(), {"--port", "0"}));
    setenv(kServicesRoutingVariable, process.baseUrl().c_str(), 1);
    WfsClient client;
    const HttpResponse r =
        client.getWithTimeout(WfsClient::buildWfsUrl(serviceEndpoints().bdot10kNewBuildingsWfs(), "ms:bud_2025",
                                                     sim::town::demoTown().extent, 1000, 0, true, false, 0),
                              3000);
    unsetenv(kServicesRoutingVariable);
    EXPECT_EQ(r.status, 200) << r.error;
    EXPECT_GE(count(r.body, "<wfs:member>"), 1);
    const int status = process.stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    sim::SimProcess wrong;
    EXPECT_FALSE(wrong.start(program.string(), {"--scenario", "no-such-scenario"}));
}

// The simulator's GML, read back by the project's GML parser, gives the stored PL-1992 geometry whatever system
// and WFS version it was asked in.
TEST_F(Simulator, GmlReadBackGivesTheStoredGeometryInEverySystemAndVersion) {
    sim.scenario().addWfs(kHost, "/iip/ows", std::make_shared<sim::WfsService>(store));
    // Zone 5 (2176) is left out: its strip lies 6 degrees west of these parcels, where the projection series
    // themselves drift by centimetres.
    for (int epsg : {0, 2177, 2178, 2179}) {
        for (bool wfs110 : {false, true}) {
            SCOPED_TRACE(cformat("EPSG %d, WFS %s", epsg, wfs110 ? "1.1.0" : "2.0.0"));
            const auto parsed = GmlParser::parseFeatureCollection(
                features(WfsClient::buildWfsUrl(kBase, "ms:dzialki", nearP1, 100, 0, true, wfs110, epsg)),
                DataType::dzialki);
            ASSERT_EQ(parsed.size(), 2u) << "the parcel and the large one around it";
            EXPECT_EQ(parsed[0].props.at("ID_DZIALKI"), "146501_1.0001.1");
            ASSERT_EQ(parsed[0].polygons.size(), 1u);
            const auto& ring = parsed[0].polygons[0].outer;
            ASSERT_GE(ring.size(), 4u);
            EXPECT_NEAR(ring[2].x, 637130, 0.01);
            EXPECT_NEAR(ring[2].y, 486130, 0.01);
        }
    }
}

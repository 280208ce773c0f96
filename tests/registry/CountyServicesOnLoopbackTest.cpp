// Municipality lookup, type-name discovery and county layer fetches against a simulated service on a
// real loopback socket (every request routed to it).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "SimHttp.h"
#include "formats/gml/GmlParser.h"
#include "net/MunicipalityLookup.h"
#include "net/ServiceEndpoints.h"
#include "net/ServiceRegistry.h"
#include "net/WfsClient.h"
#include "net/WfsLayerFetcher.h"
#include "platform/Numbers.h"
#include "support/SimulatorFixture.h"

using formats::DataType;
using gml::GisFeature;
using platform::cformat;

namespace {

const std::string kPrgHost = "mapy.geoportal.gov.pl";
const std::string kPrgPath = "/wss/service/PZGIK/PRG/WFS/AdministrativeBoundaries";
const std::string kCountyHost = "powiat.geoportal2.pl";
const std::string kCountyPath = "/map/geoportal/wfs.php";
const std::string kCountyUrl = "https://" + kCountyHost + kCountyPath;

std::string collection(const std::string& members) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><wfs:FeatureCollection "
           "xmlns:wfs=\"http://www.opengis.net/wfs/2.0\" "
           "xmlns:gml=\"http://www.opengis.net/gml/3.2\" xmlns:ms=\"http://mapserver.gis.umn.edu/mapserver\" "
           "numberMatched=\"unknown\">" +
           members + "</wfs:FeatureCollection>";
}

// A polygon member in EPSG 2180, written northing first (as MapServer does), around (e, n) with half size h.
std::string squareMember(const std::string& type, double e, double n, double h, const std::string& props) {
    const auto pair = [](double east, double north) { return cformat("%.3f %.3f ", north, east); };
    return "<wfs:member><ms:" + type +
           "><ms:geom><gml:Polygon srsName=\"urn:ogc:def:crs:EPSG::2180\"><gml:exterior>"
           "<gml:LinearRing><gml:posList>" +
           pair(e - h, n - h) + pair(e + h, n - h) + pair(e + h, n + h) + pair(e - h, n + h) + pair(e - h, n - h) +
           "</gml:posList></gml:LinearRing></gml:exterior></gml:Polygon>"
           "</ms:geom>" +
           props + "</ms:" + type + "></wfs:member>";
}

class CountyServicesOnLoopback : public SimulatorFixture {
protected:
    CountyServicesOnLoopback()
        : SimulatorFixture({.hostIntervalMs = 0, .retryDelayMs = 10, .defaultReceiveTimeoutMs = 3000}) {}
    std::size_t requestsTo(const std::string& host, const std::string& path) {
        return sim.log().matching(host, path).size();
    }
};

}  // namespace

TEST_F(CountyServicesOnLoopback, MunicipalityCodeIsCachedWithinTenKilometres) {
    std::string lastTypeName;
    sim.scenario().addHandler(kPrgHost, kPrgPath, [&](const sim::SimRequest& r, sim::SimResponse& out) {
        lastTypeName = r.param("typenames");
        out.contentType = "text/xml";
        out.body =
            collection(squareMember("A03_Granice_gmin", 500000, 400000, 5000,
                                    "<ms:JPT_KOD_JE>1465011</ms:JPT_KOD_JE><ms:JPT_NAZWA_>Warszawa</ms:JPT_NAZWA_>"));
        return true;
    });
    net::MunicipalityCache memo;
    EXPECT_EQ(net::findGminaTeryt(client, memo, {499900, 399900, 500100, 400100}), "146501");
    EXPECT_EQ(lastTypeName, "ms:A03_Granice_gmin");
    EXPECT_EQ(requestsTo(kPrgHost, kPrgPath), 1u);
    // The request asks for a 2 m box around the centre, northing first, in EPSG 2180.
    const std::string bbox = sim.log().all().back().query;
    EXPECT_NE(bbox.find("BBOX=399999%2C499999%2C400001%2C500001%2Curn%3Aogc%3Adef%3Acrs%3AEPSG%3A%3A2180"),
              std::string::npos)
        << bbox;

    EXPECT_EQ(net::findGminaTeryt(client, memo, {508900, 399900, 509100, 400100}), "146501");  // 9 km away: cached
    EXPECT_EQ(requestsTo(kPrgHost, kPrgPath), 1u);
    EXPECT_EQ(net::findGminaTeryt(client, memo, {510900, 399900, 511100, 400100}), "146501");  // 11 km: asked again
    EXPECT_EQ(requestsTo(kPrgHost, kPrgPath), 2u);
}

TEST_F(CountyServicesOnLoopback, MunicipalityTypeNameIsLearntFromCapabilitiesOnce) {
    int capabilityRequests = 0;
    sim.scenario().addHandler(kPrgHost, kPrgPath, [&](const sim::SimRequest& r, sim::SimResponse& out) {
        out.contentType = "text/xml";
        if (r.param("request") == "GetCapabilities") {
            ++capabilityRequests;
            out.body =
                "<WFS_Capabilities><FeatureTypeList><FeatureType><Name>ms:A01_Granice_wojewodztw</Name></FeatureType>"
                "<FeatureType><Name>ms:Tereny_obrony_gmin</Name></FeatureType>"
                "<FeatureType><Name>ms:Gminy_punkty</Name></FeatureType>"
                "<FeatureType><Name>ms:A03_Granice_gmin_2025</Name></FeatureType></FeatureTypeList></WFS_Capabilities>";
        } else if (r.param("typenames") == "ms:A03_Granice_gmin_2025") {
            out.body = collection(squareMember("g", 500000, 400000, 5000, "<ms:kod_teryt>0201011</ms:kod_teryt>"));
        } else {
            out.status = 400;
            out.body =
                "<ows:ExceptionReport xmlns:ows=\"o\"><ows:Exception "
                "exceptionCode=\"InvalidParameterValue\"/></ows:ExceptionReport>";
        }
        return true;
    });
    net::MunicipalityCache memo;
    EXPECT_EQ(net::findGminaTeryt(client, memo, {499900, 399900, 500100, 400100}), "020101");
    EXPECT_EQ(memo.typeName, "ms:A03_Granice_gmin_2025");
    EXPECT_EQ(capabilityRequests, 1);

    // Far away and nothing there: no second look at the capabilities, and the old code stays cached.
    net::MunicipalityCache empty;
    empty.typeName = "ms:nic";
    empty.capabilitiesChecked = true;
    EXPECT_EQ(net::findGminaTeryt(client, empty, {0, 0, 10, 10}), "");
    EXPECT_EQ(capabilityRequests, 1);
}

TEST_F(CountyServicesOnLoopback, TypeNamesPreferCurrentLayersAndAreRemembered) {
    std::string caps;
    int status = 200;
    sim.scenario().addHandler(kCountyHost, kCountyPath, [&](const sim::SimRequest&, sim::SimResponse& out) {
        out.status = status;
        out.contentType = "text/xml";
        out.body = caps;
        return true;
    });
    const auto document = [](const std::string& names) {
        return "<wfs:WFS_Capabilities xmlns:wfs=\"http://www.opengis.net/wfs/2.0\"><FeatureTypeList>" + names +
               "<Name/></FeatureTypeList></wfs:WFS_Capabilities>";
    };
    caps = document(
        "<FeatureType><Name>ewns:dzialki_archiwalne</Name></FeatureType><FeatureType><wfs:Name> ewns:dzialki\r\n"
        "</wfs:Name></FeatureType><FeatureType><Name>ewns:budynki</Name></FeatureType>"
        "<FeatureType><Name>ewns:budynki historyczne</Name></FeatureType>");
    net::WfsLayerFetcher fetcher(client);
    std::string parcel, building;
    ASSERT_TRUE(fetcher.discoverTypeNames(kCountyUrl, parcel, building));
    EXPECT_EQ(parcel, "ewns:dzialki");
    EXPECT_EQ(building, "ewns:budynki");

    // The other order gives the same; a name holding both words fills only the parcel slot.
    net::WfsLayerFetcher other(client);
    caps = document("<Name>ms:dzialki</Name><Name>ms:dzialki_archiwum</Name><Name>ms:dzialki_budynki</Name>");
    const std::string url2 = kCountyUrl + "?map=2";
    ASSERT_TRUE(other.discoverTypeNames(url2, parcel, building));
    EXPECT_EQ(parcel, "ms:dzialki");
    EXPECT_EQ(building, "");

    // Answers are remembered per URL: no new request.
    const std::size_t before = requestsTo(kCountyHost, kCountyPath);
    ASSERT_TRUE(fetcher.discoverTypeNames(kCountyUrl, parcel, building));
    EXPECT_EQ(parcel, "ewns:dzialki");
    EXPECT_EQ(requestsTo(kCountyHost, kCountyPath), before);

    // A failed request is not remembered.
    status = 503;
    net::WfsLayerFetcher third(client);
    EXPECT_FALSE(third.discoverTypeNames(kCountyUrl + "?map=3", parcel, building));
    status = 200;
    EXPECT_TRUE(third.discoverTypeNames(kCountyUrl + "?map=3", parcel, building));
}

TEST_F(CountyServicesOnLoopback, WrongAxisOrderFallsThroughToTheNextRequestForm) {
    GD_REQUIRE_REALDATA("gml/egib_wfs_praszuk/geoportal__gml_building_2180_crs.xml");
    const std::string real =
        testsupport::readFile(testsupport::realdata("gml/egib_wfs_praszuk/geoportal__gml_building_2180_crs.xml"));
    // This service reads the box easting first whatever the order: a northing-first box (first number
    // about 382 km) lands elsewhere and returns a building far away; an easting-first box returns the real one.
    sim.scenario().addHandler(kCountyHost, kCountyPath, [&](const sim::SimRequest& r, sim::SimResponse& out) {
        out.contentType = "text/xml";
        out.body =
            r.param("BBOX").rfind("38", 0) == 0 ? collection(squareMember("budynki", 100000, 100000, 5, "")) : real;
        return true;
    });
    net::WfsLayerFetcher fetcher(client);
    const geodesy::Bbox frame{260650, 382860, 260700, 382910};
    auto features = fetcher.fetchCountyLayer(kCountyUrl, "ms:budynki", frame, DataType::budynki, {});
    ASSERT_EQ(features.size(), 1u);
    EXPECT_EQ(features[0].props.at("ID_BUDYNKU"), "020101_1.0009.522_BUD");
    EXPECT_EQ(fetcher.rememberedVariant(kCountyUrl, "ms:budynki"), 2);
    // Two forms, and once the capabilities: an answer that counts nothing might be cut at a stated page size.
    EXPECT_EQ(requestsTo(kCountyHost, kCountyPath), 3u);

    // Within the same import the remembered form is used at once (one request per tile, no probing).
    const geodesy::Bbox next{260640, 382850, 260710, 382920};
    features = fetcher.fetchCountyLayer(kCountyUrl, "ms:budynki", next, DataType::budynki, {});
    EXPECT_EQ(features.size(), 1u);
    EXPECT_EQ(requestsTo(kCountyHost, kCountyPath), 4u);
    EXPECT_TRUE(fetcher.fetchCountyLayer(kCountyUrl, "", next, DataType::budynki, {}).empty());
}

TEST_F(CountyServicesOnLoopback, FrameInsideOneLargeParcelAcceptsTheFirstForm) {
    // A 40 m frame in the middle of a 400 m parcel: no vertex of the parcel lies in the frame, yet the
    // parcel covers it, so the first request form is right and nothing else is tried.
    sim.scenario().addHandler(kCountyHost, kCountyPath, [&](const sim::SimRequest&, sim::SimResponse& out) {
        out.contentType = "text/xml";
        out.body = collection(squareMember("dzialki", 500000, 400000, 200, "<ms:NUMER>7</ms:NUMER>"));
        return true;
    });
    net::WfsLayerFetcher fetcher(client);
    auto features =
        fetcher.fetchCountyLayer(kCountyUrl, "ms:dzialki", {499980, 399980, 500020, 400020}, DataType::dzialki, {});
    ASSERT_EQ(features.size(), 1u);
    EXPECT_EQ(fetcher.rememberedVariant(kCountyUrl, "ms:dzialki"), 1);
    EXPECT_EQ(requestsTo(kCountyHost, kCountyPath), 2u) << "one form and the capabilities";
}

TEST_F(CountyServicesOnLoopback, WholeTypeIsFetchedOnlyWhenSmall) {
    std::string matched = "250000";
    int wholeTypeRequests = 0;
    sim.scenario().addHandler(kCountyHost, kCountyPath, [&](const sim::SimRequest& r, sim::SimResponse& out) {
        out.contentType = "text/xml";
        if (r.param("resultType") == "hits") {
            out.body =
                "<wfs:FeatureCollection xmlns:wfs=\"w\" numberMatched=\"" + matched + "\" numberReturned=\"0\"/>";
        } else if (!r.hasParam("BBOX")) {
            ++wholeTypeRequests;
            out.body = collection(squareMember("uzbrojenie", 500000, 400000, 5, "<ms:a>1</ms:a>") +
                                  squareMember("uzbrojenie", 600000, 400000, 5, "<ms:a>2</ms:a>"));
        } else {
            out.body = collection("");  // the box filter of this service never matches
        }
        return true;
    });
    const geodesy::Bbox frame{499900, 399900, 500100, 400100};
    net::WfsLayerFetcher fetcher(client);
    EXPECT_TRUE(fetcher.fetchCountyLayer(kCountyUrl, "ms:uzbrojenie", frame, DataType::gesut, {}).empty());
    EXPECT_EQ(wholeTypeRequests, 0) << "250000 features are too many to fetch without a box";

    matched = "2";
    std::vector<std::pair<int, int>> progress;
    auto features = fetcher.fetchCountyLayer(kCountyUrl, "ms:uzbrojenie", frame, DataType::gesut,
                                             [&](int done, int total) { progress.emplace_back(done, total); });
    EXPECT_EQ(wholeTypeRequests, 1);
    ASSERT_EQ(features.size(), 1u) << "only the feature on the frame is kept";
    EXPECT_EQ(features[0].props.at("a"), "1");
    ASSERT_GE(progress.size(), 2u);
    EXPECT_EQ(progress.back(), std::make_pair(1, 1));
    EXPECT_EQ(fetcher.rememberedVariant(kCountyUrl, "ms:uzbrojenie"), 0) << "the box-less fetch is not remembered";
}

TEST(FeatureTouchesBox, VerticesEdgesAndCover) {
    const geodesy::Bbox frame{0, 0, 10, 10};
    GisFeature f;
    f.lines = {{{-5, 5}, {15, 5}}};  // crosses the frame without a vertex in it
    EXPECT_TRUE(net::featureTouchesBox(f, frame));
    f.lines = {{{-5, 20}, {15, 20}}};
    EXPECT_FALSE(net::featureTouchesBox(f, frame));
    f.lines.clear();
    // A polygon around the whole frame is checked on a fetch.
    f.polygons = {{{{10, 10}, {20, 10}, {20, 20}}, {}}};  // a corner on the edge counts
    EXPECT_TRUE(net::featureTouchesBox(f, frame));
    f.polygons = {{{{20, 20}, {30, 20}, {30, 30}}, {}}};
    f.anchor = {5, 5};
    f.hasAnchor = true;
    EXPECT_TRUE(net::featureTouchesBox(f, frame));
    f.hasAnchor = false;
    EXPECT_FALSE(net::featureTouchesBox(f, frame));
}

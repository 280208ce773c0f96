// Real WFS answers of Polish services parse into the right PL-1992 coordinates and properties.
//
// Reference coordinates come from GDAL 3.6.2, not from this parser:
//   ogr2ogr --config GML_DOWNLOAD_WFS_SCHEMA NO -f GeoJSON -t_srs EPSG:2180 -lco COORDINATE_PRECISION=4 out.json <answer>
// (for the WFS 1.1 answer with srsName "EPSG:2180", whose MapServer pairs are northing-first, with
// -oo SWAP_COORDINATES=YES). Every vertex of every answer was compared that way while writing this file;
// all agreed within 0.5 mm. The literals below are a sample of those vertices.
#include <gtest/gtest.h>

#include "formats/gml/GmlParser.h"
#include "support/TestSupport.h"

using formats::DataType;
using gml::GisFeature, gml::GmlParseResult, gml::GmlParser;

namespace {

constexpr double kCentimetre = 0.01;

GmlParseResult parseReal(const std::string& relative, DataType type = DataType::budynki) {
    return GmlParser::parse(testsupport::readFile(testsupport::realdata(relative)), type);
}

void expectPoint(const geodesy::PlanarPoint& p, double e, double n) {
    EXPECT_NEAR(p.x, e, kCentimetre);
    EXPECT_NEAR(p.y, n, kCentimetre);
}

}  // namespace

TEST(GmlRealAnswers, Pl1992ParcelsInBothWfsVersionsComeOutEastingFirst) {
    GD_REQUIRE_REALDATA("gml/egib_parcels/uslugazbiorcza_ms_dzialki_wfs20_022602.xml");
    // WFS 2.0, urn:ogc:def:crs:EPSG::2180, pairs written northing first.
    GmlParseResult r = parseReal("gml/egib_parcels/uslugazbiorcza_ms_dzialki_wfs20_022602.xml", DataType::dzialki);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.features.size(), 1u);
    const GisFeature& f = r.features[0];
    EXPECT_EQ(f.type, DataType::dzialki);
    ASSERT_EQ(f.polygons.size(), 1u);
    ASSERT_EQ(f.polygons[0].outer.size(), 21u);
    expectPoint(f.polygons[0].outer[0], 284207.2790, 366372.2324);
    expectPoint(f.polygons[0].outer[1], 284212.9816, 366371.0308);
    EXPECT_EQ(f.props.at("_typ"), "dzialki");
    EXPECT_EQ(f.props.count("gml_id"), 0u) << "a prefixed gml:id is not the plain id attribute";

    GD_REQUIRE_REALDATA("gml/egib_parcels/iip_ows_ms_dzialki_wfs110_gml311_246501.xml");
    // WFS 1.1 / GML 3.1.1 with gml:featureMember and the short "EPSG:2180".
    r = parseReal("gml/egib_parcels/iip_ows_ms_dzialki_wfs110_gml311_246501.xml", DataType::dzialki);
    ASSERT_EQ(r.features.size(), 1u);
    const GisFeature& g = r.features[0];
    ASSERT_EQ(g.polygons.at(0).outer.size(), 5u);
    expectPoint(g.polygons[0].outer[0], 521476.6730, 276695.9865);
    expectPoint(g.polygons[0].outer[2], 521424.6149, 276637.9134);
    EXPECT_EQ(g.props.at("NUMER_DZIALKI"), "363");
    EXPECT_EQ(g.props.at("NAZWA_OBREBU"), "\xC5\x81osie\xC5\x84");  // "Łosień", UTF-8 kept
    EXPECT_EQ(g.props.at("ID_DZIALKI"), "246501_1.0007.363");
    EXPECT_EQ(g.props.count("POLE_EWIDENCYJNE"), 0u) << "empty properties are not stored";
    EXPECT_EQ(g.props.count("boundedBy"), 0u) << "complex properties are not stored";
}

TEST(GmlRealAnswers, CountyBuildingsInPl1992AndWgs84) {
    GD_REQUIRE_REALDATA("gml/egib_wfs_praszuk/geoportal__gml_building_2180_crs.xml");
    GmlParseResult r = parseReal("gml/egib_wfs_praszuk/geoportal__gml_building_2180_crs.xml");
    ASSERT_EQ(r.features.size(), 1u);
    ASSERT_EQ(r.features[0].polygons.at(0).outer.size(), 80u);
    expectPoint(r.features[0].polygons[0].outer[0], 260671.1945, 382895.3867);
    expectPoint(r.features[0].polygons[0].outer[1], 260669.7871, 382895.3053);
    EXPECT_EQ(r.features[0].props.at("ID_BUDYNKU"), "020101_1.0009.522_BUD");
    EXPECT_EQ(r.features[0].props.at("RODZAJ"), "b");

    // A county answering in EPSG:4326 (latitude first) still yields PL-1992 metres.
    r = parseReal("gml/egib_wfs_praszuk/epodgik__gml_basic_building.xml");
    ASSERT_EQ(r.features.size(), 1u);
    ASSERT_EQ(r.features[0].polygons.at(0).outer.size(), 22u);
    expectPoint(r.features[0].polygons[0].outer[0], 627098.0632, 479723.8490);
    expectPoint(r.features[0].polygons[0].outer[1], 627103.8053, 479742.6864);
    EXPECT_EQ(r.features[0].props.at("KONDYGNACJE_NADZIEMNE"), "3");

    // The same building with longitude written first (file edited by its authors) lands on the same spot:
    // reference from the unmodified latitude-first twin.
    r = parseReal("gml/egib_wfs_praszuk/epodgik__gml_coordinates_lon_lat_order.xml");
    ASSERT_EQ(r.features.size(), 1u);
    expectPoint(r.features[0].polygons.at(0).outer[0], 627098.1316, 479723.8508);
    expectPoint(r.features[0].polygons.at(0).outer[1], 627103.8053, 479742.6864);

    r = parseReal("gml/egib_wfs_praszuk/geoportal2__gml_multiple_buildings.xml");
    ASSERT_EQ(r.features.size(), 2u);
    ASSERT_EQ(r.features[0].polygons.size(), 1u);  // MultiSurface with one member
    ASSERT_EQ(r.features[0].polygons[0].outer.size(), 17u);
    ASSERT_EQ(r.features[1].polygons.at(0).outer.size(), 48u);
    expectPoint(r.features[0].polygons[0].outer[0], 474064.1076, 209467.3602);
    expectPoint(r.features[0].polygons[0].outer[8], 474057.4668, 209413.1182);
    expectPoint(r.features[1].polygons[0].outer[0], 474080.4648, 209214.0630);
    EXPECT_EQ(r.features[1].props.at("ID_BUDYNKU"), "240301_1.0034.37_BUD");
}

TEST(GmlRealAnswers, OldEpsgXmlFormOfWarsawGeoserverIsLongitudeFirst) {
    GD_REQUIRE_REALDATA("gml/egib_wfs_praszuk/warszawa__gml_multiple_polygons.xml");
    // srsName "http://www.opengis.net/gml/srs/epsg.xml#4326" only on the MultiSurface; the polygon inherits it.
    GmlParseResult r = parseReal("gml/egib_wfs_praszuk/warszawa__gml_multiple_polygons.xml");
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.features.size(), 10u);
    ASSERT_EQ(r.features[0].polygons.at(0).outer.size(), 40u);
    expectPoint(r.features[0].polygons[0].outer[0], 637334.7741, 486620.5895);
    expectPoint(r.features[0].polygons[0].outer[20], 637384.0876, 486606.3008);
    ASSERT_EQ(r.features[9].polygons.at(0).outer.size(), 39u);
    expectPoint(r.features[9].polygons[0].outer[0], 637380.8953, 486518.3538);
    EXPECT_EQ(r.features[0].props.at("ID_BUDYNKU"), "146510_8.0501.173_BUD");
    EXPECT_EQ(r.features[0].props.at("KONDYGNACJE_NADZIEMNE"), "12");
}

TEST(GmlRealAnswers, GeneralPlanZonesInPl2000ZonesFiveAndSeven) {
    GD_REQUIRE_REALDATA("gml/pog_app/set1_StrefaPlanistyczna_EPSG2176.gml");
    GmlParseResult r = parseReal("gml/pog_app/set1_StrefaPlanistyczna_EPSG2176.gml", DataType::pog);
    ASSERT_EQ(r.features.size(), 28u);
    ASSERT_EQ(r.features[0].polygons.at(0).outer.size(), 47u);
    expectPoint(r.features[0].polygons[0].outer[0], 215192.9827, 593631.8636);
    expectPoint(r.features[0].polygons[0].outer[23], 215650.8567, 593837.1006);
    expectPoint(r.features[1].polygons.at(0).outer[0], 215635.4783, 593857.3584);
    ASSERT_EQ(r.features[27].polygons.at(0).outer.size(), 144u);
    expectPoint(r.features[27].polygons[0].outer[72], 222183.4036, 593924.4394);
    EXPECT_EQ(r.features[0].props.at("symbol"), "SZ");
    EXPECT_EQ(r.features[0].props.at("_typ"), "StrefaPlanistyczna");
    EXPECT_EQ(r.features[0].type, DataType::pog);

    GD_REQUIRE_REALDATA("gml/pog_app/set2_StrefaPlanistyczna_GAP.gml");
    r = parseReal("gml/pog_app/set2_StrefaPlanistyczna_GAP.gml", DataType::pog);
    ASSERT_EQ(r.features.size(), 4u);
    expectPoint(r.features[0].polygons.at(0).outer[0], 524236.0696, 271126.3678);
    expectPoint(r.features[0].polygons.at(0).outer[1], 525774.0847, 269972.2538);
    expectPoint(r.features[2].polygons.at(0).outer[1], 520398.1630, 269745.6528);
}

TEST(GmlRealAnswers, NationalTileIndexAnswerKeepsItsProperties) {
    GD_REQUIRE_REALDATA("gml/gugik_skorowidz_lidar/w2_EVRF2007_2023_PL1992.xml");
    GmlParseResult r = parseReal("gml/gugik_skorowidz_lidar/w2_EVRF2007_2023_PL1992.xml");
    ASSERT_EQ(r.features.size(), 1u);
    const GisFeature& f = r.features[0];
    expectPoint(f.polygons.at(0).outer.at(0), 637617.67, 486704.34);
    expectPoint(f.polygons.at(0).outer.at(2), 637068.28, 487268.65);
    EXPECT_EQ(f.props.at("godlo"), "N-34-139-A-c-1-1-3-4");
    EXPECT_EQ(f.props.at("char_przestrz"), "12 p/m2");
    EXPECT_EQ(
        f.props.at("url_do_pobrania"),
        "https://opendata.geoportal.gov.pl/NumDaneWys/DanePomiaroweLAZ/78044/78044_1403296_N-34-139-A-c-1-1-3-4.laz");
    EXPECT_EQ(f.props.count("akt_data"), 0u) << "a property holding an element is complex";
}

TEST(GmlRealAnswers, EmptyAnswersErrorsAndGeometrylessMembers) {
    GD_REQUIRE_REALDATA("gml/prg/error_400_invalid_typename.xml");
    for (const char* empty :
         {"gml/egib_wfs_praszuk/epodgik__gml_no_building.xml", "gml/egib_wfs_praszuk/geoportal2__gml_no_building.xml",
          "gml/egib_wfs_praszuk/warszawa__gml_no_building.xml",
          "gml/gugik_skorowidz_lidar/w2_EVRF2007_2024_empty.xml"}) {
        GmlParseResult r = parseReal(empty);
        EXPECT_TRUE(r.ok) << empty << ": " << r.error;
        EXPECT_TRUE(r.features.empty()) << empty;
    }
    // Members carrying only a county code and no geometry are skipped, and counted.
    GmlParseResult counties = parseReal("gml/prg/A02_Granice_powiatow_two_counties.xml");
    EXPECT_TRUE(counties.ok);
    EXPECT_EQ(counties.members, 2u);
    EXPECT_EQ(counties.skippedMembers, 2u);
    EXPECT_TRUE(counties.features.empty());

    // An exception document is a failure with the server's reason, not an empty success.
    GmlParseResult error = parseReal("gml/prg/error_400_invalid_typename.xml");
    EXPECT_FALSE(error.ok);
    EXPECT_NE(error.error.find("Serwer WFS zglosil blad"), std::string::npos) << error.error;
    EXPECT_NE(error.error.find("InvalidParameterValue"), std::string::npos) << error.error;
    EXPECT_TRUE(
        GmlParser::parseFeatureCollection(
            testsupport::readFile(testsupport::realdata("gml/prg/error_400_invalid_typename.xml")), DataType::dzialki)
            .empty());
}

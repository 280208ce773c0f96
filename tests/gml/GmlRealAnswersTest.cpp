// Real WFS answers of Polish services parse into the right PL-1992 coordinates and properties.
//
// Reference coordinates from GDAL 3.6.2 (ogr2ogr -f GeoJSON -t_srs EPSG:2180, -oo SWAP_COORDINATES=YES for the
// northing-first WFS 1.1 answer); every vertex agreed within 0.5 mm, a sample is kept below.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "formats/gml/GmlParser.h"
#include "support/TestSupport.h"

using formats::DataType;
using gml::GisFeature, gml::GmlParseResult, gml::GmlParser;

namespace {

GmlParseResult parseReal(const std::string& relative, DataType type = DataType::budynki) {
    return GmlParser::parse(testsupport::readFile(testsupport::realdata(relative)), type);
}

const std::string kParcels = "gml/egib_parcels/", kBuildings = "gml/egib_wfs_praszuk/", kPlan = "gml/pog_app/",
                  kIndex = "gml/gugik_skorowidz_lidar/w2_EVRF2007_2023_PL1992.xml";

}  // namespace

TEST(GmlRealAnswers, VerticesAndPropertiesMatchTheReference) {
    GD_REQUIRE_REALDATA("gml");
    // Each answer's feature count; every feature carries the requested type and one polygon.
    const std::vector<std::tuple<std::string, DataType, std::size_t>> answers{
        {kParcels + "uslugazbiorcza_ms_dzialki_wfs20_022602.xml", DataType::dzialki, 1},
        {kParcels + "iip_ows_ms_dzialki_wfs110_gml311_246501.xml", DataType::dzialki, 1},
        {kBuildings + "geoportal__gml_building_2180_crs.xml", DataType::budynki, 1},
        {kBuildings + "epodgik__gml_basic_building.xml", DataType::budynki, 1},
        {kBuildings + "epodgik__gml_coordinates_lon_lat_order.xml", DataType::budynki, 1},
        {kBuildings + "geoportal2__gml_multiple_buildings.xml", DataType::budynki, 2},  // MultiSurfaces of one polygon
        {kBuildings + "warszawa__gml_multiple_polygons.xml", DataType::budynki, 10},
        {kPlan + "set1_StrefaPlanistyczna_EPSG2176.gml", DataType::pog, 28},
        {kPlan + "set2_StrefaPlanistyczna_GAP.gml", DataType::pog, 4},
        {kIndex, DataType::budynki, 1}};
    for (const auto& [file, type, count] : answers) {
        const GmlParseResult r = parseReal(file, type);
        EXPECT_TRUE(r.ok) << file << ": " << r.error;
        ASSERT_EQ(r.features.size(), count) << file;
        for (const GisFeature& f : r.features) {
            EXPECT_EQ(f.type, type) << file;
            EXPECT_EQ(f.polygons.size(), 1u) << file;
        }
    }

    // Reference vertices: feature, size of its exterior ring (0: not checked), vertex, PL-1992 easting, northing.
    struct Vertex {
        std::string file;
        std::size_t feature, ringSize, index;
        double e, n;
    };
    const std::vector<Vertex> vertices{
        // WFS 2.0, urn:ogc:def:crs:EPSG::2180, pairs written northing first.
        {kParcels + "uslugazbiorcza_ms_dzialki_wfs20_022602.xml", 0, 21, 0, 284207.2790, 366372.2324},
        // WFS 1.1 / GML 3.1.1 with gml:featureMember and the short "EPSG:2180".
        {kParcels + "iip_ows_ms_dzialki_wfs110_gml311_246501.xml", 0, 5, 0, 521476.6730, 276695.9865},
        {kBuildings + "geoportal__gml_building_2180_crs.xml", 0, 80, 0, 260671.1945, 382895.3867},
        // A county answering in EPSG:4326 (latitude first) still yields PL-1992 metres.
        {kBuildings + "epodgik__gml_basic_building.xml", 0, 22, 0, 627098.0632, 479723.8490},
        // The same building with longitude written first (file edited by its authors) lands on the same spot:
        // reference from the unmodified latitude-first twin.
        {kBuildings + "epodgik__gml_coordinates_lon_lat_order.xml", 0, 22, 0, 627098.1316, 479723.8508},
        {kBuildings + "geoportal2__gml_multiple_buildings.xml", 0, 17, 0, 474064.1076, 209467.3602},
        {kBuildings + "geoportal2__gml_multiple_buildings.xml", 1, 48, 0, 474080.4648, 209214.0630},
        // srsName "http://www.opengis.net/gml/srs/epsg.xml#4326" only on the MultiSurface: longitude first.
        {kBuildings + "warszawa__gml_multiple_polygons.xml", 0, 40, 0, 637334.7741, 486620.5895},
        {kBuildings + "warszawa__gml_multiple_polygons.xml", 9, 39, 0, 637380.8953, 486518.3538},
        // General-plan zones in PL-2000 zones five and seven.
        {kPlan + "set1_StrefaPlanistyczna_EPSG2176.gml", 0, 47, 0, 215192.9827, 593631.8636},
        {kPlan + "set1_StrefaPlanistyczna_EPSG2176.gml", 27, 144, 72, 222183.4036, 593924.4394},
        {kPlan + "set2_StrefaPlanistyczna_GAP.gml", 0, 0, 0, 524236.0696, 271126.3678},
        {kPlan + "set2_StrefaPlanistyczna_GAP.gml", 2, 0, 1, 520398.1630, 269745.6528},
        {kIndex, 0, 5, 0, 637617.67, 486704.34}};
    for (const Vertex& v : vertices) {
        SCOPED_TRACE(v.file + " " + std::to_string(v.feature) + "/" + std::to_string(v.index));
        const GmlParseResult r = parseReal(v.file);
        const auto& ring = r.features.at(v.feature).polygons.at(0).outer;
        if (v.ringSize) {
            EXPECT_EQ(ring.size(), v.ringSize);
        }
        ASSERT_LT(v.index, ring.size());
        EXPECT_NEAR(ring[v.index].x, v.e, 0.01);
        EXPECT_NEAR(ring[v.index].y, v.n, 0.01);
    }

    // Properties: UTF-8 kept; empty ones, complex ones (holding elements) and a prefixed gml:id not stored.
    const std::vector<std::tuple<std::string, std::size_t, std::string, std::string>> properties{
        {kParcels + "uslugazbiorcza_ms_dzialki_wfs20_022602.xml", 0, "gml_id", ""},
        {kParcels + "iip_ows_ms_dzialki_wfs110_gml311_246501.xml", 0, "NAZWA_OBREBU", "\xC5\x81osie\xC5\x84"},
        {kParcels + "iip_ows_ms_dzialki_wfs110_gml311_246501.xml", 0, "ID_DZIALKI", "246501_1.0007.363"},
        {kParcels + "iip_ows_ms_dzialki_wfs110_gml311_246501.xml", 0, "POLE_EWIDENCYJNE", ""},
        {kParcels + "iip_ows_ms_dzialki_wfs110_gml311_246501.xml", 0, "boundedBy", ""},
        {kBuildings + "geoportal__gml_building_2180_crs.xml", 0, "ID_BUDYNKU", "020101_1.0009.522_BUD"},
        {kBuildings + "epodgik__gml_basic_building.xml", 0, "KONDYGNACJE_NADZIEMNE", "3"},
        {kPlan + "set1_StrefaPlanistyczna_EPSG2176.gml", 0, "symbol", "SZ"},
        {kPlan + "set1_StrefaPlanistyczna_EPSG2176.gml", 0, "_typ", "StrefaPlanistyczna"},
        {kIndex, 0, "godlo", "N-34-139-A-c-1-1-3-4"},
        {kIndex, 0, "url_do_pobrania",
         "https://opendata.geoportal.gov.pl/NumDaneWys/DanePomiaroweLAZ/78044/78044_1403296_N-34-139-A-c-1-1-3-4.laz"}};
    for (const auto& [file, feature, key, value] : properties) {
        const GmlParseResult r = parseReal(file);
        const auto& props = r.features.at(feature).props;
        const auto it = props.find(key);
        EXPECT_EQ(it == props.end() ? "" : it->second, value) << file << ": " << key;
    }
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

    // An exception document is a failure with the server's reason, not an empty success.
    GmlParseResult error = parseReal("gml/prg/error_400_invalid_typename.xml");
    EXPECT_FALSE(error.ok);
    EXPECT_NE(error.error.find("Serwer WFS zglosil blad"), std::string::npos) << error.error;
    EXPECT_NE(error.error.find("InvalidParameterValue"), std::string::npos) << error.error;
}

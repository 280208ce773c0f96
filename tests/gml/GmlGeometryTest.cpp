// Geometry, reference systems, axis order, dimensions and properties of parsed features.
#include <gtest/gtest.h>

#include <string>

#include "formats/gml/GmlParser.h"

using formats::DataType;
using gml::GisFeature, gml::GmlParser;

namespace {

constexpr double kCentimetre = 0.01;

// One WFS 2.0 collection around the given members.
std::string collection(const std::string& members, const std::string& rootAttributes = "") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<wfs:FeatureCollection xmlns:wfs=\"http://www.opengis.net/wfs/2.0\" "
           "xmlns:gml=\"http://www.opengis.net/gml/3.2\" xmlns:ms=\"http://mapserver.gis.umn.edu/mapserver\"" +
           rootAttributes + ">\n" + members + "</wfs:FeatureCollection>\n";
}

std::string member(const std::string& body, const std::string& featureAttributes = "") {
    return "<wfs:member><ms:obiekt" + featureAttributes + ">" + body + "</ms:obiekt></wfs:member>\n";
}

std::string polygon(const std::string& srsName, const std::string& exterior, const std::string& interiors = "") {
    std::string s = "<ms:geom><gml:Polygon" + (srsName.empty() ? "" : " srsName=\"" + srsName + "\"") +
                    "><gml:exterior><gml:LinearRing><gml:posList>" + exterior +
                    "</gml:posList></gml:LinearRing></gml:exterior>";
    if (!interiors.empty()) s += interiors;
    return s + "</gml:Polygon></ms:geom>";
}

std::string interior(const std::string& positions) {
    return "<gml:interior><gml:LinearRing><gml:posList>" + positions + "</gml:posList></gml:LinearRing></gml:interior>";
}

std::vector<GisFeature> parse(const std::string& gml, DataType type = DataType::dzialki) {
    return GmlParser::parseFeatureCollection(gml, type);
}

}  // namespace

TEST(GmlAxisOrder, Pl2000EastingIsFoundByItsZoneMillions) {
    // gdaltransform -s_srs EPSG:2178 -t_srs EPSG:2180 of easting 7450000, northing 5800000.
    for (const char* pair : {"7450000 5800000", "5800000 7450000"}) {
        auto f = parse(collection(member("<ms:p><gml:Point srsName=\"urn:ogc:def:crs:EPSG::2178\"><gml:pos>" +
                                         std::string(pair) + "</gml:pos></gml:Point></ms:p>")));
        ASSERT_EQ(f.size(), 1u) << pair;
        EXPECT_NEAR(f[0].anchor.x, 586273.7305, kCentimetre) << pair;
        EXPECT_NEAR(f[0].anchor.y, 496887.9370, kCentimetre) << pair;
    }
}

TEST(GmlAxisOrder, SrsNameIsInheritedFromTheNearestAncestorOnly) {
    // EPSG:2180 declared only on a bounding box elsewhere: pairs stay in their written order.
    const std::string box =
        "<wfs:boundedBy><gml:Envelope srsName=\"EPSG:2180\"><gml:lowerCorner>1 2</gml:lowerCorner>"
        "<gml:upperCorner>3 4</gml:upperCorner></gml:Envelope></wfs:boundedBy>";
    auto f = parse(collection(box + member(polygon("", "200 100 210 100 210 110 200 100"))));
    ASSERT_EQ(f.size(), 1u);
    EXPECT_DOUBLE_EQ(f[0].polygons.at(0).outer[0].x, 200);
    EXPECT_DOUBLE_EQ(f[0].polygons.at(0).outer[0].y, 100);

    // A PL-2000 zone on the document element is the default for every geometry without its own.
    f = parse(
        collection(member(polygon("", "5800000 7450000 5800010 7450000 5800010 7450010")), " srsName=\"EPSG:2178\""));
    ASSERT_EQ(f.size(), 1u);
    EXPECT_NEAR(f[0].polygons.at(0).outer[0].x, 586273.7305, kCentimetre);
    EXPECT_NEAR(f[0].polygons.at(0).outer[0].y, 496887.9370, kCentimetre);
}

TEST(GmlAxisOrder, EpsgCodeIsTakenFromEveryUsualSpelling) {
    EXPECT_EQ(GmlParser::parseEpsgCode("http://www.opengis.net/def/crs/EPSG/0/2177"), 2177);
    EXPECT_EQ(GmlParser::parseEpsgCode("EPSG"), 0);
    EXPECT_EQ(GmlParser::parseEpsgCode("urn:ogc:def:crs:OGC:1.3:CRS84"), 0);
    EXPECT_EQ(GmlParser::parseEpsgCode("EPSG:2180:99999999999999999999999"), 2180) << "an overlong run is no code";
}

TEST(GmlDimensions, ThreeDimensionalListsAreReadAsTriples) {
    // The dimension declared on the list, on the polygon or on the feature.
    const auto ring = [](const std::string& listAttribute, const std::string& polygonAttribute) {
        return "<ms:geom><gml:Polygon" + polygonAttribute + "><gml:exterior><gml:LinearRing><gml:posList" +
               listAttribute +
               ">0 0 7 10 0 7 10 10 7 0 0 7</gml:posList></gml:LinearRing></gml:exterior></gml:Polygon>" + "</ms:geom>";
    };
    const std::string three = " srsDimension=\"3\"";
    for (const std::string& text : {collection(member(ring(three, ""))), collection(member(ring("", three))),
                                    collection(member(ring("", ""), three))}) {
        auto f = parse(text);
        ASSERT_EQ(f.size(), 1u);
        const auto& outer = f[0].polygons.at(0).outer;
        ASSERT_EQ(outer.size(), 4u);
        EXPECT_DOUBLE_EQ(outer[1].x, 10);
    }

    // An absurd declared dimension falls back to pairs instead of swallowing the list.
    auto f =
        parse(collection(member("<ms:l><gml:LineString><gml:posList srsDimension=\"1000000\">1 2 3 4</gml:posList>"
                                "</gml:LineString></ms:l>")));
    ASSERT_EQ(f.size(), 1u);
    ASSERT_EQ(f[0].lines.at(0).size(), 2u);
}

TEST(GmlStructure, PolygonsHolesLinesPointsAndAnchors) {
    // Exterior and two interior rings: one polygon with two holes.
    auto f = parse(
        collection(member(polygon("", "0 0 10 0 10 10 0 10 0 0", interior("1 1 2 1 2 2") + interior("5 5 6 5 6 6")))));
    ASSERT_EQ(f.size(), 1u);
    ASSERT_EQ(f[0].polygons.size(), 1u);
    ASSERT_EQ(f[0].polygons[0].holes.size(), 2u);
    EXPECT_DOUBLE_EQ(f[0].polygons[0].holes[1][0].x, 5);
    EXPECT_DOUBLE_EQ(f[0].anchor.x, 4);  // (0+10+10+0+0)/5

    // A posList with 7 numbers gives 3 points; a line's anchor is its middle vertex.
    f = parse(
        collection(member("<ms:l><gml:LineString><gml:posList>1 2 3 4 5 6 7</gml:posList></gml:LineString></ms:l>")));
    ASSERT_EQ(f.size(), 1u);
    ASSERT_EQ(f[0].lines.at(0).size(), 3u);
    EXPECT_DOUBLE_EQ(f[0].anchor.x, 3);
    EXPECT_DOUBLE_EQ(f[0].anchor.y, 4);

    // Rings given as one gml:pos per vertex; a one-point line and a bare envelope give nothing.
    f = parse(collection(
        member("<ms:g><gml:Polygon><gml:exterior><gml:LinearRing><gml:pos>1 2</gml:pos><gml:pos>3 4 9</gml:pos>"
               "<gml:pos>5</gml:pos><gml:pos>5 6</gml:pos></gml:LinearRing></gml:exterior></gml:Polygon></ms:g>") +
        member("<ms:l><gml:LineString><gml:posList>1 2</gml:posList></gml:LineString></ms:l>")));
    ASSERT_EQ(f.size(), 1u);
    ASSERT_EQ(f[0].polygons.at(0).outer.size(), 3u);
    EXPECT_DOUBLE_EQ(f[0].polygons[0].outer[2].y, 6);

    // A point is the anchor only of a feature without polygons and lines.
    f = parse(collection(
        member("<ms:p><gml:Point><gml:pos>7 8</gml:pos></gml:Point></ms:p>") +
        member("<ms:p><gml:Point><gml:pos>99 99</gml:pos></gml:Point></ms:p>" + polygon("", "0 0 2 0 2 2 0 2"))));
    ASSERT_EQ(f.size(), 2u);
    EXPECT_DOUBLE_EQ(f[0].anchor.x, 7);
    EXPECT_DOUBLE_EQ(f[1].anchor.x, 1);
}

TEST(GmlStructure, OlderGmlAndWrapperForms) {
    // GML 2 (WFS 1.0): outerBoundaryIs/innerBoundaryIs with comma-separated coordinates.
    auto f = parse(collection(
        "<gml:featureMember><ms:d fid=\"d.1\"><ms:geom><gml:Polygon "
        "srsName=\"EPSG:2180\"><gml:outerBoundaryIs><gml:LinearRing>"
        "<gml:coordinates>200,100 210,100 210,110 200,100</gml:coordinates></gml:LinearRing></gml:outerBoundaryIs>"
        "<gml:innerBoundaryIs><gml:LinearRing><gml:coordinates cs=\";\">201;101 202;101 202;102</gml:coordinates>"
        "</gml:LinearRing></gml:innerBoundaryIs></gml:Polygon></ms:geom></ms:d></gml:featureMember>"));
    ASSERT_EQ(f.size(), 1u);
    ASSERT_EQ(f[0].polygons.at(0).outer.size(), 4u);
    EXPECT_DOUBLE_EQ(f[0].polygons[0].outer[0].x, 200) << "GML 2 lists x first whatever the srsName";
    ASSERT_EQ(f[0].polygons[0].holes.size(), 1u);
    EXPECT_EQ(f[0].polygons[0].holes[0].size(), 3u);

    // GML 3.1 plural wrapper: every child is a feature.
    f = parse(collection("<gml:featureMembers><ms:a>" + polygon("", "0 0 1 0 1 1") + "</ms:a><ms:b>" +
                         polygon("", "5 5 6 5 6 6") + "</ms:b></gml:featureMembers>"));
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(f[0].props.at("_typ"), "a");
    EXPECT_EQ(f[1].props.at("_typ"), "b");

    // An answer to two type names nests collections; each feature is read once.
    f = parse(collection("<wfs:member><wfs:FeatureCollection>" + member(polygon("", "0 0 1 0 1 1")) +
                         "</wfs:FeatureCollection></wfs:member><wfs:member><wfs:FeatureCollection>" +
                         member(polygon("", "5 5 6 5 6 6")) + "</wfs:FeatureCollection></wfs:member>"));
    ASSERT_EQ(f.size(), 2u);
}

TEST(GmlProperties, SimpleValuesIdsAndTypeName) {
    auto f = parse(collection(
        member(polygon("", "0 0 1 0 1 1") +
                   "<ms:NUMER>12/3</ms:NUMER><ms:PUSTE></ms:PUSTE><ms:ADRES><ms:ULICA>Lipowa</ms:ULICA></ms:ADRES>"
                   "<ms:NUMER>12/4</ms:NUMER><ms:_typ>nadpisany</ms:_typ><ms:OPIS><![CDATA[a < b]]></ms:OPIS>",
               " gml:id=\"x.1\" id=\"plain\" fid=\"fid.7\"")));
    ASSERT_EQ(f.size(), 1u);
    const auto& p = f[0].props;
    EXPECT_EQ(p.at("NUMER"), "12/4") << "a later child of the same name wins";
    EXPECT_EQ(p.count("PUSTE"), 0u);
    EXPECT_EQ(p.count("ADRES"), 0u) << "a nested address block is no simple property";
    EXPECT_EQ(p.count("geom"), 0u);
    EXPECT_EQ(p.at("_typ"), "obiekt") << "the feature element's name overrides a property of that name";
    EXPECT_EQ(p.at("gml_id"), "fid.7") << "fid replaces id";
    EXPECT_EQ(p.at("OPIS"), "a < b");

    f = parse(collection(member(polygon("", "0 0 1 0 1 1") + "<ms:gml_id>z wlasciwosci</ms:gml_id>", " id=\"plain\"")));
    EXPECT_EQ(f.at(0).props.at("gml_id"), "z wlasciwosci");
    f = parse(collection(member(polygon("", "0 0 1 0 1 1"), " id=\"plain\"")));
    EXPECT_EQ(f.at(0).props.at("gml_id"), "plain");
}

// The GeoJSON preview sent to the map page: shape, kinds, key order and WGS84 positions.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "formats/gml/GmlParser.h"

using formats::DataType;
using gml::GisFeature, gml::GisPolygon, gml::featuresToGeoJson;

namespace {

GisFeature feature(DataType type, std::vector<GisPolygon> polygons,
                   std::vector<std::vector<geodesy::PlanarPoint>> lines, bool hasAnchor = false) {
    GisFeature f;
    f.type = type;
    f.polygons = std::move(polygons);
    f.lines = std::move(lines);
    f.anchor = {500000, 400000};
    f.hasAnchor = hasAnchor;
    return f;
}

GisPolygon square(double x, double y) { return {{{x, y}, {x + 10, y}, {x + 10, y + 10}, {x, y + 10}}, {}}; }

}  // namespace

TEST(GeoJsonPreview, GeometryChoiceAndKinds) {
    GisPolygon p = square(500000, 400000);
    p.holes = {{{500001, 400001}, {500002, 400001}, {500002, 400002}},
               {{500005, 400005}, {500006, 400005}, {500006, 400006}}};
    GisFeature holed = feature(DataType::dzialki, {p}, {}, true);
    holed.props = {{"numer", "12/3"}, {"_typ", "dzialki"}};
    const GisFeature twoPolygonsAndLine = feature(DataType::budynki, {square(500000, 400000), square(500100, 400000)},
                                                  {{{500000, 400000}, {500001, 400001}}});
    const GisFeature oneLine = feature(DataType::gesut, {}, {{{500000, 400000}, {500001, 400001}, {500002, 400002}}});
    const GisFeature twoLines =
        feature(DataType::pog, {}, {{{500000, 400000}, {500001, 400001}}, {{500003, 400003}, {500004, 400004}}});
    const GisFeature point = feature(static_cast<DataType>(7), {}, {}, true);
    const GisFeature nothing = feature(DataType::mpzp, {}, {});
    const GisFeature other = feature(static_cast<DataType>(42), {}, {}, true);

    const std::string text = featuresToGeoJson({holed, twoPolygonsAndLine, oneLine, twoLines, point, nothing, other});
    EXPECT_EQ(text.find('\n'), std::string::npos);
    EXPECT_EQ(text.find(": "), std::string::npos) << "compact output";
    EXPECT_EQ(text.rfind("{\"features\":[", 0), 0u) << "members in name order";
    const nlohmann::json j = nlohmann::json::parse(text);
    const auto& fs = j["features"];
    ASSERT_EQ(fs.size(), 6u) << "a feature without geometry has no entry";

    ASSERT_EQ(fs[0]["geometry"]["coordinates"].size(), 3u);
    EXPECT_EQ(fs[0]["geometry"]["coordinates"][0].size(), 4u) << "rings are written as stored, not closed";
    EXPECT_EQ(fs[0]["properties"]["numer"], "12/3");
    // The line of a feature with polygons is not shown; the last feature has only a kind.
    const std::vector<std::pair<nlohmann::json, const char*>> shapes{
        {"Polygon", "dzialka"},     {"MultiPolygon", "budynek"}, {"LineString", "gesut"},
        {"MultiLineString", "pog"}, {"Point", "rastr"},          {nullptr, "inne"}};
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        if (!shapes[i].first.is_null()) {
            EXPECT_EQ(fs[i]["geometry"]["type"], shapes[i].first) << i;
        }
        EXPECT_EQ(fs[i]["properties"]["_kind"], shapes[i].second) << i;
    }
}

TEST(GeoJsonPreview, PositionsAreLongitudeLatitude) {
    // PL-1992 (637617.67, 486704.34) -> gdaltransform -s_srs EPSG:2180 -t_srs EPSG:4326: 21.0156249614 52.2291659977.
    GisFeature f;
    f.anchor = {637617.67, 486704.34};
    f.hasAnchor = true;
    f.props = {{"nazwa", "\xC5\x81\xC3\xB3\x64\xC5\xBA"}};  // "Łódź"
    const std::string text = featuresToGeoJson({f});
    EXPECT_NE(text.find("\xC5\x81\xC3\xB3\x64\xC5\xBA"), std::string::npos) << "non-ASCII kept as UTF-8";
    const nlohmann::json p = nlohmann::json::parse(text);
    EXPECT_NEAR(p["features"][0]["geometry"]["coordinates"][0].get<double>(), 21.0156249614, 1e-8);
    EXPECT_NEAR(p["features"][0]["geometry"]["coordinates"][1].get<double>(), 52.2291659977, 1e-8);
}

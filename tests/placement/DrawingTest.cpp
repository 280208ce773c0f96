// What placement draws for each kind of 2D feature and each raster: layers, pens, fills, hatches,
// labels and pictures at their project coordinates.
#include <numbers>

#include "PlacementFixture.h"
#include "import/Drawing2D.h"

namespace importer {

using formats::DataType;

namespace {

gml::GisFeature withProps(gml::GisFeature f, std::map<std::string, std::string> props,
                          std::optional<geodesy::PlanarPoint> label) {
    f.props = std::move(props);
    if (label) {
        f.anchor = *label;
        f.hasAnchor = true;
    }
    return f;
}

}  // namespace

using Drawing = PlacementFixture;

TEST_F(Drawing, EachFeatureKindIsDrawnOnItsLayerAtItsProjectCoordinates) {
    const geodesy::PlanarPoint origin = georeferenceExact(centre());
    nlohmann::json mapping{{"dzialki", "Moje dzialki"}, {"budynki", ""}};
    send({{"type", "settingsChanged"}, {"mapping", mapping}});

    gml::GisFeature parcel = square(DataType::dzialki, at(0, 0), 40);
    parcel.polygons[0].holes.push_back({at(10, 10), at(20, 10), at(20, 20), at(10, 10)});  // already closed
    parcel.lines.push_back({at(0, 50), at(40, 50)});
    parcel = withProps(parcel, {{"numer_obrebu", "0005"}, {"numer", "146101_1.0001.123/4"}}, at(20, 30));
    const gml::GisFeature building = square(DataType::budynki, at(50, 0), 10);
    const gml::GisFeature mpzp =
        withProps(square(DataType::mpzp, at(0, -50), 30), {{"symbol", "SW"}, {"oznaczenie", "1MN"}}, at(15, -35));
    const gml::GisFeature pogColoured = withProps(square(DataType::pog, at(-50, 0), 20),
                                                  {{"symbol", "3sw"}, {"_typ", "StrefaPlanistyczna"}}, at(-40, 10));
    const gml::GisFeature pogPlain =
        withProps(square(DataType::pog, at(-50, 30), 20), {{"symbol", "MN"}}, std::nullopt);
    const gml::GisFeature pogInfill =
        withProps(square(DataType::pog, at(-50, 60), 20), {{"_typ", "ObszarUzupelnieniaZabudowy"}}, at(-40, 70));
    const gml::GisFeature pogSocial =
        withProps(square(DataType::pog, at(-80, 60), 20),
                  {{"_typ", "ObszarStandardowDostepnosciInfrastrukturySpolecznej"}}, std::nullopt);
    gml::GisFeature pogDowntown =
        withProps(square(DataType::pog, at(-80, 0), 20),
                  {{"_typ", "ObszarZabudowySrodmiejskiej"}, {"oznaczenie", ""}, {"symbol", "SC"}}, at(-70, 10));
    pogDowntown.polygons[0].holes.push_back({at(-75, 5), at(-70, 5), at(-70, 10)});
    gml::GisFeature utility;
    utility.type = DataType::gesut;
    utility.lines = {{at(0, -60), at(30, -60), at(30, -70)}};
    utility.polygons = square(DataType::gesut, at(0, -90), 5).polygons;  // ignored

    FetchedData data;
    data.features = {parcel, building, mpzp, pogColoured, pogPlain, pogInfill, pogSocial, pogDowntown, utility};
    fetchPrepared(data, {"dzialki", "budynki", "mpzp", "pog", "gesut"});
    placed(nlohmann::json{{"budynki", 1}, {"dzialki", 1}, {"gesut", 1}, {"mpzp", 1}, {"pog", 5}});

    const auto lines = elements<host::PolylineElement>();
    ASSERT_EQ(lines.size(), 5u);  // parcel outer, hole, line; downtown outline; utility
    const std::int32_t parcelLayer = layerIndex("Moje dzialki");
    ASSERT_NE(parcelLayer, 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(lines[i].layer, parcelLayer);
        EXPECT_EQ(lines[i].pen, 10);
    }
    ASSERT_EQ(lines[0].points.size(), 5u) << "the outer ring is closed";
    expectNear(lines[0].points[1], expected(at(40, 0), origin));
    EXPECT_EQ(lines[0].points[4], lines[0].points[0]);
    EXPECT_EQ(lines[1].points.size(), 4u) << "a closed hole gets no second closing point";
    EXPECT_EQ(lines[2].points.size(), 2u) << "a line stays open";
    EXPECT_EQ(lines[3].pen, 8);
    EXPECT_EQ(lines[3].points.size(), 5u) << "downtown zones: the outer ring alone";
    EXPECT_EQ(lines[4].pen, 5);
    EXPECT_EQ(lines[4].layer, layerIndex("GIS_GESUT"));
    expectNear(lines[4].points[2], expected(at(30, -70), origin));

    const auto fills = elements<host::FillElement>();
    ASSERT_EQ(fills.size(), 6u);  // building, mpzp, coloured, plain, infill hatch, social hatch
    EXPECT_EQ(fills[0].layer, layerIndex("GIS_BUDYNKI")) << "an empty layer name falls back to the default";
    EXPECT_EQ(fills[0].contourPen, 6);
    EXPECT_FALSE(fills[0].useOwnColour);
    expectNear(fills[0].contours[0][2], expected(at(60, 10), origin));
    EXPECT_EQ(fills[1].contourPen, 30);
    EXPECT_FALSE(fills[1].useOwnColour) << "local plans keep the fill's colour whatever the symbol";
    EXPECT_EQ(fills[2].contourPen, 32);
    EXPECT_TRUE(fills[2].useOwnColour);
    EXPECT_EQ(fills[2].ownColour, (host::HostColour{140 / 255.0, 123 / 255.0, 107 / 255.0}));
    host::Attribute fill;
    ASSERT_EQ(model.getAttribute(host::kAttrFill, fills[2].fillType, fill), host::kHostOk);
    EXPECT_EQ(fill.fillKind, host::kFillSolid);
    EXPECT_FALSE(fills[3].useOwnColour) << "MN is no zone code";
    EXPECT_EQ(fills[4].contourPen, 8);
    ASSERT_EQ(model.getAttribute(host::kAttrFill, fills[4].fillType, fill), host::kHostOk);
    EXPECT_EQ(fill.name, "Kreskowanie pionowe");
    EXPECT_EQ(fills[4].ownColour, (host::HostColour{90 / 255.0, 90 / 255.0, 90 / 255.0}));
    ASSERT_EQ(model.getAttribute(host::kAttrFill, fills[5].fillType, fill), host::kHostOk);
    EXPECT_EQ(fill.name, "Kreskowanie ukosne");

    const auto texts = elements<host::TextElement>();
    ASSERT_EQ(texts.size(), 3u);  // parcel, mpzp, coloured pog ("3sw"); the others have no label point or text
    EXPECT_EQ(texts[0].content, "123/4");
    EXPECT_EQ(texts[0].pen, 10);
    EXPECT_EQ(texts[0].size, 1.5);
    EXPECT_EQ(texts[0].anchor, 4);  // centred on the label point
    expectNear(texts[0].position, expected(at(20, 30), origin));
    EXPECT_EQ(texts[1].content, "1MN");
    EXPECT_EQ(texts[1].pen, 30);
    EXPECT_EQ(texts[1].size, 2.5);
    EXPECT_EQ(texts[2].content, "3sw");
    EXPECT_EQ(texts[2].pen, 32);
}

TEST(DrawingRules, ParcelLabelsAndZoneColours) {
    using Props = std::map<std::string, std::string>;
    const std::vector<std::pair<Props, std::string>> labels{
        {{{"numer", "146101_1.0001.123/4"}}, "123/4"},
        {{{"numer", "123/4."}}, "123/4."},  // a value ending in a dot stays whole
        {{{"numer_obrebu", "0005"}, {"numer", "7"}}, "7"},
        {{{"arkusz_numer", "2"}, {"jednostka_numer", "3"}}, ""},
        {{{"ID_DZIALKI", "146101_1.0001.55"}, {"numer", "9"}}, "55"},
        {{{"Nr_Dzialki", "12/1"}, {"idDzialki", "x.13"}}, "12/1"},
        {{{"nr_dzialki", ""}, {"identyfikator", "a.b.8"}}, "8"}};
    for (const auto& [props, label] : labels) EXPECT_EQ(parcelLabel(props), label) << props.begin()->second;

    for (const char* code : {"3SW", "sw"}) EXPECT_EQ(pogZoneColour(code), (Rgb{140, 123, 107})) << code;
    for (const char* code : {"SWX", "XSW", "MN", "SWSK", ""}) EXPECT_EQ(pogZoneColour(code), std::nullopt) << code;
    EXPECT_EQ(pogZoneColour("1SK/SC"), (Rgb{169, 198, 174})) << "rows are tried in table order";
}

TEST_F(Drawing, RastersArePicturesWithConvertedCornersAndTheProjectRotation) {
    const double rotation = 30.0 * std::numbers::pi / 180.0;
    const geodesy::PlanarPoint origin = georeferenceExact(centre(), rotation);
    const geodesy::PlanarPoint c = centre();
    const geodesy::PlanarPoint zc = geodesy::pl1992ToPl2000(c, 2178);
    FetchedData data;
    data.rasters = {raster({c.x - 100, c.y - 50, c.x + 100, c.y + 50}, 2180),
                    raster({zc.x, zc.y, zc.x + 40, zc.y + 20}, 2178, DataType::mpzp), raster({0, 0, 0, 0}, 2178)};
    data.rasters[2].image.clear();  // nothing to show: skipped, not counted
    // A tile of the neighbouring zone: its corners go through PL-1992, not read as PL-1992.
    const geodesy::PlanarPoint z6 = geodesy::pl1992ToPl2000(c, 2177);
    data.rasters.push_back(raster({z6.x, z6.y, z6.x + 40, z6.y + 20}, 2177, DataType::gesut));
    fetchPrepared(data, {"ortofoto"});
    placed(nlohmann::json{{"gesut (rastr)", 1}, {"mpzp (rastr)", 1}, {"rastry (rastr)", 1}});

    const auto pictures = elements<host::PictureElement>();
    ASSERT_EQ(pictures.size(), 3u);
    ProjectTransform t{origin.x, origin.y, rotation, 0, 0};
    auto mapped = [&](geodesy::PlanarPoint p1992) {
        const geodesy::PlanarPoint z = geodesy::pl1992ToPl2000(p1992, 2178);
        return t.apply(z.x, z.y);
    };
    // The ortho tile in PL-1992: exact conversion of its corners, rotated with the project.
    const host::HostPoint2 p0 = mapped({c.x - 100, c.y - 50}), p1 = mapped({c.x + 100, c.y - 50}),
                           p2 = mapped({c.x - 100, c.y + 50});
    expectNear(pictures[0].boxMin, p0, 1e-6);
    const double width = std::hypot(p1.x - p0.x, p1.y - p0.y), height = std::hypot(p2.x - p0.x, p2.y - p0.y);
    expectNear(pictures[0].boxMax, {p0.x + width, p0.y + height}, 1e-6);
    EXPECT_NEAR(pictures[0].angle, std::atan2(p1.y - p0.y, p1.x - p0.x), 1e-12);
    EXPECT_EQ(pictures[0].mimeType, "image/png");
    EXPECT_EQ(pictures[0].layer, layerIndex("GIS_RASTRY"));
    EXPECT_EQ(std::string(pictures[0].bytes.begin(), pictures[0].bytes.end()), data.rasters[0].image);

    // A tile in the working zone is used as it is: 40 x 20 m, corner at the project origin.
    expectNear(pictures[1].boxMin, {0, 0}, 1e-6);
    expectNear(pictures[1].boxMax, {40, 20}, 1e-6);
    EXPECT_NEAR(pictures[1].angle, -rotation, 1e-12);
    EXPECT_EQ(pictures[1].layer, layerIndex("GIS_MPZP"));

    // The zone-6 tile lands next to the zone-7 one (same place on the ground), not 1000 km away.
    expectNear(pictures[2].boxMin, {0, 0}, 0.01);
    EXPECT_NEAR(pictures[2].boxMax.x - pictures[2].boxMin.x, 40, 0.1);
}

TEST_F(Drawing, ALayerNameTooLongForTheHostIsCutOnceAndFoundAgain) {
    georeferenceExact(centre());
    std::string longName;
    for (int i = 0; i < 150; ++i) longName += "\xC5\xBC";  // 300 bytes of "z with dot"
    send({{"type", "settingsChanged"}, {"mapping", {{"dzialki", longName}}}});
    FetchedData data;
    data.features = {square(DataType::dzialki, at(0, 0), 10)};
    fetchPrepared(data);

    EXPECT_EQ(place()["counts"], (nlohmann::json{{"dzialki", 1}}));
    EXPECT_EQ(place()["counts"], (nlohmann::json{{"dzialki", 1}})) << "the second placement finds the layer it made";
    const std::int32_t layer = layerIndex(longName.substr(0, 254));
    ASSERT_NE(layer, 0);
    for (const auto& line : elements<host::PolylineElement>()) EXPECT_EQ(line.layer, layer);
}

}  // namespace importer

// The text scan of tile-index answers: real answers of the national LiDAR index, and answers shaped to break
// a careless scan.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "net/TileIndex.h"
#include "support/TestSupport.h"

using namespace net;

namespace {

std::string member(const std::string& inner) {
    return "<wfs:member><gugik:T gml:id=\"x\">" + inner + "</gugik:T></wfs:member>\n";
}
std::string element(const std::string& name, const std::string& text) {
    return "<gugik:" + name + ">" + text + "</gugik:" + name + ">";
}
std::string collection(const std::string& members) {
    return "<?xml version=\"1.0\"?><wfs:FeatureCollection xmlns:gugik=\"http://www.gugik.gov.pl\">" + members +
           "</wfs:FeatureCollection>";
}

}  // namespace

TEST(TileIndexScan, RealLidarAnswers) {
    const std::string folder = "gml/gugik_skorowidz_lidar/";
    GD_REQUIRE_REALDATA(folder + "w2_EVRF2007_2023_PL1992.xml");
    const std::string answer = testsupport::readFile(testsupport::realdata(folder + "w2_EVRF2007_2023_PL1992.xml"));
    const auto tiles = scanLidarIndex(answer);
    ASSERT_EQ(tiles.size(), 1u);
    EXPECT_EQ(tiles[0].godlo, "N-34-139-A-c-1-1-3-4");
    EXPECT_EQ(
        tiles[0].url,
        "https://opendata.geoportal.gov.pl/NumDaneWys/DanePomiaroweLAZ/78044/78044_1403296_N-34-139-A-c-1-1-3-4.laz");
    EXPECT_DOUBLE_EQ(tiles[0].density, 12.0);
    // The sheet's polygon, northing first as its EPSG URN says (the emblem lies near 52.1 N, 21.0 E).
    EXPECT_EQ(tiles[0].outline, (geodesy::Bbox{637068.28, 486689.54, 637617.67, 487283.46}));

    GD_REQUIRE_REALDATA(folder + "w2_EVRF2007_2024_empty.xml");
    EXPECT_TRUE(
        scanLidarIndex(testsupport::readFile(testsupport::realdata(folder + "w2_EVRF2007_2024_empty.xml"))).empty());
}

TEST(TileIndexScan, UkladXyAndDensityTexts) {
    EXPECT_EQ(decodeUkladXy("PL-1992"), 2180);
    EXPECT_EQ(decodeUkladXy("PL-2000 strefa S5"), 2176);
    EXPECT_EQ(decodeUkladXy("S6 / PL-2000"), 2177) << "the first capital S anywhere in the text";
    EXPECT_EQ(decodeUkladXy("PL-2000 Strefa 7"), 0) << "the first S is followed by a letter";
    for (const char* none : {"PL-2000", "PL-2000:S9", "PL-2000:S", "UTM 34N", "", "pl-1992"})
        EXPECT_EQ(decodeUkladXy(none), 0) << none;
    // An overflowing number is no density.
    for (const auto& [text, density] : std::vector<std::pair<std::string, double>>{
             {"12 p/m2", 12.0}, {" 4.5pkt/m2", 4.5}, {"1e", 1.0}, {"okolo 6", 0.0}, {"", 0.0}, {"1e999 p/m2", 0.0}})
        EXPECT_DOUBLE_EQ(decodeDensity(text), density) << text;
}

TEST(TileIndexScan, MembersAndElementsEdgeCases) {
    const std::string body = collection(
        member(element("godlo", "A") + element("url_do_pobrania", "")) +
        member(element("godlo", "B") + element("url_do_pobrania", "ftp://host/b.asc")) +
        // No emblem here: the next member's must not be taken.
        member(element("url_do_pobrania", "\r\n\t https://host/c.asc \n")) +
        member("<gml:Polygon srsName=\"EPSG:2180\"><gml:posList>100 200 110 200 110 220 100 200</gml:posList>" +
               element("godlo", "D") + element("uklad_xy", "PL-2000:S6") + element("char_przestrz", "7 p/m2") +
               element("url_do_pobrania", "https://host/d.asc?a=1&amp;b=2")) +
        member(element("godlo", "E") + "<gugik:url_do_pobrania xsi:nil=\"true\"/>") +
        member(element("godlo", "F") + element("url_do_pobrania", "http://host/f.asc")));
    const auto tiles = scanLidarIndex(body);
    ASSERT_EQ(tiles.size(), 3u);
    EXPECT_EQ(tiles[0].godlo, "");
    EXPECT_EQ(tiles[0].url, "https://host/c.asc");
    EXPECT_EQ(tiles[0].epsg, 0) << "the next member's system is not borrowed either";
    EXPECT_EQ(tiles[1].url, "https://host/d.asc?a=1&b=2");
    EXPECT_EQ(tiles[1].epsg, 2177);
    EXPECT_DOUBLE_EQ(tiles[1].density, 7.0);
    EXPECT_EQ(tiles[0].outline, geodesy::Bbox{}) << "nor the next member's polygon";
    EXPECT_EQ(tiles[1].outline, (geodesy::Bbox{100, 200, 110, 220}));  // a plain EPSG code: easting first
    EXPECT_EQ(tiles[2].godlo, "F");

    const auto plain = scanElevationIndex(body);
    ASSERT_EQ(plain.size(), 3u);
    EXPECT_EQ(plain[2].url, "http://host/f.asc");

    // WFS 1.1 members, a member cut off in the middle, and no members at all.
    const std::string old = "<gml:featureMember>" + element("godlo", "G") + element("url_do_pobrania", "https://h/g") +
                            "</gml:featureMember><gml:featureMember>" + element("url_do_pobrania", "https://h/h") +
                            "</gml:featureMember><wfs:member>" + element("godlo", "I") +
                            "<gugik:url_do_pobrania>https://h/i";
    const auto oldTiles = scanElevationIndex(old);
    ASSERT_EQ(oldTiles.size(), 2u);
    EXPECT_EQ(oldTiles[1].godlo, "");
    EXPECT_TRUE(scanElevationIndex("").empty());
    EXPECT_TRUE(scanElevationIndex("gugik:url_do_pobrania>").empty());
    EXPECT_TRUE(scanElevationIndex("</gugik:url_do_pobrania>http://x</gugik:a>").empty());
}

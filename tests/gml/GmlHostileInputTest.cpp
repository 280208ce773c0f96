// Malformed, cut-off and hostile answers never crash and say where and why they failed.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <thread>

#include "formats/gml/GmlParser.h"
#include "support/TestSupport.h"

using formats::DataType;
using gml::GisFeature, gml::GmlParseResult, gml::GmlParser, gml::featuresToGeoJson;

namespace {

const std::string kHead =
    "<?xml version=\"1.0\"?><wfs:FeatureCollection xmlns:wfs=\"http://www.opengis.net/wfs/2.0\" "
    "xmlns:gml=\"http://www.opengis.net/gml/3.2\" xmlns:ms=\"m\">";
const std::string kTail = "</wfs:FeatureCollection>";

std::string lineMember(const std::string& posList, const std::string& extra = "") {
    return "<wfs:member><ms:o><ms:g><gml:LineString><gml:posList>" + posList +
           "</gml:posList></gml:LineString></ms:g>" + extra + "</ms:o></wfs:member>";
}

}  // namespace

TEST(GmlHostileInput, TextsThatAreNoFeatureCollection) {
    const std::vector<std::pair<std::string, std::string>> rows{
        {"", "Pusta"},
        {" \r\n\t", ""},
        {"HTTP 502 Bad Gateway <<<>>>", "bajt"},
        {"<html><body><p>Serwis niedostepny</p></body></html>", "html"},
        {std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), ""}};
    for (const auto& [text, reason] : rows) {
        const GmlParseResult r = GmlParser::parse(text, DataType::dzialki);
        EXPECT_FALSE(r.ok) << text;
        EXPECT_NE(r.error.find(reason), std::string::npos) << r.error;
    }

    // An entity declaration is not expanded into anything dangerous.
    GmlParseResult entities =
        GmlParser::parse("<!DOCTYPE x [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;\">]>" + kHead +
                             lineMember("1 2 3 4", "<ms:t>&b;&b;&b;</ms:t>") + kTail,
                         DataType::dzialki);
    EXPECT_LE(entities.features.size(), 1u);
}

TEST(GmlHostileInput, CutOffAnswerReportsWhereItEnds) {
    GD_REQUIRE_REALDATA("gml/egib_wfs_praszuk/warszawa__gml_multiple_polygons.xml");
    const std::string whole =
        testsupport::readFile(testsupport::realdata("gml/egib_wfs_praszuk/warszawa__gml_multiple_polygons.xml"));
    for (std::size_t cut : {whole.size() / 2, whole.size() - 30, std::size_t{200}}) {
        GmlParseResult r = GmlParser::parse(std::string_view(whole).substr(0, cut), DataType::budynki);
        EXPECT_FALSE(r.ok) << cut;
        EXPECT_TRUE(r.features.empty()) << "a cut-off answer is not passed off as complete";
        EXPECT_GT(r.errorLine, 0u);
        EXPECT_LE(r.errorOffset, cut);
        EXPECT_NE(r.error.find("ucieta"), std::string::npos) << r.error;
    }
}

TEST(GmlHostileInput, DeepNestingIsRefusedWithoutExhaustingTheStack) {
    const auto nested = [](int depth, const std::string& inside) {
        std::string s = kHead + "<wfs:member><ms:o>";
        for (int i = 0; i < depth; ++i) s += "<ms:a>";
        s += inside;
        for (int i = 0; i < depth; ++i) s += "</ms:a>";
        return s + "</ms:o></wfs:member>" + kTail;
    };
    GmlParseResult r = GmlParser::parse(nested(200000, ""), DataType::dzialki);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("zagniezdzona"), std::string::npos) << r.error;
    // Ordinary depth (a few dozen levels) is fine.
    const std::string line = "<gml:LineString><gml:posList>1 2 3 4</gml:posList></gml:LineString>";
    EXPECT_EQ(GmlParser::parse(nested(40, line), DataType::dzialki).features.size(), 1u);
}

TEST(GmlHostileInput, NumbersThatCannotBeCoordinatesDropTheirGeometryOnly) {
    for (const char* bad : {"1 2 1e400 4", "1 2 nan 4", "1 2 inf 4", "1 2 -1e300 4", "1 2 3 1e12"}) {
        GmlParseResult r =
            GmlParser::parse(kHead + lineMember(bad) + lineMember("10 20 30 40") + kTail, DataType::gesut);
        EXPECT_TRUE(r.ok) << bad;
        ASSERT_EQ(r.features.size(), 1u) << bad;
        EXPECT_DOUBLE_EQ(r.features[0].lines.at(0)[1].x, 30) << bad;
        EXPECT_EQ(r.skippedGeometries, 1u) << bad;
        EXPECT_EQ(r.skippedMembers, 1u) << bad;
    }
    // Reading stops at the first word that is no number; what came before is kept.
    GmlParseResult r =
        GmlParser::parse(kHead + lineMember("1 2 3 4 5,5 6") + lineMember("12,5 13,5 14 15") + kTail, DataType::gesut);
    ASSERT_EQ(r.features.size(), 1u);
    EXPECT_EQ(r.features[0].lines.at(0).size(), 2u);
    // A huge PL-2000 value can neither pass the zone test into a bad cast nor yield a non-finite point.
    r = GmlParser::parse(kHead +
                             "<wfs:member><ms:o><gml:Point srsName=\"EPSG:2178\"><gml:pos>9e8 -9e8</gml:pos>"
                             "</gml:Point></ms:o></wfs:member>" +
                             kTail,
                         DataType::gesut);
    for (const GisFeature& f : r.features) {
        EXPECT_TRUE(std::isfinite(f.anchor.x));
        EXPECT_TRUE(std::isfinite(f.anchor.y));
    }
}

TEST(GmlHostileInput, MembersWithoutFeaturesAndBadTextEncoding) {
    GmlParseResult r = GmlParser::parse(kHead + "<wfs:member/><wfs:member>tekst</wfs:member>" +
                                            lineMember("1 2 3 4",
                                                       "<ms:nazwa>Ulica \xB3\xF3"
                                                       "dzka</ms:nazwa>") +
                                            kTail,
                                        DataType::gesut);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.members, 3u);
    EXPECT_EQ(r.skippedMembers, 2u);
    ASSERT_EQ(r.features.size(), 1u);
    // Windows-1250 bytes under a UTF-8 declaration become replacement characters, so the preview still builds.
    const std::string name = r.features[0].props.at("nazwa");
    EXPECT_EQ(name,
              "Ulica \xEF\xBF\xBD\xEF\xBF\xBD"
              "dzka");
    const std::string json = featuresToGeoJson(r.features);
    EXPECT_FALSE(nlohmann::json::parse(json, nullptr, false).is_discarded());
}

TEST(GmlHostileInput, ParsesRunSideBySideOnWorkerThreads) {
    GD_REQUIRE_REALDATA("gml/pog_app/set1_StrefaPlanistyczna_EPSG2176.gml");
    GD_REQUIRE_REALDATA("gml/egib_parcels/iip_ows_ms_dzialki_wfs110_gml311_246501.xml");
    // Documents with different default systems must not leak their default into each other.
    const std::string zones =
        testsupport::readFile(testsupport::realdata("gml/pog_app/set1_StrefaPlanistyczna_EPSG2176.gml"));
    const std::string noSrs = kHead + lineMember("100 200 300 400") + kTail;
    std::size_t zoneCount = 0;
    bool writtenOrderKept = true;
    std::thread a([&] {
        for (int i = 0; i < 20; ++i) zoneCount += GmlParser::parseFeatureCollection(zones, DataType::pog).size();
    });
    std::thread b([&] {
        for (int i = 0; i < 200; ++i) {
            auto f = GmlParser::parseFeatureCollection(noSrs, DataType::gesut);
            writtenOrderKept = writtenOrderKept && f.size() == 1 && f[0].lines[0][0].x == 100;
        }
    });
    a.join();
    b.join();
    EXPECT_EQ(zoneCount, 20u * 28u);
    EXPECT_TRUE(writtenOrderKept);
}

// Parsing in place gives what the copying parse gives, and coordinates read as from_chars reads them.
#include <gtest/gtest.h>

#include <charconv>
#include <cstring>
#include <filesystem>

#include "formats/gml/GmlParser.h"
#include "support/TestSupport.h"

using formats::DataType;
using gml::GisFeature, gml::GmlParseResult, gml::GmlParser;

namespace {

void expectSameFeatures(const std::vector<GisFeature>& a, const std::vector<GisFeature>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        ASSERT_EQ(a[i].polygons.size(), b[i].polygons.size()) << i;
        for (std::size_t p = 0; p < a[i].polygons.size(); ++p) {
            EXPECT_EQ(a[i].polygons[p].outer, b[i].polygons[p].outer) << i;
            EXPECT_EQ(a[i].polygons[p].holes, b[i].polygons[p].holes) << i;
        }
        EXPECT_EQ(a[i].lines, b[i].lines) << i;
        EXPECT_EQ(a[i].anchor, b[i].anchor) << i;
        EXPECT_EQ(a[i].hasAnchor, b[i].hasAnchor) << i;
        EXPECT_EQ(a[i].props, b[i].props) << i;
    }
}

}  // namespace

TEST(GmlInPlace, SameResultAsTheCopyingParseOnRealAndBrokenAnswers) {
    std::vector<std::pair<std::string, std::string>> texts{
        {"cut inside a tag across CRLF lines", "<a>\r\n<b\r\n x='1'>\r\n<c>\r\n</b>\r\n<d"},
        {"mismatched end tag after a multi-line name", "<wfs:FeatureCollection\n>\n<x\n>\n</y>\n"},
        {"not XML", "HTTP 502 Bad Gateway <<<>>>"},
        {"plain text ending in a line break", "no markup here.\n"}};
    const std::filesystem::path dir = testsupport::realdata("gml");
    if (std::filesystem::exists(dir))
        for (const auto& e : std::filesystem::recursive_directory_iterator(dir))
            if (e.is_regular_file()) texts.emplace_back(e.path().string(), testsupport::readFile(e.path()));
    for (const auto& [name, text] : texts) {
        SCOPED_TRACE(name);
        const GmlParseResult copied = GmlParser::parse(text, DataType::budynki);
        std::string buffer = text;
        // The string's own terminator is the closing NUL.
        const GmlParseResult inPlace = GmlParser::parseInPlace({buffer.data(), buffer.size() + 1}, DataType::budynki);
        EXPECT_EQ(inPlace.ok, copied.ok);
        EXPECT_EQ(inPlace.error, copied.error);
        EXPECT_EQ(inPlace.errorOffset, copied.errorOffset);
        EXPECT_EQ(inPlace.errorLine, copied.errorLine);
        EXPECT_EQ(inPlace.members, copied.members);
        EXPECT_EQ(inPlace.skippedMembers, copied.skippedMembers);
        EXPECT_EQ(inPlace.skippedGeometries, copied.skippedGeometries);
        expectSameFeatures(inPlace.features, copied.features);
    }
}

TEST(GmlInPlace, CoordinatesAreTheDoublesFromCharsReads) {
    // Plain decimals of up to 15 digits take a short path; everything else is read by from_chars.
    const std::vector<std::string> tokens{
        "382895.386670",     "5888856.67", "-0.000",           "0012.50",        "1.",  ".5",      "123456.789012345",
        "1234567.890123456", "0.1",        "99999999.9999999", "7450000.123456", "1e3", "-2.5E-1", "260671.194492",
        "0.000000000000001"};
    std::string posList;
    for (const std::string& t : tokens) posList += t + " ";
    const std::string text =
        "<wfs:FeatureCollection xmlns:wfs='w' xmlns:gml='g' xmlns:ms='m'><wfs:member><ms:o><ms:g><gml:LineString>"
        "<gml:posList>" +
        posList + "</gml:posList></gml:LineString></ms:g></ms:o></wfs:member></wfs:FeatureCollection>";
    const auto features = GmlParser::parseFeatureCollection(text, DataType::gesut);
    ASSERT_EQ(features.size(), 1u);
    ASSERT_EQ(features[0].lines.size(), 1u);
    const auto& line = features[0].lines[0];
    ASSERT_EQ(line.size(), tokens.size() / 2);
    for (std::size_t i = 0; i + 1 < tokens.size(); i += 2) {
        double x = 0, y = 0;
        std::from_chars(tokens[i].data(), tokens[i].data() + tokens[i].size(), x);
        std::from_chars(tokens[i + 1].data(), tokens[i + 1].data() + tokens[i + 1].size(), y);
        // Bit for bit, negative zero included.
        EXPECT_EQ(std::memcmp(&line[i / 2].x, &x, sizeof x), 0) << tokens[i];
        EXPECT_EQ(std::memcmp(&line[i / 2].y, &y, sizeof y), 0) << tokens[i + 1];
    }
}

// Every way of reading an answer gives the same result: in place or copied, member by member or whole; and
// coordinates read as from_chars reads them.
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

TEST(GmlInPlace, EveryWayOfReadingGivesTheSameResult) {
    const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
    const auto collection = [&](const std::string& body, const std::string& rootAttributes = "") {
        return head + "<wfs:FeatureCollection xmlns:wfs='w' xmlns:gml='g' xmlns:ms='m'" + rootAttributes + ">" + body +
               "</wfs:FeatureCollection>";
    };
    const auto member = [](const std::string& srs, const std::string& inside = "") {
        return "<wfs:member><ms:o><ms:n>1" + inside + "</ms:n><gml:LineString" + srs +
               "><gml:posList>5800000 7450000 5800010 7450010</gml:posList></gml:LineString></ms:o></wfs:member>";
    };
    const std::string pl2000 = " srsName='EPSG:2178'";
    // Broken texts, and texts whose members cannot be cut out at their first end tag or depend on the rest.
    std::vector<std::pair<std::string, std::string>> texts{
        {"cut inside a tag across CRLF lines", "<a>\r\n<b\r\n x='1'>\r\n<c>\r\n</b>\r\n<d"},
        {"mismatched end tag after a multi-line name", "<wfs:FeatureCollection\n>\n<x\n>\n</y>\n"},
        {"not XML", "HTTP 502 Bad Gateway <<<>>>"},
        {"plain text ending in a line break", "no markup here.\n"},
        {"plain", collection(member(pl2000) + "<!-- x -->" + member(""))},
        {"end tag in a comment", collection(member(pl2000, "<!-- </wfs:member> -->") + member(""))},
        {"end tag in CDATA", collection(member(pl2000, "<![CDATA[</wfs:member>]]>") + member(""))},
        {"end tag in an attribute", collection(member(pl2000, "<ms:a v='</wfs:member>'/>") + member(""))},
        {"nested collection", collection("<wfs:member><wfs:FeatureCollection>" + member(pl2000) + member("") +
                                         "</wfs:FeatureCollection></wfs:member>" + member(""))},
        {"default system from a later member", collection(member("") + member(pl2000))},
        {"system on the root", collection(member("") + member(""), pl2000)},
        {"dimension on the root", collection(member(pl2000), " srsDimension='3'")},
        {"Latin-1 text",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-2\"?>" + collection(member(pl2000, "\xb3")).substr(head.size())},
        {"member not well formed", collection(member(pl2000, "<ms:x>") + member(""))},
        {"text in the root", collection("x" + member(pl2000))},
        {"empty members", collection("<wfs:member/>" + member(pl2000) + "<wfs:member > </wfs:member >")},
        {"cut off", collection(member(pl2000) + member("")).substr(0, 300)}};
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
        // A document type declaration is ignored, and makes the parser read the document whole rather than
        // member by member.
        std::string whole = text;
        whole.insert(text.rfind("<?xml", 0) == 0 ? text.find("?>") + 2 : 0, "<!DOCTYPE c>");
        const GmlParseResult reference = GmlParser::parse(whole, DataType::budynki);
        for (const GmlParseResult* other : {&inPlace, &reference}) {
            EXPECT_EQ(other->ok, copied.ok);
            EXPECT_EQ(other->members, copied.members);
            EXPECT_EQ(other->skippedMembers, copied.skippedMembers);
            EXPECT_EQ(other->skippedGeometries, copied.skippedGeometries);
            expectSameFeatures(other->features, copied.features);
        }
        // Only the text read whole is longer by its declaration.
        EXPECT_EQ(inPlace.error, copied.error);
        EXPECT_EQ(inPlace.errorOffset, copied.errorOffset);
        EXPECT_EQ(inPlace.errorLine, copied.errorLine);
        EXPECT_EQ(reference.error.substr(0, 20), copied.error.substr(0, 20));
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

// Answers declared in the 8-bit encodings of Central European servers read as the UTF-8 they stand for;
// the tables are checked byte for byte against the C library's iconv.
#include <gtest/gtest.h>
#include <iconv.h>

#include <string>
#include <vector>

#include "formats/gml/GmlParser.h"
#include "formats/gml/XmlEncoding.h"
#include "support/TestSupport.h"

namespace {

// One byte through iconv; "" when iconv has no character for it.
std::string iconvByte(const char* encoding, unsigned char byte) {
    iconv_t cd = iconv_open("UTF-8", encoding);
    if (cd == reinterpret_cast<iconv_t>(-1)) return "?";
    char in[1] = {static_cast<char>(byte)};
    char out[8] = {};
    char* inPtr = in;
    char* outPtr = out;
    std::size_t inLeft = 1, outLeft = sizeof out;
    const std::size_t done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    return done == static_cast<std::size_t>(-1) ? std::string() : std::string(out, sizeof out - outLeft);
}

// A one-parcel answer in UTF-8 declared as `encoding`, to be re-encoded by the caller.
std::string parcelAnswer(const std::string& declaration) {
    return "<?xml version=\"1.0\" " + declaration +
           "?>\n<wfs:FeatureCollection xmlns:wfs=\"http://www.opengis.net/wfs/2.0\" "
           "xmlns:gml=\"http://www.opengis.net/gml/3.2\" xmlns:ms=\"http://mapserver.gis.umn.edu/mapserver\">"
           "<wfs:member><ms:dzialki gml:id=\"dzialki.246501_1.0007.363\"><ms:geom><gml:Point "
           "srsName=\"urn:ogc:def:crs:EPSG::2180\"><gml:pos>266000 503000</gml:pos></gml:Point></ms:geom>"
           "<ms:NAZWA_GMINY>D\xC4\x85"
           "browa G\xC3\xB3rnicza</ms:NAZWA_GMINY><ms:NAZWA_OBREBU>\xC5\x81osie\xC5\x84"
           "</ms:NAZWA_OBREBU></ms:dzialki></wfs:member></wfs:FeatureCollection>";
}

}  // namespace

TEST(GmlEncoding, EveryByteDecodesAsIconvDecodesIt) {
    const std::vector<std::pair<std::string, const char*>> encodings = {{"ISO-8859-2", "ISO-8859-2"},
                                                                        {"windows-1250", "CP1250"},
                                                                        {"ISO-8859-1", "ISO-8859-1"},
                                                                        {"windows-1252", "CP1252"},
                                                                        {"ISO-8859-15", "ISO-8859-15"}};
    for (const auto& [label, iconvName] : encodings) {
        int compared = 0;
        for (int b = 0x80; b <= 0xFF; ++b) {
            const std::string expected = iconvByte(iconvName, static_cast<unsigned char>(b));
            const std::string byte(1, static_cast<char>(b));
            const std::string decoded = gml::singleByteToUtf8(byte, label).value_or("none");
            if (expected.empty()) {
                EXPECT_EQ(decoded, "\xEF\xBF\xBD") << label << " " << b;  // undefined: U+FFFD
                continue;
            }
            ++compared;
            EXPECT_EQ(decoded, expected) << label << " byte " << b;
            EXPECT_EQ(gml::utf8ToSingleByte(decoded, label).value_or(""), byte) << label << " byte " << b;
        }
        EXPECT_GE(compared, 123) << label;
    }
    EXPECT_FALSE(gml::singleByteToUtf8("x", "KOI8-R"));
}

TEST(GmlEncoding, DeclaredOrHttpNamedEncodingsParseIntoTheSameText) {
    const std::string utf8 = parcelAnswer("encoding=\"UTF-8\"");
    const std::vector<gml::GisFeature> reference =
        gml::GmlParser::parseFeatureCollection(utf8, formats::DataType::dzialki);
    ASSERT_EQ(reference.size(), 1u);
    EXPECT_EQ(reference[0].props.at("NAZWA_GMINY"),
              "D\xC4\x85"
              "browa G\xC3\xB3rnicza");
    EXPECT_EQ(reference[0].id, "dzialki.246501_1.0007.363") << "gml:id is the feature's identity";
    for (const std::string label : {"ISO-8859-2", "windows-1250", "iso_8859-2", "CP1250"}) {
        SCOPED_TRACE(label);
        const std::string declared = *gml::utf8ToSingleByte(parcelAnswer("encoding='" + label + "'"), label);
        const std::vector<gml::GisFeature> parsed =
            gml::GmlParser::parseFeatureCollection(declared, formats::DataType::dzialki);
        ASSERT_EQ(parsed.size(), 1u);
        EXPECT_EQ(parsed[0].props, reference[0].props);

        // Named only by the HTTP charset: converted when the text cannot be UTF-8, and then it is.
        std::string undeclared = *gml::utf8ToSingleByte(parcelAnswer("standalone=\"yes\""), label);
        EXPECT_TRUE(
            gml::convertXmlToUtf8(undeclared, gml::charsetOfContentType("text/xml; charset=\"" + label + "\"")));
        EXPECT_EQ(gml::GmlParser::parseFeatureCollection(undeclared, formats::DataType::dzialki).at(0).props,
                  reference[0].props);
    }
    // Already UTF-8: a default charset of the server changes nothing.
    std::string same = parcelAnswer("standalone=\"yes\"");
    EXPECT_FALSE(gml::convertXmlToUtf8(same, "ISO-8859-2"));
    EXPECT_EQ(same, parcelAnswer("standalone=\"yes\""));
}

TEST(GmlEncoding, RealWindows1250CapabilitiesReadAsUtf8) {
    const std::string file = "gml/encodings/owslib_wfs_HSRS_GetCapabilities_1_1_0_windows-1250.xml";
    GD_REQUIRE_REALDATA(file);
    std::string caps = testsupport::readFile(testsupport::realdata(file));
    EXPECT_EQ(gml::declaredXmlEncoding(caps), "windows-1250");
    ASSERT_TRUE(gml::convertXmlToUtf8(caps));
    EXPECT_NE(caps.find("Stanislav Hol\xC3\xBD"), std::string::npos);
    EXPECT_EQ(gml::declaredXmlEncoding(caps), "UTF-8");
    EXPECT_EQ(caps.size(), 11046u + 1 - std::string("windows-1250").size() + std::string("UTF-8").size());
}

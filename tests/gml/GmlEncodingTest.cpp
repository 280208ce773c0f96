// Answers declared in the 8-bit encodings of Central European servers read as the UTF-8 they stand for;
// the tables are checked byte for byte against the C library's iconv.
#include <gtest/gtest.h>
#include <iconv.h>

#include "formats/gml/GmlParser.h"
#include "formats/gml/XmlEncoding.h"
#include "support/TestSupport.h"

TEST(GmlEncoding, EveryByteDecodesAsIconvDecodesIt) {
    for (const auto& [label, iconvName] : {std::pair{"ISO-8859-2", "ISO-8859-2"},
                                           {"windows-1250", "CP1250"},
                                           {"ISO-8859-1", "ISO-8859-1"},
                                           {"windows-1252", "CP1252"},
                                           {"ISO-8859-15", "ISO-8859-15"}}) {
        iconv_t cd = iconv_open("UTF-8", iconvName);
        ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1)) << iconvName;
        for (int b = 0x80; b <= 0xFF; ++b) {
            char in[1] = {static_cast<char>(b)}, out[8] = {};
            char *inPtr = in, *outPtr = out;
            std::size_t inLeft = 1, outLeft = sizeof out;
            // Bytes iconv leaves undefined become U+FFFD.
            const bool defined = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1);
            const std::string expected = defined ? std::string(out, sizeof out - outLeft) : "\xEF\xBF\xBD";
            const std::string decoded = gml::singleByteToUtf8(std::string(1, in[0]), label).value_or("none");
            EXPECT_EQ(decoded, expected) << label << " byte " << b;
            if (defined) {
                EXPECT_EQ(gml::utf8ToSingleByte(decoded, label), std::string(1, in[0])) << label << b;
            }
        }
        iconv_close(cd);
    }
}

TEST(GmlEncoding, DeclaredOrHttpNamedEncodingsParseIntoTheSameText) {
    const auto answer = [](const std::string& declaration) {
        return "<?xml version=\"1.0\" " + declaration +
               "?><wfs:FeatureCollection xmlns:wfs=\"http://www.opengis.net/wfs/2.0\" "
               "xmlns:gml=\"http://www.opengis.net/gml/3.2\"><wfs:member><ms:dzialki "
               "gml:id=\"d.1\"><gml:Point><gml:pos>"
               "1 2</gml:pos></gml:Point><ms:GMINA>D\xC4\x85\x62rowa G\xC3\xB3rnicza</ms:GMINA></ms:dzialki>"
               "</wfs:member></wfs:FeatureCollection>";
    };
    const std::string utf8 = answer("encoding=\"UTF-8\"");
    for (const std::string label : {"ISO-8859-2", "windows-1250", "iso_8859-2", "CP1250"}) {
        const std::string declared = *gml::utf8ToSingleByte(answer("encoding='" + label + "'"), label);
        const auto parsed = gml::GmlParser::parseFeatureCollection(declared, formats::DataType::dzialki);
        ASSERT_EQ(parsed.size(), 1u) << label;
        EXPECT_EQ(parsed[0].props.at("GMINA"), "D\xC4\x85\x62rowa G\xC3\xB3rnicza") << label;
        EXPECT_EQ(parsed[0].id, "d.1");
        // Named only by the HTTP charset: converted when the text cannot be UTF-8.
        std::string undeclared = *gml::utf8ToSingleByte(answer(""), label);
        EXPECT_TRUE(
            gml::convertXmlToUtf8(undeclared, gml::charsetOfContentType("text/xml; charset=\"" + label + "\"")));
        EXPECT_EQ(undeclared, answer(""));
    }
    std::string same = utf8;  // a server's default charset changes nothing in UTF-8 text
    EXPECT_FALSE(gml::convertXmlToUtf8(same, "ISO-8859-2"));
    EXPECT_EQ(same, utf8);

    const std::string file = "gml/encodings/owslib_wfs_HSRS_GetCapabilities_1_1_0_windows-1250.xml";
    GD_REQUIRE_REALDATA(file);
    std::string caps = testsupport::readFile(testsupport::realdata(file));
    ASSERT_TRUE(gml::convertXmlToUtf8(caps));
    EXPECT_NE(caps.find("Stanislav Hol\xC3\xBD"), std::string::npos);
    EXPECT_EQ(gml::declaredXmlEncoding(caps), "UTF-8");
}

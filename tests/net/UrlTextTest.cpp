// Text helpers of the web client: host extraction, percent-encoding, byte sizes with a decimal comma.
#include <gtest/gtest.h>

#include "net/DownloadCache.h"
#include "net/UrlText.h"

TEST(UrlText, HostIsTheTextBetweenSchemeAndFirstSlash) {
    EXPECT_EQ(net::hostOfUrl("https://mapy.geoportal.gov.pl/wss/service?x=1"), "mapy.geoportal.gov.pl");
    EXPECT_EQ(net::hostOfUrl("http://127.0.0.1:8080/a"), "127.0.0.1:8080");
    EXPECT_EQ(net::hostOfUrl("https://host.pl"), "host.pl");
    EXPECT_EQ(net::hostOfUrl("no-scheme/path"), "no-scheme/path");
    EXPECT_EQ(net::hostOfUrl("ab"), "ab");
}

TEST(UrlText, EncodesEverythingButUnreservedBytes) {
    EXPECT_EQ(net::urlEncode("a b/c"), "a%20b%2Fc");
    EXPECT_EQ(net::urlEncode("\xC5\xBC"), "%C5%BC");  // the letter z with dot above
    EXPECT_EQ(net::urlEncode("Az09-._~"), "Az09-._~");
    EXPECT_EQ(net::urlEncode("ms:dzialki,urn:ogc"), "ms%3Adzialki%2Curn%3Aogc");
    EXPECT_EQ(net::urlEncode(std::string("\0\xFF", 2)), "%00%FF");
}

TEST(UrlText, ByteSizesUseOneDecimalWithComma) {
    EXPECT_EQ(net::formatByteSize(0), "0 B");
    EXPECT_EQ(net::formatByteSize(1023), "1023 B");
    EXPECT_EQ(net::formatByteSize(1024), "1,0 KB");
    EXPECT_EQ(net::formatByteSize(1536), "1,5 KB");
    EXPECT_EQ(net::formatByteSize(1048575), "1024,0 KB");
    EXPECT_EQ(net::formatByteSize(1048576), "1,0 MB");
    EXPECT_EQ(net::formatByteSize(350LL * 1048576 + 104858), "350,1 MB");
}

TEST(UrlText, Sha1NamesFollowTheStandardDigest) {
    // Test vectors of FIPS 180-1.
    EXPECT_EQ(net::sha1Hex("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(net::sha1Hex(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(net::sha1Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
}

TEST(UrlText, RecognisesOgcExceptionDocumentsOnly) {
    EXPECT_TRUE(net::isOgcExceptionDocument("<?xml version=\"1.0\"?>\n<ows:ExceptionReport xmlns:ows=\"x\"/>"));
    EXPECT_TRUE(net::isOgcExceptionDocument("\xEF\xBB\xBF<!-- note --><ServiceExceptionReport version=\"1.1.1\">"));
    EXPECT_TRUE(net::isOgcExceptionDocument("<!DOCTYPE x><ServiceExceptionReport>"));
    EXPECT_FALSE(
        net::isOgcExceptionDocument("<wfs:FeatureCollection><!-- ExceptionReport --></wfs:FeatureCollection>"));
    EXPECT_FALSE(net::isOgcExceptionDocument(""));
    EXPECT_FALSE(net::isOgcExceptionDocument("PK\x03\x04"));
    EXPECT_FALSE(net::isOgcExceptionDocument("<?xml never closed"));
}

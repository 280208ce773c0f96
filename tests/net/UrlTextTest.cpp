// Text helpers of the web client: percent-encoding, byte sizes with a decimal comma, digests, exception documents.
#include <gtest/gtest.h>

#include "net/DownloadCache.h"
#include "net/UrlText.h"

TEST(UrlText, EncodesEverythingButUnreservedBytes) {
    EXPECT_EQ(net::urlEncode("a b/c"), "a%20b%2Fc");
    EXPECT_EQ(net::urlEncode("\xC5\xBC"), "%C5%BC");  // the letter z with dot above
    EXPECT_EQ(net::urlEncode("Az09-._~"), "Az09-._~");
    EXPECT_EQ(net::urlEncode(std::string("\0\xFF", 2)), "%00%FF");
}

TEST(UrlText, ByteSizesUseOneDecimalWithComma) {
    // Bytes and kilobytes are checked in the messages of cut downloads.
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
    EXPECT_FALSE(
        net::isOgcExceptionDocument("<wfs:FeatureCollection><!-- ExceptionReport --></wfs:FeatureCollection>"));
    EXPECT_FALSE(net::isOgcExceptionDocument("PK\x03\x04"));
    EXPECT_FALSE(net::isOgcExceptionDocument("<?xml never closed"));
}

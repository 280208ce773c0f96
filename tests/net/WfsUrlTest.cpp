// OGC request URLs against hand-checked strings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/WfsClient.h"
#include "platform/Numbers.h"

using net::WfsClient;
using platform::parseDouble;

namespace {
std::string bboxOf(const std::string& url) {
    const auto at = url.find("&BBOX=");
    return at == std::string::npos ? std::string() : url.substr(at + 6);
}

std::vector<double> numbersOfEncodedBox(const std::string& encoded) {
    std::vector<double> out;
    std::size_t pos = 0;
    while (pos < encoded.size()) {
        auto end = encoded.find("%2C", pos);
        if (end == std::string::npos) end = encoded.size();
        double v = 0;
        if (parseDouble(encoded.substr(pos, end - pos), v)) out.push_back(v);
        pos = end + 3;
    }
    return out;
}
}  // namespace

TEST(WfsUrls, GetFeaturePagingAndAxisOrder) {
    // Northing first without a start index is checked on the PL-1992 box below; a base that already has a query
    // gets "&"; start index above 0 is sent; easting first when asked.
    EXPECT_EQ(WfsClient::buildWfsUrl("https://h/ows?map=egib", "ewns:budynki",
                                     geodesy::Bbox{637000.25, 486000.5, 637500, 486500}, 20, 1000, false, false, 0),
              "https://h/ows?map=egib&service=WFS&version=2.0.0&request=GetFeature&typenames=ewns%3Abudynki&COUNT=20"
              "&STARTINDEX=1000&BBOX=637000.25%2C486000.5%2C637500%2C486500%2Curn%3Aogc%3Adef%3Acrs%3AEPSG%3A%3A2180");
}

TEST(WfsUrls, Pl2000ZoneBoxIsTransformedAndNamed) {
    const std::string url = WfsClient::buildWfsUrl(
        "https://h/wfs", "ms:dzialki", geodesy::Bbox{430000, 520000, 431200, 520700}, 1000, 0, true, false, 2177);
    const std::string head =
        "https://h/wfs?service=WFS&version=2.0.0&request=GetFeature&typenames=ms%3Adzialki&COUNT=1000"
        "&SRSNAME=EPSG%3A2177&BBOX=";
    ASSERT_EQ(url.substr(0, head.size()), head);
    const std::string box = bboxOf(url);
    EXPECT_NE(box.find("%2Curn%3Aogc%3Adef%3Acrs%3AEPSG%3A%3A2177"), std::string::npos);
    // Reference corners from PROJ: echo "430000 520000\n431200 520700" |
    //   gdaltransform -s_srs EPSG:2180 -t_srs EPSG:2177 -output_xy
    const auto v = numbersOfEncodedBox(box);
    ASSERT_GE(v.size(), 4u);
    const double corners[] = {5823127.91179715, 6497796.72566434, 5823844.87493095, 6498987.58355307};
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(v[i], corners[i], 0.02) << i;  // minimum northing first
    // Any other code keeps the PL-1992 numbers and names no system.
    const std::string plain = WfsClient::buildWfsUrl(
        "https://h/wfs", "t", geodesy::Bbox{430000, 520000, 431200, 520700}, 1, 0, true, false, 4326);
    EXPECT_EQ(plain.find("SRSNAME"), std::string::npos);
    EXPECT_EQ(bboxOf(plain), "520000%2C430000%2C520700%2C431200%2Curn%3Aogc%3Adef%3Acrs%3AEPSG%3A%3A2180");
}

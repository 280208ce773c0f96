// Routing of every outgoing URL to a local server, and the public addresses used without it.
#include <gtest/gtest.h>

#include <cstdlib>

#include "net/HttpExchange.h"
#include "net/ServiceEndpoints.h"

namespace {
struct RoutingVariable {
    explicit RoutingVariable(const char* value) { setenv(net::kServicesRoutingVariable, value, 1); }
    ~RoutingVariable() { unsetenv(net::kServicesRoutingVariable); }
};
}  // namespace

TEST(Routing, OffLeavesUrlsAlone) {
    unsetenv(net::kServicesRoutingVariable);
    const net::RoutedUrl r = net::routeUrl("https://mapy.geoportal.gov.pl/wss?x=1");
    EXPECT_FALSE(r.routed);
    EXPECT_TRUE(r.valid);
    EXPECT_EQ(r.url, "https://mapy.geoportal.gov.pl/wss?x=1");
}

TEST(Routing, RewritesSchemeAndHostIntoThePath) {
    RoutingVariable on("http://127.0.0.1:4567/");
    EXPECT_EQ(net::routeUrl("https://mapy.geoportal.gov.pl/wss/service?a=1&b=%2C").url,
              "http://127.0.0.1:4567/https/mapy.geoportal.gov.pl/wss/service?a=1&b=%2C");
    EXPECT_EQ(net::routeUrl("http://wms.epodgik.pl:8080/cgi-bin/x").url,
              "http://127.0.0.1:4567/http/wms.epodgik.pl:8080/cgi-bin/x");
    EXPECT_EQ(net::routeUrl("https://overpass-api.de?data=x").url,
              "http://127.0.0.1:4567/https/overpass-api.de/?data=x");
    EXPECT_EQ(net::routeUrl("HTTPS://host.pl").url, "http://127.0.0.1:4567/https/host.pl/");
    EXPECT_TRUE(net::routeUrl("https://host.pl/x").routed);
    EXPECT_EQ(net::routeUrl("https://host.pl/x").loopbackHost, "127.0.0.1");
    RoutingVariable v6("http://[::1]:4567");
    EXPECT_EQ(net::routeUrl("https://host.pl/x").loopbackHost, "[::1]");
}

TEST(Routing, ASettingThatIsNotLoopbackSendsNothing) {
    for (const char* bad : {"http://10.0.0.1:80", "https://127.0.0.1:80", "http://127.0.0.1", "http://127.0.0.1:99999",
                            "127.0.0.1:8080", "http://127.0.0.1:80@evil.example"}) {
        RoutingVariable on(bad);
        EXPECT_FALSE(net::routeUrl("https://mapy.geoportal.gov.pl/x").valid) << bad;
        const net::HttpResult r = net::performRequest("GET", "https://mapy.geoportal.gov.pl/x", {}, {}, 500, 500, "t");
        EXPECT_EQ(r.status, 0) << bad;
        EXPECT_EQ(r.error, "Nieprawidlowy URL: https://mapy.geoportal.gov.pl/x") << bad;
    }
}

TEST(Routing, PackageAddressesFollowTheCountyCode) {
    const net::ServiceEndpoints& ep = net::serviceEndpoints();
    EXPECT_EQ(ep.planningDownload("42"), "https://rejestr-urbanistyczny.gov.pl/api/public/published/42/download");
    EXPECT_EQ(ep.buildings3dLod1(2024, "1465"),
              "https://opendata.geoportal.gov.pl/InneDane/Budynki3D/LOD1/2024/14/1465.zip");
    EXPECT_EQ(ep.buildings3dLod2("1465"), "https://opendata.geoportal.gov.pl/InneDane/Budynki3D/LOD2/1465_gml.zip");
    EXPECT_EQ(ep.buildings3dLod1(2024, "146"), "");
    EXPECT_EQ(ep.buildings3dLod2("14a5"), "");
}

// Routing of every outgoing URL to a local server.
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

TEST(Routing, RewritesSchemeAndHostIntoThePath) {
    RoutingVariable on("http://127.0.0.1:4567/");
    EXPECT_EQ(net::routeUrl("https://mapy.geoportal.gov.pl/wss/service?a=1&b=%2C").url,
              "http://127.0.0.1:4567/https/mapy.geoportal.gov.pl/wss/service?a=1&b=%2C");
    EXPECT_EQ(net::routeUrl("http://wms.epodgik.pl:8080/cgi-bin/x").url,
              "http://127.0.0.1:4567/http/wms.epodgik.pl:8080/cgi-bin/x");
    EXPECT_EQ(net::routeUrl("https://overpass-api.de?data=x").url,
              "http://127.0.0.1:4567/https/overpass-api.de/?data=x");
    EXPECT_EQ(net::routeUrl("HTTPS://host.pl").url, "http://127.0.0.1:4567/https/host.pl/");
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

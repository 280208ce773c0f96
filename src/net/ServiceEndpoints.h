// Addresses of the public services the add-on talks to, and the routing of outgoing URLs to a local server.
#pragma once
#include <string>

namespace net {

// Base addresses (scheme and host, no trailing slash) of the public services.
struct ServiceEndpoints {
    std::string geoportal = "https://mapy.geoportal.gov.pl";      // national geoportal: WFS, WMS, tile indexes
    std::string integration = "https://integracja.gugik.gov.pl";  // cadastre and utility integration services
    std::string planningRegister = "https://rejestr-urbanistyczny.gov.pl";  // planning register API
    std::string openData = "https://opendata.geoportal.gov.pl";             // open-data portal (3D building packages)
    std::string overpass = "https://overpass-api.de";                       // OpenStreetMap Overpass API
    std::string nominatim = "https://nominatim.openstreetmap.org";          // address search
    std::string photon = "https://photon.komoot.io";                        // address suggestions
    std::string vectorTiles = "https://tiles.openfreemap.org";              // vector base-map style

    // Full service URLs built from the bases above.
    std::string prgWfs() const;  // administrative boundaries WFS
    std::string prgWms() const;  // administrative boundaries WMS
    std::string bdot10kNewBuildingsWfs() const;
    std::string orthophotoWms() const;
    std::string nmtIndexWfs() const;    // elevation model tile index
    std::string nmptIndexWfs() const;   // surface model tile index
    std::string lidarIndexWfs() const;  // LiDAR tile index
    std::string countyEgibOnGeoportal(const std::string& teryt4) const;
    std::string cadastreIntegrationWms() const;
    std::string utilityIntegrationWms() const;
    std::string localPlansCoverageWms() const;
    std::string generalPlansCoverageWms() const;
    std::string planningApi() const;    // base of the planning register's public API
    std::string planningQuery() const;  // POST target of the act query
    std::string planningDownload(const std::string& actId) const;
    std::string buildings3dLod1(int year, const std::string& teryt4) const;  // empty for a malformed code
    std::string buildings3dLod2(const std::string& teryt4) const;            // empty for a malformed code
    std::string overpassInterpreter() const;
    std::string nominatimSearch() const;
    std::string photonApi() const;
    std::string vectorStyle() const;
};

// The process-wide endpoints (the public defaults).
const ServiceEndpoints& serviceEndpoints();

// Name of the environment variable that routes every request to a local server ("http://127.0.0.1:PORT").
constexpr const char* kServicesRoutingVariable = "GEODRAFT_SERVICES";

// Outcome of routing one URL.
struct RoutedUrl {
    std::string url;           // the address to connect to
    bool routed = false;       // true when a local server takes the request
    bool valid = true;         // false when routing is on but its setting is not a loopback http address
    std::string loopbackHost;  // when routed: the local server's host ("127.0.0.1", "localhost" or "[::1]")
};

// Rewrites "https://host/path?q" into "<local>/https/host/path?q" when routing is on; unchanged otherwise.
RoutedUrl routeUrl(const std::string& url);
// True when the routing variable is set (then no request may leave the machine).
bool routingEnabled();
class WfsClient;
// Against the local simulator (routing on) GEODRAFT_PACING_MS shortens a client's per-host pacing and retry
// pause, so tests run fast; real services always get the production pacing.
void applyLocalPacing(WfsClient& client);

}  // namespace net

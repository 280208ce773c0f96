// A simulated WFS (2.0.0 and 1.1.0): GetCapabilities and GetFeature over a FeatureStore with real BBOX filtering.
#pragma once
#include <memory>
#include <string>

#include "FeatureStore.h"
#include "SimHttp.h"

namespace sim {

// How the service reads the BBOX numbers.
enum class BboxAxisOrder {
    Standard,       // URN and OGC-URL systems in their authority order (northing first), "EPSG:n" easting first
    EastingFirst,   // always easting first (a common misconfiguration of county servers)
    NorthingFirst,  // always northing first
};

// How a service hands over a request that matches more features than its page size, as real servers do.
enum class PagingStyle {
    GeoServer,  // numberMatched counts them all; a next link with STARTINDEX; capabilities state paging
    MapServer,  // a cut page says numberMatched="unknown" and carries a next link; capabilities state paging
    None,       // numberMatched counts them all, no next link, STARTINDEX ignored, capabilities deny paging
};

struct WfsPaging {
    int pageSize = 0;  // most features one answer holds whatever COUNT asks (0: no limit)
    PagingStyle style = PagingStyle::GeoServer;
};

class WfsService {
public:
    explicit WfsService(std::shared_ptr<FeatureStore> store, BboxAxisOrder order = BboxAxisOrder::Standard);

    std::string title = "Usluga WFS (symulator)";
    WfsPaging paging;  // set by the scenario; a fault's page limit overrides it for one request
    // Answers every request on its path (an OGC exception for what it does not support).
    bool handle(const SimRequest& request, SimResponse& response) const;

    FeatureStore& store() { return *store_; }

private:
    void capabilities(const SimRequest& request, SimResponse& response) const;
    void getFeature(const SimRequest& request, SimResponse& response) const;
    WfsPaging pagingFor(const SimRequest& request) const;

    std::shared_ptr<FeatureStore> store_;
    BboxAxisOrder order_;
};

// An OWS exception report (WFS) as a complete document.
std::string owsExceptionReport(const std::string& code, const std::string& locator, const std::string& text);
// Escapes text for XML content and attributes.
std::string xmlEscape(const std::string& text);
// EPSG code named by a system text ("EPSG:2180", "urn:ogc:def:crs:EPSG::2180", ".../EPSG/0/2180"); 0 when none.
int epsgOfSystemText(const std::string& text);

}  // namespace sim

// LiDAR index and sheets of the simulator: LAZ written by the project's own writer, generated on first download.
#include <cmath>

#include "ElevationScenario.h"
#include "LazSheet.h"
#include "geodesy/Crs.h"
#include "net/ServiceEndpoints.h"
#include "platform/Numbers.h"

namespace sim {

using namespace elevation;

namespace {

std::vector<geodesy::PlanarPoint> rectangle(const geodesy::Bbox& b) {
    return {{b.minE, b.minN}, {b.maxE, b.minN}, {b.maxE, b.maxN}, {b.minE, b.maxN}, {b.minE, b.minN}};
}

// One generated point: planar position in the sheet's system, height, LAS class.
struct SheetPoint {
    double x, y, z;
    std::uint8_t cls;
};

// Points over a 200 m square around the hills' centre: ground (class 2) and 12 m blocks (class 6) as in the
// surface model, on a jittered grid. `epsg` is the system of the coordinates written.
std::vector<SheetPoint> hillsPoints(int epsg) {
    std::vector<SheetPoint> points;
    const int side = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(kLidarPoints))));
    for (int i = 0; static_cast<int>(points.size()) < kLidarPoints; ++i) {
        const int row = i / side, col = i % side;
        const double jitterE = std::fmod(i * 0.618034, 1.0) - 0.5, jitterN = std::fmod(i * 0.414214, 1.0) - 0.5;
        const double e = kHills.e - 100 + (col + 0.5 + 0.6 * jitterE) * 200.0 / side;
        const double n = kHills.n - 100 + (row + 0.5 + 0.6 * jitterN) * 200.0 / side;
        const double de = std::fmod(std::fabs(e - kHills.e), 100.0), dn = std::fmod(std::fabs(n - kHills.n), 100.0);
        const bool building = de < 30 && dn < 20;
        const geodesy::PlanarPoint at = epsg == 2180 ? geodesy::PlanarPoint{e, n} : geodesy::pl1992ToPl2000(e, n, epsg);
        points.push_back(
            {at.x, at.y, hillsHeight(e, n) + (building ? 12.0 : 0.0), static_cast<std::uint8_t>(building ? 6 : 2)});
    }
    return points;
}

// The points as a LAZ file (point format 0, centimetre scale), read back as bytes.
std::string lazBytes(const std::vector<SheetPoint>& points) {
    std::vector<LazSheetPoint> sheet;
    sheet.reserve(points.size());
    for (const SheetPoint& p : points) sheet.push_back({p.x, p.y, p.z, p.cls});
    return lazSheetBytes(sheet, LazSheetFormat{false, 100, 1000});
}

SimFeature lidarMember(const std::string& id, const geodesy::Bbox& outline, const std::string& emblem,
                       const std::string& url, const char* density, const char* uklad) {
    SimFeature f{id, {rectangle(outline)}, {}, {}, {{"godlo", emblem}, {"format", "LAZ"}}};
    if (density != nullptr) f.props.emplace_back("char_przestrz", density);
    f.props.emplace_back("uklad_xy", uklad);
    f.props.emplace_back("url_do_pobrania", url);
    return f;
}

}  // namespace

void addLidarServices(Scenario& scenario) {
    auto store = std::make_shared<FeatureStore>();
    const geodesy::Bbox sheet = frameAround(kHills, 200, 200);
    const std::string url1992 = sheetUrl("DanePomiaroweLAZ", "7.111.23.11.3.laz");
    const std::string url2000 = sheetUrl("DanePomiaroweLAZ", "7.111.23.11.3.s8.laz");
    // Every kind of system text the index carries, with the density written in several ways.
    const char* type = "gugik:SkorowidzDanychPomiarowychLIDAR2024";
    store->add(type, lidarMember("lidar.hills.1", sheet, "7.111.23.11.3", url1992, "12 p/m2", "PL-1992"));
    store->add(type, lidarMember("lidar.hills.2", sheet, "7.111.23.11.3", url2000, "4", "PL-2000:S8"));
    store->add(type, lidarMember("lidar.hills.3", sheet, "7.111.23.11.3", url1992, nullptr, "PL-2000"));
    store->add(type, lidarMember("lidar.hills.4", sheet, "7.111.23.11.3", url1992, "", "PL-2000 strefa S9"));
    store->add(type, lidarMember("lidar.hills.5", sheet, "7.111.23.11.3", url1992, "okolo 6", "UTM 34N"));
    store->add(type, lidarMember("lidar.hills.6", sheet, "7.111.23.11.3", "", "12 p/m2", "PL-1992"));
    addLazySheet(scenario, url1992, []() { return lazBytes(hillsPoints(2180)); });
    addLazySheet(scenario, url2000, []() { return lazBytes(hillsPoints(2179)); });

    // The valley has only an older campaign.
    const std::string valleyUrl = sheetUrl("DanePomiaroweLAZ", "6.113.14.21.1.laz");
    store->add(
        "gugik:SkorowidzDanychPomiarowychLIDAR2019",
        lidarMember("lidar.valley", frameAround(kValley, 200, 200), "6.113.14.21.1", valleyUrl, "4 p/m2", "PL-1992"));
    addLazySheet(scenario, valleyUrl, []() {
        std::vector<SheetPoint> points;
        for (int i = 0; i < kLidarPoints; ++i) {
            const double e = kValley.e - 100 + (i % 64) * 200.0 / 64, n = kValley.n - 100 + (i / 64) * 200.0 / 63;
            points.push_back({e, n, valleyHeight(e, n), 2});
        }
        return lazBytes(points);
    });
    addIndexService(scenario, net::serviceEndpoints().lidarIndexWfs(), store);
}

}  // namespace sim

// LiDAR places of the simulator: generated points, written as LAZ by the project's writer on first download.
#include "CloudScenario.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "ElevationScenario.h"
#include "FeatureStore.h"
#include "LazSheet.h"
#include "Scenarios.h"
#include "geodesy/Crs.h"
#include "net/ServiceEndpoints.h"
#include "platform/Numbers.h"

namespace sim {

namespace cloud {

const geodesy::Bbox kRadomBlock{649400.0, 394700.0, 649600.0, 394900.0};
const geodesy::Bbox kSiedlceRow{724000.0, 483200.0, 724500.0, 483300.0};
const geodesy::Bbox kHelCoast{487000.0, 749500.0, 487200.0, 749700.0};

double helShoreE() { return kHelCoast.minE + 80.0; }
double helOpenSeaE() { return kHelCoast.minE + 140.0; }

double radomGround(double e, double n) {
    const double dx = e - (kRadomBlock.minE + 100.0), dy = n - (kRadomBlock.minN + 100.0);
    return 152.0 + 0.02 * dx + 0.01 * dy + 1.5 * std::exp(-(dx * dx + dy * dy) / 5000.0);
}

double helGround(double e, double) { return 0.6 + 0.05 * (helShoreE() - e); }

namespace {

std::string sheetUrlOf(const std::string& emblem) { return elevation::sheetUrl("DanePomiaroweLAZ", emblem + ".laz"); }

LidarSheet sheet(const std::string& emblem, const geodesy::Bbox& outline, int epsg, double density) {
    return {emblem, outline, epsg, density, sheetUrlOf(emblem)};
}

// Jittered grid positions over the outline at the density, deterministic.
template <class Fn>
void forEachPosition(const LidarSheet& s, Fn fn) {
    const double spacing = 1.0 / std::sqrt(s.density);
    const int cols = static_cast<int>(std::lround(s.outline1992.width() / spacing));
    const int rows = static_cast<int>(std::lround(s.outline1992.height() / spacing));
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            const int i = r * cols + c;
            const double je = std::fmod(i * 0.618034, 1.0) - 0.5, jn = std::fmod(i * 0.414214, 1.0) - 0.5;
            const double e = s.outline1992.minE + (c + 0.5 + 0.6 * je) * spacing;
            const double n = s.outline1992.minN + (r + 0.5 + 0.6 * jn) * spacing;
            fn(e, n, r, c);
        }
    }
}

void radomPoint(double e, double n, int r, int c, std::vector<LidarPoint>& out) {
    const double dx = e - (kRadomBlock.minE + 100.0), dy = n - (kRadomBlock.minN + 100.0);
    const double g = radomGround(e, n);
    const double pe = dx - kPondDe, pn = dy - kPondDn;
    if (pe * pe + pn * pn < kPondRadius * kPondRadius) {
        out.push_back({e, n, kPondLevel + 0.03 * std::sin(e + n), kWater, 40, 70, 120});
    } else if (dx >= 10 && dx < 40 && dy >= 10 && dy < 30) {
        out.push_back({e, n, g + 10.0, kBuilding, 170, 80, 60});
    } else if (dx >= -70 && dx < -40 && dy >= 30 && dy < 60 && (r + c) % 2 == 0) {
        out.push_back({e, n, g + 8.0 + 0.5 * std::sin(3 * e), kVegetation, 40, 120, 40});
    } else {
        out.push_back({e, n, g, kGround, 130, 115, 85});
    }
}

void helPoint(double e, double n, std::vector<LidarPoint>& out) {
    if (e < helShoreE()) {
        out.push_back({e, n, helGround(e, n), kGround, 200, 185, 140});
    } else if (e < helOpenSeaE()) {
        out.push_back({e, n, kSeaLevel + 0.05 * std::sin(0.7 * n), kWater, 30, 60, 110});
    }  // farther out the scanner recorded nothing
}

SimFeature indexMember(const LidarSheet& s) {
    const geodesy::Bbox& b = s.outline1992;
    SimFeature f{"lidar." + s.emblem,
                 {{{b.minE, b.minN}, {b.maxE, b.minN}, {b.maxE, b.maxN}, {b.minE, b.maxN}, {b.minE, b.minN}}},
                 {},
                 {},
                 {{"godlo", s.emblem}, {"format", "LAZ"}}};
    f.props.emplace_back("char_przestrz", platform::cformat("%g p/m2", s.density));
    f.props.emplace_back("uklad_xy",
                         s.epsg == 2180 ? std::string("PL-1992") : platform::cformat("PL-2000:S%d", s.epsg - 2171));
    f.props.emplace_back("url_do_pobrania", s.url);
    return f;
}

}  // namespace

const std::vector<LidarSheet>& lidarSheets() {
    static const std::vector<LidarSheet> sheets = [] {
        std::vector<LidarSheet> all;
        const geodesy::Bbox& b = kRadomBlock;
        all.push_back(sheet("7.124.12.21.1", {b.minE, b.minN, b.minE + 100, b.minN + 100}, 2180, 4));
        all.push_back(sheet("7.124.12.21.2", {b.minE + 100, b.minN, b.maxE, b.minN + 100}, 2180, 4));
        all.push_back(sheet("7.124.12.21.3", {b.minE, b.minN + 100, b.minE + 100, b.maxN}, 2180, 4));
        all.push_back(sheet("7.124.12.21.4", {b.minE + 100, b.minN + 100, b.maxE, b.maxN}, 2178, 6));
        for (int i = 0; i < 5; ++i) {
            const double e = kSiedlceRow.minE + 100.0 * i;
            all.push_back(sheet(platform::cformat("7.135.21.14.%d", i + 1),
                                {e, kSiedlceRow.minN, e + 100.0, kSiedlceRow.maxN}, 2180, 2));
        }
        all.push_back(sheet("6.141.33.12.1", kHelCoast, 2180, 2));
        return all;
    }();
    return sheets;
}

std::vector<LidarPoint> sheetPoints(const LidarSheet& s) {
    std::vector<LidarPoint> points;
    const bool radom = kRadomBlock.contains({s.outline1992.minE + 1, s.outline1992.minN + 1});
    const bool hel = kHelCoast.contains({s.outline1992.minE + 1, s.outline1992.minN + 1});
    forEachPosition(s, [&](double e, double n, int r, int c) {
        if (radom) {
            radomPoint(e, n, r, c, points);
        } else if (hel) {
            helPoint(e, n, points);
        } else {
            points.push_back({e, n, 160.0 + 0.01 * (e - kSiedlceRow.minE), kGround, 120, 120, 100});
        }
    });
    if (s.epsg != 2180) {
        for (LidarPoint& p : points) {
            const geodesy::PlanarPoint q = geodesy::pl1992ToPl2000(p.x, p.y, s.epsg);
            p.x = q.x;
            p.y = q.y;
        }
    }
    // The file holds centimetres: hand out what a reader gets back.
    for (LidarPoint& p : points) {
        p.x = std::round(p.x * 100.0) / 100.0;
        p.y = std::round(p.y * 100.0) / 100.0;
        p.z = std::round(p.z * 100.0) / 100.0;
    }
    return points;
}

std::string lazOf(const std::vector<LidarPoint>& points) {
    std::vector<LazSheetPoint> sheet;
    sheet.reserve(points.size());
    for (const LidarPoint& p : points) sheet.push_back({p.x, p.y, p.z, p.cls, p.red, p.green, p.blue});
    return lazSheetBytes(sheet, LazSheetFormat{true, 300, 20000});
}

std::vector<SheetFault> sheetFaults(const LidarSheet& sheet) {
    const auto size = static_cast<long long>(lazOf(sheetPoints(sheet)).size());
    std::vector<SheetFault> faults = {{"404", {.statuses = std::vector<int>(5, 404)}},
                                      {"cut", {.cutBodyAt = size * 6 / 10}},
                                      {"damaged chunk", {.damageAt = size / 2}}};
    const std::string rest = sheet.url.substr(sheet.url.find("://") + 3);
    for (SheetFault& f : faults) {
        f.fault.host = rest.substr(0, rest.find('/'));
        f.fault.path = rest.substr(rest.find('/'));
    }
    return faults;
}

}  // namespace cloud

void addCloudServices(Scenario& scenario) {
    auto store = std::make_shared<FeatureStore>();
    for (const cloud::LidarSheet& s : cloud::lidarSheets()) {
        store->add("gugik:SkorowidzDanychPomiarowychLIDAR2025", cloud::indexMember(s));
        addLazySheet(scenario, s.url, [s]() { return cloud::lazOf(cloud::sheetPoints(s)); });
    }
    addIndexService(scenario, net::serviceEndpoints().lidarIndexWfs(), store);
}

void buildCloudScenario(Scenario& scenario) {
    buildElevationScenario(scenario);
    addCloudServices(scenario);
}

}  // namespace sim

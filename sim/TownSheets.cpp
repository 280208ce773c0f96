#include "TownSheets.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "ElevationScenario.h"
#include "FeatureStore.h"
#include "PolandScenario.h"
#include "RasterCanvas.h"
#include "WfsService.h"
#include "WorldPainter.h"
#include "net/ServiceEndpoints.h"
#include "platform/Numbers.h"

namespace sim {

namespace town {

namespace {

std::vector<geodesy::Bbox> sheetsOver(const geodesy::Bbox& extent, double size) {
    std::vector<geodesy::Bbox> out;
    const double e0 = std::floor(extent.minE / size) * size, n0 = std::floor(extent.minN / size) * size;
    for (double n = n0; n < extent.maxN; n += size)
        for (double e = e0; e < extent.maxE; e += size) out.push_back({e, n, e + size, n + size});
    return out;
}

}  // namespace

std::vector<geodesy::Bbox> modelSheets(const Town& t) { return sheetsOver(t.extent, kModelSheet); }
std::vector<geodesy::Bbox> lidarSheets(const Town& t) { return sheetsOver(t.extent, kLidarSheet); }

std::vector<LazSheetPoint> lidarPoints(const Town& t, const geodesy::Bbox& sheet) {
    // The colours come from the orthophoto of the sheet at 0.5 m.
    const int side = static_cast<int>(std::lround(sheet.width() / 0.5));
    RgbaImage photo(side, side, 0x808080FF);
    RasterCanvas canvas(photo, 2180, sheet.minE, sheet.minN, sheet.maxE, sheet.maxN);
    paintWorld(canvas);
    const double spacing = 1.0 / std::sqrt(kLidarDensity);
    const int count = static_cast<int>(std::lround(sheet.width() / spacing));
    std::vector<LazSheetPoint> points;
    points.reserve(static_cast<std::size_t>(count) * static_cast<std::size_t>(count) * 11 / 10);
    for (int r = 0; r < count; ++r) {
        for (int c = 0; c < count; ++c) {
            const long long i = static_cast<long long>(r) * count + c;
            // Positions in whole centimetres, as the file holds them, so that heights and classes are those of
            // the point a reader gets back.
            const double e = std::round((sheet.minE + (c + 0.2 + 0.6 * hashUnit(i, 1, 71)) * spacing) * 100.0) / 100.0;
            const double n = std::round((sheet.minN + (r + 0.2 + 0.6 * hashUnit(i, 2, 71)) * spacing) * 100.0) / 100.0;
            const double noise = (hashUnit(i, 3, 71) - 0.5) * 0.06;
            const Surface s = t.surfaceAt(e, n);
            const geodesy::PlanarPoint px = canvas.toPixel({e, n});
            const std::uint32_t rgba = canvas.pixel(std::clamp(static_cast<int>(px.x), 0, side - 1),
                                                    std::clamp(static_cast<int>(px.y), 0, side - 1));
            const auto colour = [&](LazSheetPoint p) {
                p.red = static_cast<std::uint8_t>(rgba >> 24), p.green = static_cast<std::uint8_t>(rgba >> 16);
                p.blue = static_cast<std::uint8_t>(rgba >> 8);
                return p;
            };
            points.push_back(colour({e, n, s.z + noise, s.cls}));
            // A third of the pulses through a crown reach the ground as well.
            if (s.cls == 5 && i % 3 == 0) points.push_back(colour({e, n, t.groundHeight(e, n) + noise, 2}));
        }
    }
    for (LazSheetPoint& p : points) p.z = std::round(p.z * 100.0) / 100.0;
    return points;
}

}  // namespace town

namespace {

std::vector<geodesy::PlanarPoint> outline(const geodesy::Bbox& b) {
    return {{b.minE, b.minN}, {b.maxE, b.minN}, {b.maxE, b.maxN}, {b.minE, b.maxN}, {b.minE, b.minN}};
}

SimFeature indexMember(const std::string& id, const geodesy::Bbox& b, const std::string& emblem, const std::string& url,
                       bool lidar) {
    SimFeature f{id, {outline(b)}, {}, {}, {{"godlo", emblem}, {"akt_rok", "2023"}}};
    f.props.emplace_back("format", lidar ? "LAZ" : "ASCII ESRI GRID");
    f.props.emplace_back("char_przestrz", lidar ? platform::cformat("%.0f p/m2", town::kLidarDensity) : "1.00 m");
    f.props.emplace_back("uklad_xy", "PL-1992");
    f.props.emplace_back("url_do_pobrania", url);
    return f;
}

}  // namespace

void addTownSheets(Scenario& scenario, const town::Town& t) {
    const net::ServiceEndpoints& ep = net::serviceEndpoints();
    auto nmt = std::make_shared<FeatureStore>(), nmpt = std::make_shared<FeatureStore>(),
         lidar = std::make_shared<FeatureStore>();
    const auto emblem = [](const char* prefix, const geodesy::Bbox& b) {
        return platform::cformat("%s-%d-%d", prefix, static_cast<int>(b.minE / 250) % 1000,
                                 static_cast<int>(b.minN / 250) % 1000);
    };
    int k = 0;
    for (const geodesy::Bbox& b : town::modelSheets(t)) {
        const std::string name = emblem("M-34-33-C", b);
        const std::string nmtUrl = ep.openData + "/NumDaneWys/NMT/demo/" + name + ".asc";
        const std::string nmptUrl = ep.openData + "/NumDaneWys/NMPT/demo/" + name + ".asc";
        nmt->add("gugik:SkorowidzNMT2023", indexMember(platform::cformat("nmt.%d", ++k), b, name, nmtUrl, false));
        nmpt->add("gugik:SkorowidzNMPT2023", indexMember(platform::cformat("nmpt.%d", k), b, name, nmptUrl, false));
        addLazySheet(scenario, nmtUrl, [&t, b]() {
            return asciiGrid(
                b, [&t](double e, double n) -> std::optional<double> { return t.groundHeight(e, n); },
                town::kModelCell);
        });
        addLazySheet(scenario, nmptUrl, [&t, b]() {
            return asciiGrid(
                b, [&t](double e, double n) -> std::optional<double> { return t.surfaceAt(e, n).z; }, town::kModelCell);
        });
    }
    k = 0;
    for (const geodesy::Bbox& b : town::lidarSheets(t)) {
        const std::string name = emblem("M-34-33-C-d", b);
        const std::string url = ep.openData + "/NumDaneWys/DanePomiaroweLAZ/demo/" + name + ".laz";
        lidar->add("gugik:SkorowidzDanychPomiarowychLIDAR2023",
                   indexMember(platform::cformat("lidar.%d", ++k), b, name, url, true));
        addLazySheet(scenario, url, [&t, b]() {
            return lazSheetBytes(town::lidarPoints(t, b), LazSheetFormat{true, 200, 50000});
        });
    }
    scenario.addWfs(poland::hostOf(ep.nmtIndexWfs()), poland::pathOf(ep.nmtIndexWfs()),
                    std::make_shared<WfsService>(nmt));
    scenario.addWfs(poland::hostOf(ep.nmptIndexWfs()), poland::pathOf(ep.nmptIndexWfs()),
                    std::make_shared<WfsService>(nmpt));
    scenario.addWfs(poland::hostOf(ep.lidarIndexWfs()), poland::pathOf(ep.lidarIndexWfs()),
                    std::make_shared<WfsService>(lidar));
}

}  // namespace sim

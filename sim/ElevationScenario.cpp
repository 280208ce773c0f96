// Elevation sheets and the elevation and surface-model indexes of the simulator, generated deterministically.
#include "ElevationScenario.h"

#include <cmath>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "FeatureStore.h"
#include "Scenarios.h"
#include "WfsService.h"
#include "net/ServiceEndpoints.h"
#include "platform/Numbers.h"

namespace sim {

namespace elevation {

const Site kHills{"Zamosc (wzgorza)", 800000.0, 326000.0};
const Site kValley{"Zary (dolina)", 232700.0, 426600.0};
const Site kFlat{"Zabrze (plasko)", 484750.0, 273100.0};
const Site kNodata{"Wroclaw (NODATA)", 362730.0, 361950.0};
const Site kBroken{"Kielce (uszkodzone arkusze)", 614570.0, 334510.0};
const Site kMosaic{"Poznan (25 arkuszy)", 358900.0, 506520.0};
const Site kUncovered{"Suwalki (brak arkuszy)", 756830.0, 700230.0};

double hillsHeight(double e, double n) {
    const double dx = e - kHills.e, dy = n - kHills.n;
    const auto bump = [](double x, double y, double sigma) { return std::exp(-(x * x + y * y) / (2 * sigma * sigma)); };
    return 210.0 + 0.01 * dx + 15.0 * bump(dx - 150, dy - 100, 120) + 10.0 * bump(dx + 200, dy + 150, 90);
}

double valleyHeight(double e, double n) {
    const double dx = e - kValley.e, dy = n - kValley.n;
    return 140.0 + 0.0004 * dx * dx + 0.002 * dy;
}

geodesy::Bbox frameAround(const Site& site, double width, double height) {
    return {site.e - width / 2, site.n - height / 2, site.e + width / 2, site.n + height / 2};
}

std::string sheetUrl(const std::string& product, const std::string& name) {
    return net::serviceEndpoints().openData + "/NumDaneWys/" + product + "/sim/" + name;
}

}  // namespace elevation

using namespace elevation;

namespace {

std::string hostOf(const std::string& url) {
    const auto start = url.find("://") + 3;
    return url.substr(start, url.find('/', start) - start);
}
std::string pathOf(const std::string& url) { return url.substr(url.find('/', url.find("://") + 3)); }

std::vector<geodesy::PlanarPoint> rectangle(const geodesy::Bbox& b) {
    return {{b.minE, b.minN}, {b.maxE, b.minN}, {b.maxE, b.maxN}, {b.minE, b.maxN}, {b.minE, b.minN}};
}

}  // namespace

std::string asciiGrid(const geodesy::Bbox& box, const HeightAt& height, double cell) {
    const int cols = static_cast<int>(std::lround(box.width() / cell));
    const int rows = static_cast<int>(std::lround(box.height() / cell));
    std::string text = "ncols " + platform::cformat("%d", cols) + "\nnrows " + platform::cformat("%d", rows) +
                       "\nxllcorner " + platform::cformat("%.1f", box.minE) + "\nyllcorner " +
                       platform::cformat("%.1f", box.minN) + "\ncellsize " + platform::cformat("%.1f", cell) +
                       "\nnodata_value -9999\n";
    text.reserve(text.size() + static_cast<std::size_t>(cols) * static_cast<std::size_t>(rows) * 8);
    for (int row = rows - 1; row >= 0; --row) {
        for (int col = 0; col < cols; ++col) {
            const auto z = height(box.minE + (col + 0.5) * cell, box.minN + (row + 0.5) * cell);
            if (col > 0) text += ' ';
            text += z ? platform::cformat("%.2f", *z) : std::string("-9999");
        }
        text += '\n';
    }
    return text;
}

// A sheet made on first download only, so building the scenario stays cheap.
void addLazySheet(Scenario& scenario, const std::string& url, std::function<std::string()> make) {
    struct Lazy {
        std::once_flag once;
        std::string bytes;
    };
    auto lazy = std::make_shared<Lazy>();
    scenario.addHandler(hostOf(url), pathOf(url), [lazy, make](const SimRequest& request, SimResponse& response) {
        if (request.method != "GET") return false;
        std::call_once(lazy->once, [&]() { lazy->bytes = make(); });
        response.contentType = "application/octet-stream";
        response.body = lazy->bytes;
        return true;
    });
}

namespace {

SimFeature indexMember(const std::string& id, const geodesy::Bbox& outline, const std::string& emblem,
                       const std::string& url, const std::string& year) {
    return {id,
            {rectangle(outline)},
            {},
            {},
            {{"godlo", emblem},
             {"akt_rok", year},
             {"format", "ASCII ESRI GRID"},
             {"char_przestrz", "1.00 m"},
             {"uklad_xy", "PL-1992"},
             {"url_do_pobrania", url}}};
}

// Index stores of the elevation and surface models.
struct ElevationIndexes {
    std::shared_ptr<FeatureStore> nmt = std::make_shared<FeatureStore>();
    std::shared_ptr<FeatureStore> nmpt = std::make_shared<FeatureStore>();
};

void addHills(Scenario& scenario, ElevationIndexes& idx) {
    const double h = kHillsHalfExtent;
    const geodesy::Bbox west{kHills.e - h, kHills.n - h, kHills.e + 150, kHills.n + h};
    const geodesy::Bbox east{kHills.e - 150, kHills.n - h, kHills.e + h, kHills.n + h};
    const std::string westUrl = sheetUrl("NMT", "7.111.23.11.asc"), eastUrl = sheetUrl("NMT", "7.111.23.12.asc");
    idx.nmt->add("gugik:SkorowidzNMT2025", indexMember("nmt.hills.w", west, "7.111.23.11", westUrl, "2025"));
    idx.nmt->add("gugik:SkorowidzNMT2025", indexMember("nmt.hills.e", east, "7.111.23.12", eastUrl, "2025"));
    addLazySheet(scenario, westUrl, [west]() {
        return asciiGrid(west, [](double e, double n) -> std::optional<double> {
            const double de = e - (kHills.e + kHoleDe), dn = n - (kHills.n + kHoleDn);
            if (de * de + dn * dn < kHoleRadius * kHoleRadius) return std::nullopt;
            return hillsHeight(e, n);
        });
    });
    addLazySheet(scenario, eastUrl, [east]() {
        return asciiGrid(east, [](double e, double n) -> std::optional<double> { return hillsHeight(e, n); });
    });
    // The surface model: the same ground with a few 12 m blocks standing on it.
    const geodesy::Bbox whole = frameAround(kHills, 2 * h, 2 * h);
    const std::string surfaceUrl = sheetUrl("NMPT", "7.111.23.1.asc");
    idx.nmpt->add("gugik:SkorowidzNMPT2025", indexMember("nmpt.hills", whole, "7.111.23.1", surfaceUrl, "2025"));
    addLazySheet(scenario, surfaceUrl, [whole]() {
        return asciiGrid(whole, [](double e, double n) -> std::optional<double> {
            const double de = std::fmod(std::fabs(e - kHills.e), 100.0), dn = std::fmod(std::fabs(n - kHills.n), 100.0);
            return hillsHeight(e, n) + (de < 30 && dn < 20 ? 12.0 : 0.0);
        });
    });
}

void addValley(Scenario& scenario, ElevationIndexes& idx) {
    const geodesy::Bbox sheet = frameAround(kValley, 600, 600);
    const std::string url = sheetUrl("NMT", "6.113.14.21.asc");
    const char* type = "gugik:SkorowidzNMT2019";
    // Members the client must pass over: no address, an address of another scheme, an empty element.
    SimFeature noUrl = indexMember("nmt.valley.0", sheet, "6.113.14.20", "", "2019");
    idx.nmt->add(type, noUrl);
    idx.nmt->add(type,
                 indexMember("nmt.valley.1", sheet, "6.113.14.22", "ftp://opendata.geoportal.gov.pl/x.asc", "2019"));
    idx.nmt->add(type, indexMember("nmt.valley.2", sheet, "\n\t  6.113.14.21 \r\n", url, "2019"));
    idx.nmt->add(type, indexMember("nmt.valley.3", sheet, "6.113.14.23", "   ", "2019"));
    addLazySheet(scenario, url, [sheet]() {
        return asciiGrid(sheet, [](double e, double n) -> std::optional<double> { return valleyHeight(e, n); });
    });
    const std::string surfaceUrl = sheetUrl("NMPT", "6.113.14.21.asc");
    idx.nmpt->add("gugik:SkorowidzNMPT2019", indexMember("nmpt.valley", sheet, "6.113.14.21", surfaceUrl, "2019"));
    addLazySheet(scenario, surfaceUrl, [sheet]() {
        return asciiGrid(sheet, [](double e, double n) -> std::optional<double> { return valleyHeight(e, n) + 2.0; });
    });
}

void addSmallSites(Scenario& scenario, ElevationIndexes& idx) {
    const char* type = "gugik:SkorowidzNMT2022";
    const geodesy::Bbox flat = frameAround(kFlat, 400, 400);
    const std::string flatUrl = sheetUrl("NMT", "5.142.33.1.asc");
    idx.nmt->add(type, indexMember("nmt.flat", flat, "5.142.33.1", flatUrl, "2022"));
    addLazySheet(scenario, flatUrl, [flat]() {
        return asciiGrid(flat, [](double, double) -> std::optional<double> { return kFlatHeight; });
    });

    const geodesy::Bbox empty = frameAround(kNodata, 400, 400);
    const std::string emptyUrl = sheetUrl("NMT", "6.152.21.4.asc");
    idx.nmt->add(type, indexMember("nmt.nodata", empty, "6.152.21.4", emptyUrl, "2022"));
    addLazySheet(scenario, emptyUrl, [empty]() {
        return asciiGrid(empty, [](double, double) -> std::optional<double> { return std::nullopt; });
    });

    // One sheet missing on the download host, one that is no grid (a five-line header).
    const geodesy::Bbox broken = frameAround(kBroken, 400, 400);
    idx.nmt->add(type, indexMember("nmt.broken.1", broken, "7.143.12.1", sheetUrl("NMT", "7.143.12.1.asc"), "2022"));
    const std::string badUrl = sheetUrl("NMT", "7.143.12.2.asc");
    idx.nmt->add(type, indexMember("nmt.broken.2", broken, "7.143.12.2", badUrl, "2022"));
    scenario.addFile(hostOf(badUrl), pathOf(badUrl),
                     "ncols 2\nnrows 2\nxllcorner 614370\nyllcorner 334310\ncellsize 200\n1 2\n3 4\n", "text/plain");

    // 5 x 5 sheets of 100 m, listed row by row from the south-west.
    for (int row = 0; row < 5; ++row) {
        for (int col = 0; col < 5; ++col) {
            const geodesy::Bbox cell{kMosaic.e - 250 + col * 100.0, kMosaic.n - 250 + row * 100.0,
                                     kMosaic.e - 150 + col * 100.0, kMosaic.n - 150 + row * 100.0};
            const std::string emblem = "6.134.12." + platform::cformat("%d%d", row, col);
            const std::string url = sheetUrl("NMT", emblem + ".asc");
            idx.nmt->add(type,
                         indexMember("nmt.mosaic." + platform::cformat("%d%d", row, col), cell, emblem, url, "2022"));
            const double z = 60.0 + row * 5 + col;
            addLazySheet(scenario, url, [cell, z]() {
                return asciiGrid(cell, [z](double, double) -> std::optional<double> { return z; });
            });
        }
    }
}

}  // namespace

// Serves the store's own feature types; other types fall through to the routes bound before.
void addIndexService(Scenario& scenario, const std::string& serviceUrl, std::shared_ptr<FeatureStore> store) {
    auto service = std::make_shared<WfsService>(store);
    scenario.addHandler(hostOf(serviceUrl), pathOf(serviceUrl),
                        [service, store](const SimRequest& request, SimResponse& response) {
                            std::string type = request.param("typenames");
                            if (type.empty()) type = request.param("typename");
                            if (!equalsNoCase(request.param("request"), "GetFeature") || !store->hasType(type))
                                return false;
                            return service->handle(request, response);
                        });
}

void addElevationServices(Scenario& scenario) {
    ElevationIndexes idx;
    addHills(scenario, idx);
    addValley(scenario, idx);
    addSmallSites(scenario, idx);
    const net::ServiceEndpoints& ep = net::serviceEndpoints();
    addIndexService(scenario, ep.nmtIndexWfs(), idx.nmt);
    addIndexService(scenario, ep.nmptIndexWfs(), idx.nmpt);
    addLidarServices(scenario);
}

void buildElevationScenario(Scenario& scenario) {
    buildDemoScenario(scenario);
    addElevationServices(scenario);
}

}  // namespace sim

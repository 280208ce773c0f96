#include "StructuresScenario.h"

#include <cmath>
#include <nlohmann/json.hpp>
#include <string_view>

#include "BuildingPackages.h"
#include "ElevationScenario.h"
#include "FeatureStore.h"
#include "LazSheet.h"
#include "PolandScenario.h"
#include "Scenarios.h"
#include "WfsService.h"
#include "geodesy/Crs.h"
#include "net/ServiceEndpoints.h"
#include "platform/Numbers.h"

namespace sim {

namespace structures {

namespace {

constexpr double kRiverN = kCentreN - 150.0;  // a valley running east-west south of the buildings
constexpr double kBridgeE = kCentreE + 100.0;
constexpr double kBridgeHalf = 60.0;
constexpr double kBridgeHalfWidth = 4.0;  // "lanes" 2 gives 8 m
constexpr double kGridCell = 1.0;

bool onBridgeDeck(double e, double n) {
    return std::fabs(e - kBridgeE) <= kBridgeHalfWidth && std::fabs(n - kRiverN) <= kBridgeHalf;
}

}  // namespace

geodesy::Bbox siteFrame() { return {kCentreE - 100, kRiverN - 100, kCentreE + 900, kCentreN + 150}; }

double groundHeight(double e, double n) {
    (void)e;
    const double d = n - kRiverN;
    return 180.0 - 6.0 * std::exp(-d * d / (2 * 15.0 * 15.0));
}

const std::vector<roofs::KnownBuilding>& siteBuildings() {
    static const std::vector<roofs::KnownBuilding> list = roofs::knownBuildings(20, kCentreE, kCentreN, 180.0);
    return list;
}

const std::vector<Way>& siteWays() {
    static const std::vector<Way> ways = {
        {101,
         {{kBridgeE, kRiverN - kBridgeHalf}, {kBridgeE, kRiverN}, {kBridgeE, kRiverN + kBridgeHalf}},
         {{"highway", "secondary"}, {"bridge", "yes"}, {"lanes", "2"}, {"name", "Most Rzeczny"}}},
        {102,
         {{kCentreE - 150, kCentreN - 40}, {kCentreE + 400, kCentreN - 40}, {kCentreE + 950, kCentreN - 40}},
         {{"highway", "residential"}, {"width", "7.5"}, {"name", "ulica Dachowa"}}},
        {103, {{kCentreE + 300, kRiverN + 40}, {kCentreE + 300, kCentreN - 40}}, {{"highway", "tertiary"}}},
        // A tram crossing on the same bridge line, with no highway tag.
        {104,
         {{kBridgeE + 2, kRiverN - 20}, {kBridgeE + 2, kRiverN + 20}},
         {{"railway", "tram"}, {"bridge", "viaduct"}}},
    };
    return ways;
}

}  // namespace structures

using namespace structures;

namespace {

std::string hostOf(const std::string& url) {
    const auto start = url.find("://") + 3;
    return url.substr(start, url.find('/', start) - start);
}
std::string pathOf(const std::string& url) { return url.substr(url.find('/', url.find("://") + 3)); }

// An ESRI ASCII grid of the site with 1 m cells; the first row written is the northernmost.
std::string siteGrid(bool surface) {
    const geodesy::Bbox box = siteFrame();
    const int cols = static_cast<int>(std::lround(box.width() / kGridCell));
    const int rows = static_cast<int>(std::lround(box.height() / kGridCell));
    std::string text = "ncols " + platform::cformat("%d", cols) + "\nnrows " + platform::cformat("%d", rows) +
                       "\nxllcorner " + platform::cformat("%.1f", box.minE) + "\nyllcorner " +
                       platform::cformat("%.1f", box.minN) + "\ncellsize " + platform::cformat("%.1f", kGridCell) +
                       "\nnodata_value -9999\n";
    for (int row = rows - 1; row >= 0; --row) {
        for (int col = 0; col < cols; ++col) {
            const double e = box.minE + (col + 0.5) * kGridCell, n = box.minN + (row + 0.5) * kGridCell;
            double z = groundHeight(e, n);
            if (surface) {
                if (onBridgeDeck(e, n)) z = std::max(z, kDeckHeight);
                for (const roofs::KnownBuilding& b : siteBuildings())
                    if (b.contains(e, n)) z = b.roofHeight(e, n);
            }
            if (col > 0) text += ' ';
            text += platform::cformat("%.2f", z);
        }
        text += '\n';
    }
    return text;
}

// The roof survey as a LAZ sheet (point format 0, centimetre scale).
std::string surveyLaz() {
    std::vector<LazSheetPoint> sheet;
    for (const roofs::SurveyPoint& p : roofs::surveyPoints(siteBuildings(), {}))
        sheet.push_back({p.x, p.y, p.z, p.cls});
    return lazSheetBytes(sheet, LazSheetFormat{});
}

std::vector<geodesy::PlanarPoint> outline(const geodesy::Bbox& b) {
    return {{b.minE, b.minN}, {b.maxE, b.minN}, {b.maxE, b.maxN}, {b.minE, b.maxN}, {b.minE, b.minN}};
}

SimFeature indexMember(const std::string& id, const std::string& emblem, const std::string& url, const char* format,
                       const char* density) {
    return {id,
            {outline(siteFrame())},
            {},
            {},
            {{"godlo", emblem},
             {"akt_rok", "2021"},
             {"format", format},
             {"char_przestrz", density},
             {"uklad_xy", "PL-1992"},
             {"url_do_pobrania", url}}};
}

// The box "south,west,north,east" of the last way clause of an Overpass query.
bool queryBox(const std::string& query, double& south, double& west, double& north, double& east) {
    const auto open = query.rfind("](");
    if (open == std::string::npos) return false;
    // Numbers in the "C" syntax whatever the process locale (the simulator also runs inside tests).
    std::string_view rest = std::string_view(query).substr(open + 2);
    double* parts[] = {&south, &west, &north, &east};
    for (int i = 0; i < 4; ++i) {
        const std::size_t end = rest.find(i < 3 ? ',' : ')');
        if (end == std::string_view::npos || !platform::parseDouble(rest.substr(0, end), *parts[i])) return false;
        rest.remove_prefix(end + 1);
    }
    return true;
}

bool overpassAnswer(const SimRequest& request, SimResponse& response) {
    const std::string query = request.param("data");
    double south = 0, west = 0, north = 0, east = 0;
    if (query.empty() || !queryBox(query, south, west, north, east)) {
        response.status = 400;
        response.body = "Error: line 1: parse error";
        return true;
    }
    const bool bridges = query.find("way[\"bridge\"") != std::string::npos;
    const bool roads = query.find("way[\"highway\"") != std::string::npos;
    nlohmann::json elements = nlohmann::json::array();
    for (const Way& way : siteWays()) {
        bool isBridge = false, isRoad = false;
        for (const auto& [k, v] : way.tags) {
            if (std::strcmp(k, "bridge") == 0) isBridge = true;
            if (std::strcmp(k, "highway") == 0) isRoad = true;
        }
        if (!((bridges && isBridge) || (roads && isRoad))) continue;
        nlohmann::json geometry = nlohmann::json::array();
        bool inside = false;
        for (const geodesy::PlanarPoint& p : way.points) {
            const geodesy::LatLon ll = geodesy::pl1992ToWgs84(p);
            inside = inside || (ll.lat >= south && ll.lat <= north && ll.lon >= west && ll.lon <= east);
            geometry.push_back({{"lat", ll.lat}, {"lon", ll.lon}});
        }
        if (!inside) continue;
        nlohmann::json tags = nlohmann::json::object();
        for (const auto& [k, v] : way.tags) tags[k] = v;
        elements.push_back({{"type", "way"}, {"id", way.id}, {"geometry", geometry}, {"tags", tags}});
    }
    nlohmann::json body = {{"version", 0.6}, {"generator", "Overpass API"}, {"elements", elements}};
    response.contentType = "application/json";
    response.body = body.dump();
    return true;
}

// The demo county's LOD1 buildings plus the site's, whose footprints the roof and surface-model branches need.
std::vector<PackageBuilding> lod1WithSite() {
    std::vector<PackageBuilding> out = packages::demoBuildings(false);
    int number = 1;
    for (const roofs::KnownBuilding& b : siteBuildings()) {
        out.push_back(packages::overFootprint("PL.PZGIK.994.KONSTRUKCJE." + platform::cformat("%d", number++) + "_BUD",
                                              b.footprint(), b.groundZ, b.eaveZ - b.groundZ));
    }
    return out;
}

// The site as a municipality of the demo county; requests elsewhere go on to the demo's boundaries.
void addSiteBoundaries(Scenario& scenario) {
    const net::ServiceEndpoints& ep = net::serviceEndpoints();
    const geodesy::Bbox f = siteFrame();
    const std::vector<geodesy::PlanarPoint> area =
        outline({f.minE - 2000, f.minN - 2000, f.maxE + 2000, f.maxN + 2000});
    auto prg = std::make_shared<FeatureStore>();
    const std::string county = packages::kDemoCounty;
    prg->add("ms:A03_Granice_gmin",
             {"A03.site", {area}, {}, {}, {{"JPT_KOD_JE", county + "052"}, {"JPT_NAZWA_", "Konstrukcje"}}});
    prg->add("ms:A02_Granice_powiatow",
             {"A02.site", {area}, {}, {}, {{"JPT_KOD_JE", county}, {"JPT_NAZWA_", "puławski"}}});
    prg->add("ms:A01_Granice_wojewodztw",
             {"A01.site", {area}, {}, {}, {{"JPT_KOD_JE", county.substr(0, 2)}, {"JPT_NAZWA_", "lubelskie"}}});
    auto service = std::make_shared<WfsService>(prg);
    scenario.addHandler(hostOf(ep.prgWfs()), pathOf(ep.prgWfs()), poland::wfsOverEarlierRoutes(service));
}

}  // namespace

void addStructureServices(Scenario& scenario) {
    const net::ServiceEndpoints& ep = net::serviceEndpoints();
    auto nmt = std::make_shared<FeatureStore>(), nmpt = std::make_shared<FeatureStore>(),
         lidar = std::make_shared<FeatureStore>();
    const std::string nmtUrl = elevation::sheetUrl("NMT", "5.184.21.3.asc");
    const std::string nmptUrl = elevation::sheetUrl("NMPT", "5.184.21.3.asc");
    const std::string lidarUrl = elevation::sheetUrl("DanePomiaroweLAZ", "5.184.21.3.1.laz");
    nmt->add("gugik:SkorowidzNMT2021",
             indexMember("nmt.structures", "5.184.21.3", nmtUrl, "ASCII ESRI GRID", "1.00 m"));
    nmpt->add("gugik:SkorowidzNMPT2021",
              indexMember("nmpt.structures", "5.184.21.3", nmptUrl, "ASCII ESRI GRID", "1.00 m"));
    lidar->add("gugik:SkorowidzDanychPomiarowychLIDAR2021",
               indexMember("lidar.structures", "5.184.21.3.1", lidarUrl, "LAZ", "15 p/m2"));
    addLazySheet(scenario, nmtUrl, []() { return siteGrid(false); });
    addLazySheet(scenario, nmptUrl, []() { return siteGrid(true); });
    addLazySheet(scenario, lidarUrl, []() { return surveyLaz(); });
    addIndexService(scenario, ep.nmtIndexWfs(), nmt);
    addIndexService(scenario, ep.nmptIndexWfs(), nmpt);
    addIndexService(scenario, ep.lidarIndexWfs(), lidar);
    const std::string interpreter = ep.overpassInterpreter();
    scenario.addHandler(hostOf(interpreter), pathOf(interpreter), overpassAnswer);
    addSiteBoundaries(scenario);
    addLod1Package(scenario, lod1WithSite);
}

void buildStructuresScenario(Scenario& scenario) {
    buildElevationScenario(scenario);
    addStructureServices(scenario);
}

}  // namespace sim

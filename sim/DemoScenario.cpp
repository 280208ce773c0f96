// The default scenario: a small part of central Warsaw on every service a demo import touches.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "BuildingPackages.h"
#include "Scenarios.h"
#include "WfsService.h"
#include "WmsService.h"
#include "geodesy/Crs.h"
#include "net/ServiceEndpoints.h"
#include "platform/Numbers.h"

namespace sim {

namespace {
std::vector<geodesy::PlanarPoint> rectangle(double e0, double n0, double e1, double n1) {
    return {{e0, n0}, {e1, n0}, {e1, n1}, {e0, n1}, {e0, n0}};
}

std::string hostOf(const std::string& base) { return base.substr(base.find("://") + 3); }
std::string pathOf(const std::string& url) {
    const auto start = url.find('/', url.find("://") + 3);
    return url.substr(start);
}

// Centre of the demo area (PL-1992): the default map view of the import page.
constexpr double kCentreE = 637382.0;
constexpr double kCentreN = 486757.0;

// An elevation sheet as an ESRI ASCII grid: a gentle slope with a low hill, 5 m cells, heights in metres.
std::string elevationSheet(double e0, double n0, int cells, double extra) {
    std::string text = "ncols " + platform::cformat("%d", cells) + "\nnrows " + platform::cformat("%d", cells) +
                       "\nxllcorner " + platform::cformat("%.1f", e0) + "\nyllcorner " + platform::cformat("%.1f", n0) +
                       "\ncellsize 5\nnodata_value -9999\n";
    for (int row = cells - 1; row >= 0; --row) {  // the first row written is the northernmost
        for (int col = 0; col < cells; ++col) {
            const double e = e0 + (col + 0.5) * 5, n = n0 + (row + 0.5) * 5;
            const double dx = e - kCentreE, dy = n - kCentreN;
            const double z = 100.0 + 0.01 * dx + 0.005 * dy + 6.0 * std::exp(-(dx * dx + dy * dy) / 40000.0) + extra;
            text += platform::cformat(col == 0 ? "%.2f" : " %.2f", z);
        }
        text += "\n";
    }
    return text;
}

// A tile-index member as the national index publishes it.
SimFeature indexSheet(const std::string& id, const std::vector<geodesy::PlanarPoint>& outline,
                      const std::string& emblem, const std::string& url, bool lidar) {
    SimFeature f{id, {outline}, {}, {}, {{"godlo", emblem}, {"akt_rok", "2023"}, {"format", lidar ? "LAZ" : "ASC"}}};
    if (lidar) {
        f.props.emplace_back("char_przestrz", "12 p/m2");
        f.props.emplace_back("uklad_xy", "PL-1992");
    }
    f.props.emplace_back("url_do_pobrania", url);
    return f;
}

// The real GUGiK LiDAR sample of Warsaw when the shared data folder is present (it is never copied).
std::string lidarSample() {
#ifdef GEODRAFT_REALDATA_DIR
    const std::filesystem::path file = std::filesystem::path(GEODRAFT_REALDATA_DIR) / "laz" / "pdal_warsaw_small.las";
    std::ifstream in(file, std::ios::binary);
    if (!in) return {};
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return std::move(bytes).str();
#else
    return {};
#endif
}
}  // namespace

void buildDemoScenario(Scenario& scenario) {
    const net::ServiceEndpoints& ep = net::serviceEndpoints();
    const std::string geoportal = hostOf(ep.geoportal);

    // Administrative boundaries: the municipality, county and voivodeship around the centre.
    auto prg = std::make_shared<FeatureStore>();
    const auto big = rectangle(kCentreE - 10000, kCentreN - 10000, kCentreE + 10000, kCentreN + 10000);
    prg->add("ms:A03_Granice_gmin", {"A03.1", {big}, {}, {}, {{"JPT_KOD_JE", "1465011"}, {"JPT_NAZWA_", "Warszawa"}}});
    prg->add("ms:A02_Granice_powiatow", {"A02.1", {big}, {}, {}, {{"JPT_KOD_JE", "1465"}, {"JPT_NAZWA_", "Warszawa"}}});
    prg->add("ms:A01_Granice_wojewodztw",
             {"A01.1", {big}, {}, {}, {{"JPT_KOD_JE", "14"}, {"JPT_NAZWA_", "mazowieckie"}}});
    scenario.addWfs(geoportal, pathOf(ep.prgWfs()), std::make_shared<WfsService>(prg));

    // County land register: a 20 x 20 grid of 30 m parcels, a building in every other parcel.
    auto egib = std::make_shared<FeatureStore>();
    int number = 1;
    for (int i = 0; i < 20; ++i) {
        for (int j = 0; j < 20; ++j, ++number) {
            const double e0 = kCentreE - 300 + i * 30.0, n0 = kCentreN - 300 + j * 30.0;
            const std::string parcelId = "146501_1.0001." + platform::cformat("%d", number);
            egib->add("ms:dzialki", {"dzialki." + platform::cformat("%d", number),
                                     {rectangle(e0, n0, e0 + 30, n0 + 30)},
                                     {},
                                     {},
                                     {{"ID_DZIALKI", parcelId},
                                      {"NUMER_DZIALKI", platform::cformat("%d", number)},
                                      {"NAZWA_OBREBU", "Srodmiescie"}}});
            if ((i + j) % 2 == 0)
                egib->add("ms:budynki", {"budynki." + platform::cformat("%d", number),
                                         {rectangle(e0 + 5, n0 + 5, e0 + 22, n0 + 20)},
                                         {},
                                         {},
                                         {{"ID_BUDYNKU", parcelId + "_BUD"}, {"KONDYGNACJE_NADZIEMNE", "4"}}});
        }
    }
    const auto egibService = std::make_shared<WfsService>(egib);
    // A GeoServer page size well below a frame's parcels: every demo import pages through its tiles.
    egibService->paging = {100, PagingStyle::GeoServer};
    scenario.addWfs("wms2.um.warszawa.pl", "/geoserver/wfs/wms", egibService);
    scenario.addWfs(geoportal, pathOf(ep.countyEgibOnGeoportal("1465")), egibService);

    // National new-buildings WFS with a few buildings.
    auto bdot = std::make_shared<FeatureStore>();
    for (int k = 0; k < 5; ++k) {
        const double e0 = kCentreE - 200 + k * 80.0, n0 = kCentreN + 350;
        bdot->add("ms:bud_2025", {"bud." + platform::cformat("%d", k),
                                  {rectangle(e0, n0, e0 + 25, n0 + 18)},
                                  {},
                                  {},
                                  {{"X_KOD", "BUBD01"}, {"FUNOGBUD", "budynki mieszkalne"}}});
    }
    scenario.addWfs(geoportal, pathOf(ep.bdot10kNewBuildingsWfs()), std::make_shared<WfsService>(bdot));

    // County packages of LOD1 and LOD2 building models over the land register's buildings.
    addBuildingPackages(scenario);

    // Orthophoto and overlay WMS services.
    auto ortho = std::make_shared<WmsService>();
    ortho->addLayer({"Raster", "Ortofotomapa", 0x608040FF, egib, "ms:budynki"});
    scenario.addWms(geoportal, pathOf(ep.orthophotoWms()), ortho);
    auto kieg = std::make_shared<WmsService>();
    for (const char* layer : {"dzialki", "numery_dzialek", "budynki", "kontury"})
        kieg->addLayer({layer, layer, 0xC03030FF, egib,
                        std::string("ms:") + (std::string(layer) == "budynki" ? "budynki" : "dzialki")});
    scenario.addWms(hostOf(ep.integration), pathOf(ep.cadastreIntegrationWms()), kieg);

    // Geocoders.
    const geodesy::LatLon centre = geodesy::pl1992ToWgs84(kCentreE, kCentreN);
    scenario.addText(hostOf(ep.nominatim), "/search",
                     "[{\"lat\":\"" + platform::cformat("%.7f", centre.lat) + "\",\"lon\":\"" +
                         platform::cformat("%.7f", centre.lon) +
                         "\",\"display_name\":\"Warszawa, Srodmiescie, wojewodztwo mazowieckie, Polska\"}]",
                     "application/json");
    scenario.addText(
        hostOf(ep.photon), "/api/",
        "{\"type\":\"FeatureCollection\",\"features\":[{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\","
        "\"coordinates\":[" +
            platform::cformat("%.7f", centre.lon) + "," + platform::cformat("%.7f", centre.lat) +
            "]},\"properties\":{\"name\":\"Warszawa\",\"city\":\"Warszawa\",\"country\":\"Polska\"}}]}",
        "application/json");

    // Tile indexes: one elevation and one surface-model sheet over the demo area, and the LiDAR sheet of the real
    // Warsaw sample (its points lie at about E 639913-639947, N 485143-485176).
    const std::string openData = hostOf(ep.openData);
    auto nmt = std::make_shared<FeatureStore>();
    const auto sheetOutline = rectangle(kCentreE - 600, kCentreN - 600, kCentreE + 600, kCentreN + 600);
    const std::string nmtUrl = ep.openData + "/NumDaneWys/NMT/demo/N-34-139-A-c-1-1.asc";
    const std::string nmptUrl = ep.openData + "/NumDaneWys/NMPT/demo/N-34-139-A-c-1-1.asc";
    nmt->add("gugik:SkorowidzNMT2023", indexSheet("nmt.1", sheetOutline, "N-34-139-A-c-1-1", nmtUrl, false));
    scenario.addWfs(geoportal, pathOf(ep.nmtIndexWfs()), std::make_shared<WfsService>(nmt));
    auto nmpt = std::make_shared<FeatureStore>();
    nmpt->add("gugik:SkorowidzNMPT2023", indexSheet("nmpt.1", sheetOutline, "N-34-139-A-c-1-1", nmptUrl, false));
    scenario.addWfs(geoportal, pathOf(ep.nmptIndexWfs()), std::make_shared<WfsService>(nmpt));
    scenario.addFile(openData, pathOf(nmtUrl), elevationSheet(kCentreE - 600, kCentreN - 600, 240, 0.0), "text/plain");
    scenario.addFile(openData, pathOf(nmptUrl), elevationSheet(kCentreE - 600, kCentreN - 600, 240, 9.0), "text/plain");
    auto lidar = std::make_shared<FeatureStore>();
    const std::string sample = lidarSample();
    if (!sample.empty()) {
        const std::string lasUrl = ep.openData + "/NumDaneWys/DanePomiaroweLAZ/demo/N-34-139-A-c-1-3-2-1.las";
        lidar->add(
            "gugik:SkorowidzDanychPomiarowychLIDAR2023",
            indexSheet("lidar.1", rectangle(639880, 485110, 639980, 485210), "N-34-139-A-c-1-3-2-1", lasUrl, true));
        scenario.addFile(openData, pathOf(lasUrl), sample, "application/octet-stream");
    }
    scenario.addWfs(geoportal, pathOf(ep.lidarIndexWfs()), std::make_shared<WfsService>(lidar));

    // Planning register: no published acts; Overpass: no ways.
    scenario.addText(hostOf(ep.planningRegister), pathOf(ep.planningQuery()), "{\"publishedActs\":[]}",
                     "application/json", "POST");
    scenario.addText(hostOf(ep.overpass), pathOf(ep.overpassInterpreter()),
                     "{\"version\":0.6,\"generator\":\"geodraft-sim\",\"elements\":[]}", "application/json");
}

}  // namespace sim

// The default scenario: a small part of central Warsaw on every service a demo import touches.
#include <memory>

#include "Scenarios.h"
#include "WfsService.h"
#include "WmsService.h"
#include "geodesy/Crs.h"
#include "net/ServiceEndpoints.h"
#include "platform/Numbers.h"

namespace {
std::vector<EN> rectangle(double e0, double n0, double e1, double n1) {
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
}  // namespace

void buildDemoScenario(Scenario& scenario) {
    const ServiceEndpoints& ep = serviceEndpoints();
    const std::string geoportal = hostOf(ep.geoportal);

    // Administrative boundaries: the municipality, county and voivodeship around the centre.
    auto prg = std::make_shared<FeatureStore>();
    const auto big = rectangle(kCentreE - 10000, kCentreN - 10000, kCentreE + 10000, kCentreN + 10000);
    prg->add("ms:A03_Granice_gmin", {"A03.1", {big}, {}, {}, {{"JPT_KOD_JE", "1465011"}, {"JPT_NAZWA_", "Warszawa"}}});
    prg->add("ms:A02_Granice_powiatow", {"A02.1", {big}, {}, {}, {{"JPT_KOD_JE", "1465"}, {"JPT_NAZWA_", "Warszawa"}}});
    prg->add("ms:A01_Granice_wojewodztw", {"A01.1", {big}, {}, {}, {{"JPT_KOD_JE", "14"}, {"JPT_NAZWA_", "mazowieckie"}}});
    scenario.addWfs(geoportal, pathOf(ep.prgWfs()), std::make_shared<WfsService>(prg));

    // County land register: a 20 x 20 grid of 30 m parcels, a building in every other parcel.
    auto egib = std::make_shared<FeatureStore>();
    int number = 1;
    for (int i = 0; i < 20; ++i) {
        for (int j = 0; j < 20; ++j, ++number) {
            const double e0 = kCentreE - 300 + i * 30.0, n0 = kCentreN - 300 + j * 30.0;
            const std::string parcelId = "146501_1.0001." + cformat("%d", number);
            egib->add("ms:dzialki", {"dzialki." + cformat("%d", number), {rectangle(e0, n0, e0 + 30, n0 + 30)}, {}, {},
                                     {{"ID_DZIALKI", parcelId}, {"NUMER_DZIALKI", cformat("%d", number)},
                                      {"NAZWA_OBREBU", "Srodmiescie"}}});
            if ((i + j) % 2 == 0)
                egib->add("ms:budynki", {"budynki." + cformat("%d", number), {rectangle(e0 + 5, n0 + 5, e0 + 22, n0 + 20)},
                                         {}, {}, {{"ID_BUDYNKU", parcelId + "_BUD"}, {"KONDYGNACJE_NADZIEMNE", "4"}}});
        }
    }
    const auto egibService = std::make_shared<WfsService>(egib);
    scenario.addWfs("wms2.um.warszawa.pl", "/geoserver/wfs/wms", egibService);
    scenario.addWfs(geoportal, pathOf(ep.countyEgibOnGeoportal("1465")), egibService);

    // National new-buildings WFS with a few buildings.
    auto bdot = std::make_shared<FeatureStore>();
    for (int k = 0; k < 5; ++k) {
        const double e0 = kCentreE - 200 + k * 80.0, n0 = kCentreN + 350;
        bdot->add("ms:bud_2025", {"bud." + cformat("%d", k), {rectangle(e0, n0, e0 + 25, n0 + 18)}, {}, {},
                                  {{"X_KOD", "BUBD01"}, {"FUNOGBUD", "budynki mieszkalne"}}});
    }
    scenario.addWfs(geoportal, pathOf(ep.bdot10kNewBuildingsWfs()), std::make_shared<WfsService>(bdot));

    // Orthophoto and overlay WMS services.
    auto ortho = std::make_shared<WmsService>();
    ortho->addLayer({"Raster", "Ortofotomapa", 0x608040FF, egib, "ms:budynki"});
    scenario.addWms(geoportal, pathOf(ep.orthophotoWms()), ortho);
    auto kieg = std::make_shared<WmsService>();
    for (const char* layer : {"dzialki", "numery_dzialek", "budynki", "kontury"})
        kieg->addLayer({layer, layer, 0xC03030FF, egib, std::string("ms:") + (std::string(layer) == "budynki" ? "budynki" : "dzialki")});
    scenario.addWms(hostOf(ep.integration), pathOf(ep.cadastreIntegrationWms()), kieg);

    // Geocoders.
    const LatLon centre = pl1992ToWgs84(kCentreE, kCentreN);
    scenario.addText(hostOf(ep.nominatim), "/search",
                     "[{\"lat\":\"" + cformat("%.7f", centre.lat) + "\",\"lon\":\"" + cformat("%.7f", centre.lon) +
                         "\",\"display_name\":\"Warszawa, Srodmiescie, wojewodztwo mazowieckie, Polska\"}]",
                     "application/json");
    scenario.addText(hostOf(ep.photon), "/api/",
                     "{\"type\":\"FeatureCollection\",\"features\":[{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\","
                     "\"coordinates\":[" + cformat("%.7f", centre.lon) + "," + cformat("%.7f", centre.lat) +
                         "]},\"properties\":{\"name\":\"Warszawa\",\"city\":\"Warszawa\",\"country\":\"Polska\"}}]}",
                     "application/json");

    // Planning register: no published acts; Overpass: no ways.
    scenario.addText(hostOf(ep.planningRegister), pathOf(ep.planningQuery()), "{\"publishedActs\":[]}",
                     "application/json", "POST");
    scenario.addText(hostOf(ep.overpass), pathOf(ep.overpassInterpreter()),
                     "{\"version\":0.6,\"generator\":\"geodraft-sim\",\"elements\":[]}", "application/json");
}

// Places in several PL-2000 zones on the national services: boundaries, new buildings, utility integration,
// orthophoto. County services are in PolandScenarioCounties.cpp.
#include "PolandScenario.h"

#include <algorithm>
#include <memory>

#include "Scenarios.h"
#include "WfsService.h"
#include "WmsService.h"
#include "geodesy/Crs.h"
#include "net/ServiceEndpoints.h"
#include "platform/Numbers.h"

namespace sim {

namespace poland {

const Place kWarszawa{"Warszawa", "1465011", 52.2297, 21.0122, 2178};
const Place kZamosc{"Zamosc", "0664011", 50.7231, 23.2520, 2179};
const Place kZary{"Zary", "0811011", 51.6424, 15.1353, 2176};
const Place kZabrze{"Zabrze", "2478011", 50.3249, 18.7857, 2177};
const Place kWroclaw{"Wroclaw", "0264011", 51.1079, 17.0385, 2177};

const std::vector<const Place*>& places() {
    static const std::vector<const Place*> all = {&kWarszawa, &kZamosc, &kZary, &kZabrze, &kWroclaw};
    return all;
}

geodesy::PlanarPoint centre1992(const Place& place) {
    const geodesy::PlanarPoint c = geodesy::wgs84ToPl1992(place.lat, place.lon);
    // Whole metres keep the generated geometry readable.
    return {static_cast<double>(static_cast<long long>(c.x)), static_cast<double>(static_cast<long long>(c.y))};
}

std::vector<double> frameWgs84(const Place& place, double widthMetres, double heightMetres) {
    const geodesy::PlanarPoint c = centre1992(place);
    const geodesy::LatLon sw = geodesy::pl1992ToWgs84(c.x - widthMetres / 2, c.y - heightMetres / 2);
    const geodesy::LatLon ne = geodesy::pl1992ToWgs84(c.x + widthMetres / 2, c.y + heightMetres / 2);
    return {sw.lon, sw.lat, ne.lon, ne.lat};
}

std::string hostOf(const std::string& url) {
    const auto start = url.find("://") + 3;
    return url.substr(start, url.find('/', start) - start);
}

std::string pathOf(const std::string& url) {
    const auto start = url.find('/', url.find("://") + 3);
    const auto query = url.find('?', start);
    return url.substr(start, query == std::string::npos ? std::string::npos : query - start);
}

namespace {

std::vector<geodesy::PlanarPoint> rectangle(double e0, double n0, double e1, double n1) {
    return {{e0, n0}, {e1, n0}, {e1, n1}, {e0, n1}, {e0, n0}};
}

}  // namespace

void addParcelBlock(FeatureStore& store, const std::string& parcelType, const std::string& buildingType,
                    const std::string& teryt6, const std::string& precinct, geodesy::PlanarPoint centre, int columns,
                    int rows) {
    const double width = 30.0, depth = 40.0;
    const double e0 = centre.x - columns * width / 2, n0 = centre.y - rows * depth / 2;
    for (int i = 0; i < columns; ++i) {
        for (int j = 0; j < rows; ++j) {
            // Numbers like a precinct after divisions: base number, then the part after the slash.
            const std::string number = platform::cformat("%d/%d", 120 + i, j + 1);
            const std::string id = teryt6 + "_1." + precinct + "." + number;
            const double pe = e0 + i * width, pn = n0 + j * depth;
            if (!parcelType.empty())
                store.add(parcelType, {"dzialki." + teryt6 + "." + platform::cformat("%d", i * rows + j + 1),
                                       {rectangle(pe, pn, pe + width, pn + depth)},
                                       {},
                                       {},
                                       {{"ID_DZIALKI", id},
                                        {"NUMER_DZIALKI", number},
                                        {"NUMER_OBREBU", precinct},
                                        {"NAZWA_OBREBU", "Obreb " + precinct},
                                        {"POLE_EWIDENCYJNE", platform::cformat("%.4f", width * depth / 10000.0)}}});
            const bool corner = (i == 0 || i == columns - 1) && (j == 0 || j == rows - 1);
            if (corner || buildingType.empty()) continue;
            store.add(buildingType, {"budynki." + teryt6 + "." + platform::cformat("%d", i * rows + j + 1),
                                     {rectangle(pe + 5, pn + 6, pe + 24, pn + 30)},
                                     {},
                                     {},
                                     {{"ID_BUDYNKU", id + ".1_BUD"},
                                      {"RODZAJ", (i + j) % 3 == 0 ? "b" : "m"},
                                      {"KONDYGNACJE_NADZIEMNE", platform::cformat("%d", 2 + (i + j) % 4)},
                                      {"KONDYGNACJE_PODZIEMNE", (i + j) % 2 == 0 ? "1" : "0"}}});
        }
    }
}

void addPipes(FeatureStore& store, const std::string& typeName, geodesy::PlanarPoint centre, double offset,
              const std::string& material) {
    // Along the boundaries between the block's rows, a few metres off them, and a little past the block's ends.
    const double e0 = centre.x - kBlockWidth / 2 - 20, e1 = centre.x + kBlockWidth / 2 + 20;
    for (int k = 1; k <= kPipesPerLayer; ++k) {
        const double n = centre.y - kBlockHeight / 2 + k * 40.0 + offset;
        store.add(
            typeName,
            {typeName.substr(typeName.find(':') + 1) + "." + platform::cformat("%d", k),
             {},
             {{e0, n}, {centre.x, n + 0.5}, {e1, n}},
             {},
             {{"MATERIAL", material}, {"SREDNICA", platform::cformat("%d", 100 + 50 * k)}, {"STATUS", "istniejacy"}}});
    }
}

SimHandler wfsOverEarlierRoutes(std::shared_ptr<WfsService> service) {
    return [service](const SimRequest& request, SimResponse& response) {
        SimResponse mine;
        if (!service->handle(request, mine) || mine.body.find("numberMatched=\"0\"") != std::string::npos) return false;
        response = std::move(mine);
        return true;
    };
}

}  // namespace poland

using namespace poland;

namespace {

void addBoundaries(Scenario& scenario) {
    const net::ServiceEndpoints& ep = net::serviceEndpoints();
    auto prg = std::make_shared<FeatureStore>();
    int id = 1;
    for (const Place* place : places()) {
        const geodesy::PlanarPoint c = centre1992(*place);
        const std::vector<geodesy::PlanarPoint> square = {{c.x - 5000, c.y - 5000},
                                                          {c.x + 5000, c.y - 5000},
                                                          {c.x + 5000, c.y + 5000},
                                                          {c.x - 5000, c.y + 5000},
                                                          {c.x - 5000, c.y - 5000}};
        const std::string suffix = platform::cformat("%d", id++);
        prg->add("ms:A03_Granice_gmin",
                 {"A03." + suffix,
                  {square},
                  {},
                  {},
                  {{"JPT_KOD_JE", place->teryt7}, {"JPT_NAZWA_", place->name}, {"JPT_SJR_KO", "GM"}}});
        prg->add("ms:A02_Granice_powiatow", {"A02." + suffix,
                                             {square},
                                             {},
                                             {},
                                             {{"JPT_KOD_JE", std::string(place->teryt7).substr(0, 4)},
                                              {"JPT_NAZWA_", std::string("powiat ") + place->name}}});
        prg->add("ms:A01_Granice_wojewodztw",
                 {"A01." + suffix, {square}, {}, {}, {{"JPT_KOD_JE", std::string(place->teryt7).substr(0, 2)}}});
    }
    auto service = std::make_shared<WfsService>(prg);
    service->title = "Panstwowy Rejestr Granic (symulator)";
    scenario.addHandler(hostOf(ep.prgWfs()), pathOf(ep.prgWfs()), poland::wfsOverEarlierRoutes(service));
}

void addNewBuildings(Scenario& scenario) {
    const net::ServiceEndpoints& ep = net::serviceEndpoints();
    auto bdot = std::make_shared<FeatureStore>();
    for (const Place* place : {&kWarszawa, &kZabrze, &kWroclaw}) {
        const geodesy::PlanarPoint c = centre1992(*place);
        for (int k = 0; k < kNewBuildingsPerPlace; ++k) {
            const double e0 = c.x - 90 + k * 70.0, n0 = c.y + 25;
            bdot->add("ms:bud_2025", {"bud_2025." + std::string(place->teryt7) + "." + platform::cformat("%d", k),
                                      {{{e0, n0}, {e0 + 22, n0}, {e0 + 22, n0 + 14}, {e0, n0 + 14}, {e0, n0}}},
                                      {},
                                      {},
                                      {{"LOKALNYID", platform::cformat("9f1c2e7a-%04d-4b1e-8c55-", k) + place->teryt7},
                                       {"X_KOD", "BUBD01"},
                                       {"FUNOGBUD", "budynki mieszkalne"},
                                       {"LICZBAKOND", platform::cformat("%d", 2 + k)},
                                       {"X_AKTUALNOSCG", "2025-03-14"}}});
        }
    }
    scenario.addWfs(hostOf(ep.bdot10kNewBuildingsWfs()), pathOf(ep.bdot10kNewBuildingsWfs()),
                    std::make_shared<WfsService>(bdot));
}

// The national utility integration draws every county's networks; here those of Warsaw and Zabrze.
void addUtilityIntegration(Scenario& scenario) {
    const net::ServiceEndpoints& ep = net::serviceEndpoints();
    auto pipes = std::make_shared<FeatureStore>();
    for (const Place* place : {&kWarszawa, &kZabrze}) {
        addPipes(*pipes, "kiut:wodociag", centre1992(*place), 3.0, "PE");
        addPipes(*pipes, "kiut:gaz", centre1992(*place), -3.0, "stal");
    }
    auto kiut = std::make_shared<WmsService>();
    kiut->addLayer({"przewod_wodociagowy", "Przewody wodociagowe", 0x0050FFFF, pipes, "kiut:wodociag"});
    kiut->addLayer({"przewod_kanalizacyjny", "Przewody kanalizacyjne", 0x804000FF, nullptr, ""});
    kiut->addLayer({"przewod_gazowy", "Przewody gazowe", 0xE0C000FF, pipes, "kiut:gaz"});
    kiut->addLayer({"przewod_elektroenergetyczny", "Przewody elektroenergetyczne", 0xFF0000FF, nullptr, ""});
    kiut->addLayer({"przewod_telekomunikacyjny", "Przewody telekomunikacyjne", 0xFF8000FF, nullptr, ""});
    kiut->addLayer({"przewod_cieplowniczy", "Przewody cieplownicze", 0xC000C0FF, nullptr, ""});
    kiut->addLayer({"przewod_niezidentyfikowany", "Przewody niezidentyfikowane", 0x404040FF, nullptr, ""});
    scenario.addWms(hostOf(ep.utilityIntegrationWms()), pathOf(ep.utilityIntegrationWms()), kiut);
}

}  // namespace

void buildPolandScenario(Scenario& scenario) {
    // The demo town, geocoders, planning register and orthophoto stay; the boundaries and new buildings below
    // replace the demo's (boundary requests they do not answer go on to the demo's).
    buildDemoScenario(scenario);
    addBoundaries(scenario);
    addNewBuildings(scenario);
    addUtilityIntegration(scenario);
    addPolandCountyServices(scenario);
}

}  // namespace sim

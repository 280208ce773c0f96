// The default scenario: the demo town (Town.h) on every service an import touches: boundaries, the county's land
// register, utilities and base map, the national new-buildings layer, building models, plans, orthophoto,
// elevation and surface models, LiDAR and the geocoders.
#include <cmath>
#include <memory>

#include "BuildingPackages.h"
#include "PlanningScenario.h"
#include "PolandScenario.h"
#include "RasterCanvas.h"
#include "Scenarios.h"
#include "Town.h"
#include "TownPainter.h"
#include "TownSheets.h"
#include "WfsService.h"
#include "WmsService.h"
#include "WorldPainter.h"
#include "geodesy/Crs.h"
#include "net/ServiceEndpoints.h"
#include "net/ServiceRegistry.h"
#include "platform/Numbers.h"

namespace sim {

namespace {

using geodesy::PlanarPoint;
using poland::hostOf;
using poland::pathOf;

std::vector<PlanarPoint> closed(std::vector<PlanarPoint> ring) {
    if (!ring.empty()) ring.push_back(ring.front());
    return ring;
}

// An irregular outline around the town: a municipality, a county or a voivodeship.
std::vector<PlanarPoint> territory(const town::Town& t, double radius, double wobble, int seed) {
    std::vector<PlanarPoint> ring;
    for (int k = 0; k < 48; ++k) {
        const double a = k * 2 * 3.14159265358979 / 48;
        const double r = radius * (1.0 + wobble * (std::sin(3 * a + seed) * 0.6 + std::sin(7 * a + 2 * seed) * 0.4));
        ring.push_back(
            {std::round(t.centre.x + r * std::cos(a) - radius * 0.15), std::round(t.centre.y + r * std::sin(a))});
    }
    return closed(ring);
}

void addBoundaries(Scenario& scenario, const town::Town& t) {
    const net::ServiceEndpoints& ep = net::serviceEndpoints();
    auto prg = std::make_shared<FeatureStore>();
    prg->add("ms:A03_Granice_gmin", {"A03.0614083",
                                     {territory(t, 4800, 0.18, 1)},
                                     {},
                                     {},
                                     {{"JPT_KOD_JE", t.teryt7}, {"JPT_NAZWA_", t.name}, {"JPT_SJR_KO", "GM"}}});
    prg->add("ms:A02_Granice_powiatow", {"A02.0614",
                                         {territory(t, 16000, 0.12, 2)},
                                         {},
                                         {},
                                         {{"JPT_KOD_JE", town::kCounty}, {"JPT_NAZWA_", "puławski"}}});
    prg->add("ms:A01_Granice_wojewodztw",
             {"A01.06", {territory(t, 60000, 0.1, 3)}, {}, {}, {{"JPT_KOD_JE", "06"}, {"JPT_NAZWA_", "lubelskie"}}});
    scenario.addWfs(hostOf(ep.prgWfs()), pathOf(ep.prgWfs()), std::make_shared<WfsService>(prg));
    auto wms = std::make_shared<WmsService>();
    wms->addLayer({"A01_Granice_wojewodztw", "Granice województw", 0xC02020FF, prg, "ms:A01_Granice_wojewodztw"});
    wms->addLayer({"A02_Granice_powiatow", "Granice powiatów", 0xC06020FF, prg, "ms:A02_Granice_powiatow"});
    wms->addLayer({"A03_Granice_gmin", "Granice gmin", 0xC0A020FF, prg, "ms:A03_Granice_gmin"});
    scenario.addWms(hostOf(ep.prgWms()), pathOf(ep.prgWms()), wms);
}

// The land register's parcels and buildings, with the attributes the county's server publishes.
std::shared_ptr<FeatureStore> landRegister(const town::Town& t) {
    auto store = std::make_shared<FeatureStore>();
    int number = 1;
    for (const town::Parcel& p : t.parcels) {
        const std::string group = p.use == town::LandUse::Field || p.use == town::LandUse::Meadow ? "7.1" : "7";
        store->add(town::kParcelType, {"dzialki." + platform::cformat("%d", number++),
                                       {closed(p.ring)},
                                       {},
                                       {},
                                       {{"ID_DZIALKI", p.id},
                                        {"NUMER_DZIALKI", p.number},
                                        {"NAZWA_OBREBU", p.precinctName},
                                        {"NUMER_OBREBU", p.precinct},
                                        {"NUMER_JEDNOSTKI", "08_4"},
                                        {"NAZWA_GMINY", t.name},
                                        {"POLE_EWIDENCYJNE", platform::cformat("%.4f", p.area / 10000.0)},
                                        {"KLASOUZYTKI_EGIB", p.landClass},
                                        {"GRUPA_REJESTROWA", group},
                                        {"KW", p.landRegister},
                                        {"DATA", "2025-11-03 07:41:12"}}});
    }
    number = 1;
    for (const town::Building& b : t.buildings) {
        std::vector<std::vector<PlanarPoint>> rings = {closed(b.outline)};
        if (!b.courtyard.empty()) rings.push_back(closed(b.courtyard));
        static const std::pair<const char*, const char*> kinds[] = {
            {"m", "budynki mieszkalne"},
            {"g", "budynki gospodarcze"},
            {"h", "budynki handlowo-usługowe"},
            {"k", "budynki oświaty, nauki i kultury oraz budynki sportowe"}};
        std::string function = "budynki pozostałe";
        for (const auto& [code, name] : kinds)
            if (b.kind == code) function = name;
        store->add(town::kBuildingType, {"budynki." + platform::cformat("%d", number++),
                                         std::move(rings),
                                         {},
                                         {},
                                         {{"ID_BUDYNKU", b.id},
                                          {"RODZAJ", b.kind},
                                          {"FUNKCJA", function},
                                          {"KONDYGNACJE_NADZIEMNE", platform::cformat("%d", b.storeys)},
                                          {"KONDYGNACJE_PODZIEMNE", platform::cformat("%d", b.basements)},
                                          {"POLE_ZABUDOWY", platform::cformat("%.0f", b.footprintArea())},
                                          {"ADRES", b.address}}});
    }
    return store;
}

void addLandRegister(Scenario& scenario, const town::Town& t, const std::shared_ptr<FeatureStore>& store) {
    const std::string url = net::findCountyEgibWfs(t.teryt7);
    auto service = std::make_shared<WfsService>(store);
    service->title = "EGiB powiatu puławskiego (symulator)";
    // A GeoServer page size well below a frame's parcels: every demo import pages through its tiles.
    service->paging = {100, PagingStyle::GeoServer};
    scenario.addWfs(hostOf(url), pathOf(url), service, poland::geoportal2Wfs(service));

    // The national integration of land registers draws the parcels, their numbers and the buildings.
    const net::ServiceEndpoints& ep = net::serviceEndpoints();
    auto kieg = std::make_shared<WmsService>();
    for (const char* layer : {"dzialki", "numery_dzialek", "kontury"})
        kieg->addLayer({layer, layer, 0xE03C3CFF, store, town::kParcelType});
    kieg->addLayer({"budynki", "budynki", 0xF0E040FF, store, town::kBuildingType});
    scenario.addWms(hostOf(ep.cadastreIntegrationWms()), pathOf(ep.cadastreIntegrationWms()), kieg);

    // The newest houses of ul. Polna are on the national new-buildings layer as well.
    auto bdot = std::make_shared<FeatureStore>();
    int k = 0;
    for (const town::Building& b : t.buildings) {
        if (b.kind != "m" || b.address.rfind("ul. Polna", 0) != 0 || k >= 6) continue;
        bdot->add("ms:bud_2025", {"bud_2025." + platform::cformat("%d", ++k),
                                  {closed(b.outline)},
                                  {},
                                  {},
                                  {{"LOKALNYID", platform::cformat("4d1a7c20-%04d-4e0b-9a55-0614083", k)},
                                   {"X_KOD", "BUBD01"},
                                   {"FUNOGBUD", "budynki mieszkalne"},
                                   {"LICZBAKOND", platform::cformat("%d", b.storeys)},
                                   {"X_AKTUALNOSCG", "2025-04-22"}}});
    }
    scenario.addWfs(hostOf(ep.bdot10kNewBuildingsWfs()), pathOf(ep.bdot10kNewBuildingsWfs()),
                    std::make_shared<WfsService>(bdot));
}

// The county's utility networks (WFS with a layer per network, WMS drawing them) and base map.
void addUtilities(Scenario& scenario, const town::Town& t, const std::shared_ptr<FeatureStore>& parcels) {
    auto pipes = std::make_shared<FeatureStore>();
    std::map<std::string, int> numbers;
    for (const town::Pipe& p : t.pipes) {
        std::vector<std::pair<std::string, std::string>> props = {
            {"MATERIAL", p.material}, {"STATUS", "istniejący"}, {"ULICA", p.street}};
        if (p.diameter > 0) props.emplace_back("SREDNICA", platform::cformat("%d", p.diameter));
        pipes->add("ewns:" + p.layer,
                   {p.layer + "." + platform::cformat("%d", ++numbers[p.layer]), {}, p.line, {}, props});
    }
    const net::ServiceUrls gesut = net::findCountyGesut(t.teryt7);
    auto wfs = std::make_shared<WfsService>(pipes);
    wfs->title = "GESUT powiatu puławskiego (symulator)";
    scenario.addHandler(hostOf(gesut.wfsUrl), pathOf(gesut.wfsUrl), poland::geoportal2Wfs(wfs));
    auto wms = std::make_shared<WmsService>();
    wms->addLayer({"gesut_przewody", "Przewody", 0x0050FFFF, nullptr, "", [&t](RasterCanvas& canvas) {
                       for (const town::Pipe& p : t.pipes) {
                           std::uint32_t colour = 0x0050FFFF;
                           if (p.layer == "przewod_kanalizacyjny") colour = 0x804000FF;
                           if (p.layer == "przewod_gazowy") colour = 0xE0C000FF;
                           if (p.layer == "przewod_elektroenergetyczny") colour = 0xFF0000FF;
                           if (p.layer == "przewod_telekomunikacyjny") colour = 0xFF8000FF;
                           canvas.stroke(p.line, canvas.metresPerPixel() * 1.5, colour);
                       }
                   }});
    wms->addLayer({"obreby", "Obręby", 0x000000FF, parcels, town::kParcelType});
    scenario.addWms(hostOf(gesut.wmsUrl), pathOf(gesut.wmsUrl), wms);

    const net::ServiceUrls bdot500 = net::findCountyBdot500(t.teryt7);
    auto base = std::make_shared<WmsService>();
    base->addLayer({"bdot500_budynki", "Budynki", 0x806060FF, parcels, town::kBuildingType});
    base->addLayer({"bdot500_dzialki", "Działki", 0x303030FF, parcels, town::kParcelType});
    base->addLayer({"bdot500_komunikacja", "Komunikacja", 0xA0A0A0FF, nullptr, "", [&t](RasterCanvas& canvas) {
                        for (const town::Street& s : t.streets)
                            canvas.stroke(s.centre, canvas.metresPerPixel() * 2, 0x909090FF);
                    }});
    scenario.addWms(hostOf(bdot500.wmsUrl), pathOf(bdot500.wmsUrl), base);
}

// The general plan in the planning register, the local plan of the centre on the municipality's WMS, both on the
// national coverage services.
void addPlans(Scenario& scenario, const town::Town& t) {
    const std::string code6 = t.teryt7.substr(0, 6);
    auto generalZones = std::make_shared<FeatureStore>();
    int number = 1;
    for (const town::PlanZone& z : t.generalPlan)
        generalZones->add(kZoneType,
                          {"PL.ZIPPZP.3107-" + platform::cformat("%d", number++),
                           {closed(z.ring)},
                           {},
                           {},
                           {{"akt", "3107"}, {"oznaczenie", z.designation}, {"symbol", z.symbol}, {"nazwa", z.name}}});
    addPlanningRegister(
        scenario,
        [code6](const std::string& code) {
            nlohmann::json acts = nlohmann::json::array();
            if (code != code6) return acts;
            acts.push_back(
                planningAct("3290", "LOCAL_SPATIAL_DEVELOPMENT_PLAN", "Miejscowy plan zagospodarowania przestrzennego",
                            "Uchwała nr XXXI/214/2025 Rady Miejskiej w Nałęczowie w sprawie miejscowego planu "
                            "zagospodarowania przestrzennego centrum miasta",
                            "prawnie wiążący lub realizowany", "2025-09-12", "Nałęczów", "puławski", "0614083"));
            acts.push_back(planningAct("3107", "MUNICIPAL_GENERAL_PLAN", "Plan ogólny gminy",
                                       "Uchwała nr XXIV/160/2025 Rady Miejskiej w Nałęczowie w sprawie planu ogólnego "
                                       "gminy Nałęczów",
                                       "prawnie wiążący lub realizowany", "2025-06-27", "Nałęczów", "puławski",
                                       "0614083"));
            return acts;
        },
        {{"3107", generalZones}});

    auto outline = std::make_shared<FeatureStore>();
    double minE = 1e300, minN = 1e300, maxE = -1e300, maxN = -1e300;
    for (const town::PlanZone& z : t.localPlan)
        for (const PlanarPoint& p : z.ring)
            minE = std::min(minE, p.x), maxE = std::max(maxE, p.x), minN = std::min(minN, p.y),
            maxN = std::max(maxN, p.y);
    outline->add("plany", {"plan.3290",
                           {closed({{minE, minN}, {maxE, minN}, {maxE, maxN}, {minE, maxN}})},
                           {},
                           {},
                           {{"nazwa", "MPZP centrum miasta Nałęczów"}}});
    const auto drawing = [&t](RasterCanvas& canvas) { paintPlanZones(t.localPlan, canvas, 0xC0); };
    auto municipal = std::make_shared<WmsService>();
    municipal->addLayer({"granice_planow", "Granice planów", 0xC00000FF, outline, "plany"});
    municipal->addLayer({"mpzp_rysunek", "Rysunek planu", 0x8040C0FF, nullptr, "", drawing});
    municipal->addLayer({"przeznaczenie_terenu", "Przeznaczenie terenu", 0xE0A000FF, nullptr, "", drawing});
    const net::ServiceUrls planWms = net::findMunicipalPlanning(code6);
    scenario.addWms(hostOf(planWms.wmsUrl), pathOf(planWms.wmsUrl), municipal);

    const net::ServiceEndpoints& ep = net::serviceEndpoints();
    auto national = std::make_shared<WmsService>();
    national->addLayer({"granice", "granice", 0x7030A0FF, outline, "plany"});
    for (const char* layer : {"raster", "wektor-str", "wektor-lzb", "wektor-pow", "wektor-lin", "wektor-pkt"})
        national->addLayer({layer, layer, 0x7030A0FF, nullptr, "", drawing});
    scenario.addWms(hostOf(ep.localPlansCoverageWms()), pathOf(ep.localPlansCoverageWms()), national);
    auto general = std::make_shared<WmsService>();
    general->addLayer({"strefaPlanistyczna", "Strefy planistyczne", 0x7030A0FF, nullptr, "",
                       [&t](RasterCanvas& canvas) { paintPlanZones(t.generalPlan, canvas, 0xB0); }});
    scenario.addWms(hostOf(ep.generalPlansCoverageWms()), pathOf(ep.generalPlansCoverageWms()), general);
}

// Address search: the town for queries naming it or one of its streets, Warsaw's centre for any other.
void addGeocoders(Scenario& scenario, const town::Town& t) {
    const net::ServiceEndpoints& ep = net::serviceEndpoints();
    const auto answer = [&t](const std::string& query, bool photon) {
        const auto lower = [](std::string s) {
            for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            return s;
        };
        const std::string q = lower(query);
        geodesy::LatLon at = geodesy::pl1992ToWgs84(637382.0, 486757.0);
        std::string name = "Warszawa", display = "Warszawa, Srodmiescie, wojewodztwo mazowieckie, Polska";
        const bool town = q.find("nałęczów") != std::string::npos || q.find("naleczow") != std::string::npos;
        if (town)
            at = geodesy::pl1992ToWgs84(t.centre), name = t.name,
            display = t.name + ", gmina Nałęczów, powiat puławski, województwo lubelskie, Polska";
        for (const town::Street& s : t.streets) {
            const std::string street = lower(s.name.substr(4));
            if (q.find(street) == std::string::npos) continue;
            at = geodesy::pl1992ToWgs84(s.centre[s.centre.size() / 2]);
            name = s.name,
            display = s.name + ", " + t.name + ", gmina Nałęczów, powiat puławski, województwo lubelskie, Polska";
        }
        if (photon)
            return "{\"type\":\"FeatureCollection\",\"features\":[{\"type\":\"Feature\",\"geometry\":{\"type\":"
                   "\"Point\","
                   "\"coordinates\":[" +
                   platform::cformat("%.7f,%.7f", at.lon, at.lat) + "]},\"properties\":{\"name\":\"" + name +
                   "\",\"city\":\"" + (name == "Warszawa" ? name : t.name) + "\",\"country\":\"Polska\"}}]}";
        return "[{\"lat\":\"" + platform::cformat("%.7f", at.lat) + "\",\"lon\":\"" +
               platform::cformat("%.7f", at.lon) + "\",\"display_name\":\"" + display + "\"}]";
    };
    scenario.addHandler(hostOf(ep.nominatim), "/search", [answer](const SimRequest& request, SimResponse& response) {
        response.contentType = "application/json";
        response.body = answer(request.param("q"), false);
        return true;
    });
    scenario.addHandler(hostOf(ep.photon), "/api/", [answer](const SimRequest& request, SimResponse& response) {
        response.contentType = "application/json";
        response.body = answer(request.param("q"), true);
        return true;
    });
}

}  // namespace

void addOrthophoto(Scenario& scenario) {
    const net::ServiceEndpoints& ep = net::serviceEndpoints();
    auto ortho = std::make_shared<WmsService>();
    ortho->addLayer({"Raster", "Ortofotomapa (StandardResolution)", 0x5A7848FF, nullptr, "", paintWorld});
    scenario.addWms(hostOf(ep.orthophotoWms()), pathOf(ep.orthophotoWms()), ortho);
}

void buildDemoScenario(Scenario& scenario) {
    const town::Town& t = town::demoTown();
    const net::ServiceEndpoints& ep = net::serviceEndpoints();
    addBoundaries(scenario, t);
    const std::shared_ptr<FeatureStore> register_ = landRegister(t);
    addLandRegister(scenario, t, register_);
    addUtilities(scenario, t, register_);
    addPlans(scenario, t);
    addBuildingPackages(scenario);
    addOrthophoto(scenario);
    addGeocoders(scenario, t);
    addTownSheets(scenario, t);
    scenario.addText(hostOf(ep.overpass), pathOf(ep.overpassInterpreter()),
                     "{\"version\":0.6,\"generator\":\"geodraft-sim\",\"elements\":[]}", "application/json");
}

}  // namespace sim

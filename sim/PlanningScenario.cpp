// Planning data: the national planning register's public API (act query and act download), a municipal
// local-plan WMS with boundary, drawing and content layers, the national local-plan integration WMS, and
// the administrative boundaries that lead the add-on to these municipalities.
#include "PlanningScenario.h"

#include <functional>
#include <map>
#include <memory>

#include <nlohmann/json.hpp>

#include "Scenarios.h"
#include "WfsService.h"
#include "WmsService.h"
#include "geodesy/Crs.h"
#include "net/ServiceEndpoints.h"
#include "platform/Numbers.h"

namespace sim {

namespace {

std::string hostOf(const std::string& base) { return base.substr(base.find("://") + 3); }
std::string pathOf(const std::string& url) { return url.substr(url.find('/', url.find("://") + 3)); }

std::vector<geodesy::PlanarPoint> square(double e0, double n0, double e1, double n1) {
    return {{e0, n0}, {e1, n0}, {e1, n1}, {e0, n1}, {e0, n0}};
}

struct Municipality {
    const char* code6;
    const char* code7;  // as the boundary service writes it (with the municipality-type digit)
    const char* name;
    double lat;
    double lon;
};

const Municipality kMunicipalities[] = {
    {planning::kGminaWithPlanWms, "3216024", "Polczyn-Zdroj", 53.7636, 16.0961},
    {planning::kGminaWithoutPlanWms, "1201062", "Nowy Wisnicz", 49.9167, 20.4667},
    {planning::kGminaWithoutActs, "1213024", "Brzeszcze", 49.9833, 19.1500},
};

// Zone symbols of a general plan with their names (as the register's acts use them).
const char* const kZoneSymbols[][2] = {
    {"SW", "strefa wielofunkcyjna z zabudową mieszkaniową wielorodzinną"},
    {"SJ", "strefa wielofunkcyjna z zabudową mieszkaniową jednorodzinną"},
    {"SU", "strefa usługowa"},
    {"SZ", "strefa zieleni i rekreacji"},
    {"SR", "strefa otwarta"},
    {"SN", "strefa komunikacyjna"},
};

void addZone(FeatureStore& store, const std::string& act, int number, double e0, double n0, double size) {
    const auto& symbol = kZoneSymbols[number % 6];
    store.add(kZoneType, {"PL.ZIPPZP." + act + "-" + platform::cformat("%d", number),
                          {square(e0, n0, e0 + size, n0 + size)},
                          {},
                          {},
                          {{"akt", act},
                           {"oznaczenie", platform::cformat("%d", number) + symbol[0]},
                           {"symbol", symbol[0]},
                           {"nazwa", symbol[1]}}});
}

// The zones of every act, one store per act id.
std::map<std::string, std::shared_ptr<FeatureStore>> actZones() {
    std::map<std::string, std::shared_ptr<FeatureStore>> zones;
    const geodesy::PlanarPoint a = planning::municipalityCentre(planning::kGminaWithPlanWms);
    auto inForce = std::make_shared<FeatureStore>();
    int number = 1;
    for (int i = -4; i < 4; ++i)
        for (int j = -4; j < 4; ++j, ++number)
            addZone(*inForce, planning::kActInForce, number, a.x + i * planning::kZoneSize,
                    a.y + j * planning::kZoneSize, planning::kZoneSize);
    zones[planning::kActInForce] = inForce;

    auto draft = std::make_shared<FeatureStore>();
    addZone(*draft, planning::kActDraft, 1, a.x - 2000, a.y - 2000, 4000);
    zones[planning::kActDraft] = draft;

    const geodesy::PlanarPoint b = planning::municipalityCentre(planning::kGminaWithoutPlanWms);
    auto away = std::make_shared<FeatureStore>();
    number = 1;
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j, ++number)
            addZone(*away, planning::kActAway, number, b.x + 3000 + i * 1000.0, b.y + 3000 + j * 1000.0, 1000);
    zones[planning::kActAway] = away;
    return zones;
}

}  // namespace

nlohmann::json planningAct(const char* id, const char* type, const char* description, const char* title,
                           const char* status, const char* published, const char* commune, const char* district,
                           const char* terc) {
    long long number = 0;
    platform::parseInt(id, number);
    return nlohmann::json{{"publishedActId", number},
                          {"planType", type},
                          {"planTypeDescription", description},
                          {"title", title},
                          {"spatialPlanningActStatus", status},
                          {"publishDate", published},
                          {"validFrom", published},
                          {"validTo", nullptr},
                          {"commune", commune},
                          {"district", district},
                          {"tercCode", terc}};
}

namespace {

// The register's acts per 6-digit municipality code, newest first (the query sorts by publishDate).
nlohmann::json actsOf(const std::string& code) {
    nlohmann::json acts = nlohmann::json::array();
    if (code == planning::kGminaWithPlanWms) {
        acts.push_back(planningAct(
            planning::kActLocalPlan, "LOCAL_SPATIAL_DEVELOPMENT_PLAN", "Miejscowy plan zagospodarowania przestrzennego",
            "Uchwała nr LI/402/2026 w sprawie miejscowego planu zagospodarowania przestrzennego "
            "terenu przy ulicy Kołobrzeskiej",
            "prawnie wiążący lub realizowany", "2026-10-01", "Połczyn-Zdrój", "świdwiński", "3216024"));
        acts.push_back(planningAct(planning::kActDraft, "MUNICIPAL_GENERAL_PLAN", "Plan ogólny gminy",
                                   "Projekt zmiany planu ogólnego gminy Połczyn-Zdrój", "w opracowaniu", "2026-09-03",
                                   "Połczyn-Zdrój", "świdwiński", "3216024"));
        acts.push_back(
            planningAct(planning::kActInForce, "MUNICIPAL_GENERAL_PLAN", "Plan ogólny gminy",
                        "Uchwała nr XLII/310/2025 Rady Miejskiej w Połczynie-Zdroju w sprawie planu ogólnego "
                        "gminy Połczyn-Zdrój",
                        "prawnie wiążący lub realizowany", "2025-11-14", "Połczyn-Zdrój", "świdwiński", "3216024"));
    } else if (code == planning::kGminaWithoutPlanWms) {
        acts.push_back(planningAct(planning::kActAway, "MUNICIPAL_GENERAL_PLAN", "Plan ogólny gminy",
                                   "Uchwała nr XXX/212/2026 Rady Gminy Nowy Wiśnicz w sprawie planu ogólnego gminy",
                                   "prawnie wiążący lub realizowany", "2026-05-20", "Nowy Wiśnicz", "bocheński",
                                   "1201062"));
    }
    return acts;
}

void jsonAnswer(SimResponse& response, int status, const nlohmann::json& body) {
    response.status = status;
    response.contentType = "application/json";
    response.body = body.dump();
}

}  // namespace

void addPlanningRegister(Scenario& scenario, std::function<nlohmann::json(const std::string&)> actsOf,
                         std::map<std::string, std::shared_ptr<FeatureStore>> actZones) {
    const net::ServiceEndpoints& ep = net::serviceEndpoints();
    const std::string host = hostOf(ep.planningRegister);
    scenario.addHandler(host, pathOf(ep.planningQuery()), [actsOf](const SimRequest& request, SimResponse& response) {
        if (request.method != "POST") return false;
        const nlohmann::json body = nlohmann::json::parse(request.body, nullptr, false);
        if (!body.is_object() || !body.contains("criteria") || !body["criteria"].is_object()) {
            jsonAnswer(response, 400, nlohmann::json{{"status", 400}, {"error", "Bad Request"}});
            return true;
        }
        const nlohmann::json& codes = body["criteria"].value("tercCodeList", nlohmann::json());
        nlohmann::json acts = nlohmann::json::array();
        if (codes.is_array())
            for (const nlohmann::json& code : codes)
                if (code.is_string())
                    for (const nlohmann::json& a : actsOf(code.get<std::string>())) acts.push_back(a);
        const auto count = acts.size();
        jsonAnswer(
            response, 200,
            nlohmann::json{{"publishedActs", std::move(acts)},
                           {"page", {{"number", 1}, {"size", 10}, {"totalElements", count}, {"totalPages", 1}}}});
        return true;
    });

    auto zones = std::make_shared<std::map<std::string, std::shared_ptr<FeatureStore>>>(std::move(actZones));
    const std::string prefix = pathOf(ep.planningDownload(""));  // ".../published//download"
    const std::string base = prefix.substr(0, prefix.find("//download") + 1);
    scenario.addHandler(host, base + "*", [zones, base](const SimRequest& request, SimResponse& response) {
        if (request.method != "GET") return false;
        const std::string rest = request.path.substr(base.size());
        const std::string suffix = "/download";
        if (rest.size() <= suffix.size() || rest.compare(rest.size() - suffix.size(), suffix.size(), suffix) != 0)
            return false;
        const auto found = zones->find(rest.substr(0, rest.size() - suffix.size()));
        if (found == zones->end()) {
            jsonAnswer(response, 404, nlohmann::json{{"status", 404}, {"error", "Not Found"}});
            return true;
        }
        // The act's GML: a GML 3.2 collection of its zones in PL-1992.
        SimRequest asFeatures;
        asFeatures.method = "GET";
        asFeatures.params = {
            {"service", "WFS"}, {"version", "2.0.0"}, {"request", "GetFeature"}, {"typenames", kZoneType}};
        WfsService(found->second).handle(asFeatures, response);
        response.contentType = "application/gml+xml";
        return true;
    });
}

namespace {

// Plan outlines of a municipality: a few rectangles around its centre.
std::shared_ptr<FeatureStore> planOutlines() {
    auto store = std::make_shared<FeatureStore>();
    int number = 1;
    for (const Municipality& m : kMunicipalities) {
        const geodesy::PlanarPoint c = planning::municipalityCentre(m.code6);
        for (int k = 0; k < 3; ++k, ++number)
            store->add("plany", {"plan." + platform::cformat("%d", number),
                                 {square(c.x - 900 + k * 600.0, c.y - 400, c.x - 450 + k * 600.0, c.y + 400)},
                                 {},
                                 {},
                                 {{"nazwa", std::string("plan ") + m.name}}});
    }
    return store;
}

std::shared_ptr<WmsService> municipalPlanWms(bool withDrawing) {
    const auto outlines = planOutlines();
    auto wms = std::make_shared<WmsService>();
    wms->addLayer({"granice_mpzp", "Granice planow", 0xC00000FF, outlines, "plany"});
    if (withDrawing) wms->addLayer({"Rysunek_planu", "Rysunek planu", 0x8040C0FF, outlines, "plany"});
    wms->addLayer({"przeznaczenie_terenu", "Przeznaczenie terenu", 0xE0A000FF, outlines, "plany"});
    wms->addLayer({"zasieg_opracowania", "Zasieg opracowania", 0x404040FF, outlines, "plany"});
    return wms;
}

}  // namespace

geodesy::PlanarPoint planning::municipalityCentre(const std::string& code6) {
    for (const Municipality& m : kMunicipalities)
        if (code6 == m.code6) return geodesy::wgs84ToPl1992(m.lat, m.lon);
    return {};
}

void addPlanWmsWithoutDrawingLayer(Scenario& scenario) {
    scenario.addWms(planning::kPlanWmsHost, planning::kPlanWmsPath, municipalPlanWms(false));
}

void buildPlanningScenario(Scenario& scenario) {
    const net::ServiceEndpoints& ep = net::serviceEndpoints();
    // The pages' map shows the countryside where these places lie.
    addOrthophoto(scenario);
    const std::string geoportal = hostOf(ep.geoportal);

    auto prg = std::make_shared<FeatureStore>();
    for (const Municipality& m : kMunicipalities) {
        const geodesy::PlanarPoint c = planning::municipalityCentre(m.code6);
        prg->add("ms:A03_Granice_gmin", {std::string("A03.") + m.code7,
                                         {square(c.x - 6000, c.y - 6000, c.x + 6000, c.y + 6000)},
                                         {},
                                         {},
                                         {{"JPT_KOD_JE", m.code7}, {"JPT_NAZWA_", m.name}}});
    }
    scenario.addWfs(geoportal, pathOf(ep.prgWfs()), std::make_shared<WfsService>(prg));

    addPlanningRegister(scenario, actsOf, actZones());
    scenario.addWms(planning::kPlanWmsHost, planning::kPlanWmsPath, municipalPlanWms(true));

    auto national = std::make_shared<WmsService>();
    const auto outlines = planOutlines();
    for (const char* layer :
         {"granice", "raster", "wektor-str", "wektor-lzb", "wektor-pow", "wektor-lin", "wektor-pkt"})
        national->addLayer({layer, layer, 0x7030A0FF, outlines, "plany"});
    scenario.addWms(geoportal, pathOf(ep.localPlansCoverageWms()), national);
}

}  // namespace sim

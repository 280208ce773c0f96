#include "import/PlanningActs.h"

#include <chrono>
#include <cmath>
#include <thread>

#include <nlohmann/json.hpp>
#include "formats/gml/GmlParser.h"
#include "import/FetchContext.h"
#include "import/RasterFetch.h"
#include "net/AnswerCheck.h"
#include "net/Capabilities.h"
#include "net/ServiceEndpoints.h"
#include "net/ServiceRegistry.h"
#include "net/ServiceRegistryLayers.h"
#include "net/UrlText.h"
#include "net/WfsLayerFetcher.h"
#include "platform/Numbers.h"

namespace importer {

namespace {

constexpr int kRegisterAttempts = 3;

bool isSuccess(int status) { return status >= 200 && status <= 299; }

void waitBeforeAttempt(int attemptsMade) {
    const PlanningRetryWaits& waits = planningRetryWaits();
    const int ms = attemptsMade == 1 ? waits.afterFirstMs.load() : waits.afterSecondMs.load();
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// A text member; anything that is not a string (absent, null, a number) reads as empty.
std::string textMember(const nlohmann::json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end() || !it->is_string()) return {};
    return it->get<std::string>();
}

// The act id as the register's download path needs it. Integers are written as they are, fractions
// truncated; magnitudes beyond 64 bits keep every digit of the double instead of overflowing.
std::string actIdText(const nlohmann::json& object) {
    const auto it = object.find("publishedActId");
    if (it == object.end()) return {};
    if (it->is_string()) return it->get<std::string>();
    if (it->is_number_unsigned())
        return platform::cformat("%llu", static_cast<unsigned long long>(it->get<std::uint64_t>()));
    if (it->is_number_integer()) return platform::cformat("%lld", static_cast<long long>(it->get<std::int64_t>()));
    if (it->is_number_float()) {
        const double value = std::trunc(it->get<double>());
        if (!std::isfinite(value)) return {};
        return platform::cformat("%.0f", value == 0.0 ? 0.0 : value);
    }
    return {};
}

bool contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

// The act's download: whether the register handed over a readable act, and the features it held.
struct ActDownload {
    bool readable = false;
    std::vector<gml::GisFeature> features;
};

ActDownload downloadAct(net::WfsClient& client, const std::string& actId, formats::DataType type) {
    ActDownload out;
    // The id comes from the register's answer; encoded, it can only ever name one path segment.
    const std::string url = net::serviceEndpoints().planningDownload(net::urlEncode(actId));
    for (int attempt = 0; attempt < kRegisterAttempts; ++attempt) {
        if (attempt > 0) waitBeforeAttempt(attempt);
        const net::HttpResponse response = client.get(url);
        // An error page or a cut act answered with 200 gets the next attempt, as a failed status does.
        if (isSuccess(response.status) && response.error.empty() &&
            net::isAnswerOfKind(response.body, net::AnswerKind::xml)) {
            gml::GmlParseResult parsed = gml::GmlParser::parse(response.body, type);
            if (parsed.ok) {
                out.readable = true;
                out.features = std::move(parsed.features);
                return out;
            }
        }
        if (client.cancelRequested()) break;
    }
    return out;
}

}  // namespace

PlanningRetryWaits& planningRetryWaits() {
    static PlanningRetryWaits waits;
    return waits;
}

std::string buildActQuery(const std::string& parcelIdentifier, const std::string& municipalityCode) {
    nlohmann::json criteria = nlohmann::json::object();
    criteria["levelList"] = nullptr;
    criteria["parcelIdentifier"] =
        parcelIdentifier.empty() ? nlohmann::json(nullptr) : nlohmann::json(parcelIdentifier);
    criteria["planTypeList"] = nlohmann::json::array({kGeneralPlanType, kLocalPlanType});
    criteria["planValidFrom"] = nullptr;
    criteria["planValidTo"] = nullptr;
    criteria["plansGroup"] = "ALL";
    criteria["publishDateFrom"] = nullptr;
    criteria["publishDateTo"] = nullptr;
    criteria["publishedActVersions"] = "CURRENT";
    criteria["query"] = nullptr;
    criteria["statusList"] = nlohmann::json::array();
    criteria["tercCodeList"] =
        municipalityCode.empty() ? nlohmann::json(nullptr) : nlohmann::json::array({municipalityCode});
    nlohmann::json body = nlohmann::json::object();
    body["criteria"] = std::move(criteria);
    body["page"] =
        nlohmann::json{{"number", 1}, {"size", 10}, {"sort", {{"direction", "desc"}, {"sortBy", "publishDate"}}}};
    // The code comes from a server answer; a broken byte must not stop the query from being written.
    return body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::vector<PlanningAct> parsePublishedActs(std::string_view body) {
    std::vector<PlanningAct> acts;
    const nlohmann::json answer = nlohmann::json::parse(body.begin(), body.end(), nullptr, false);
    if (!answer.is_object()) return acts;
    const auto list = answer.find("publishedActs");
    if (list == answer.end() || !list->is_array()) return acts;
    for (const nlohmann::json& element : *list) {
        if (!element.is_object()) continue;
        PlanningAct act;
        act.publishedActId = actIdText(element);
        act.title = textMember(element, "title");
        act.planType = textMember(element, "planType");
        act.spatialPlanningActStatus = textMember(element, "spatialPlanningActStatus");
        act.publishDate = textMember(element, "publishDate");
        act.tercCode = textMember(element, "tercCode");
        acts.push_back(std::move(act));
    }
    return acts;
}

std::vector<PlanningAct> queryActs(net::WfsClient& client, const std::string& municipalityCode) {
    bool answered = false;
    return queryActs(client, municipalityCode, answered);
}

std::vector<PlanningAct> queryActs(net::WfsClient& client, const std::string& municipalityCode, bool& answered) {
    answered = false;
    const std::string url = net::serviceEndpoints().planningQuery();
    const std::string body = buildActQuery("", municipalityCode);
    for (int attempt = 0; attempt < kRegisterAttempts; ++attempt) {
        if (attempt > 0) waitBeforeAttempt(attempt);
        const net::HttpResponse response = client.postJson(url, body);
        if (isSuccess(response.status) && response.body.size() >= 15 && contains(response.body, "\"publishedActs\"") &&
            net::isAnswerOfKind(response.body, net::AnswerKind::json)) {
            answered = true;
            return parsePublishedActs(response.body);
        }
        if (client.cancelRequested()) break;
    }
    return {};
}

std::optional<PlanningAct> selectAct(const std::vector<PlanningAct>& acts, const std::string& planType) {
    // Status fragments in order of preference: in force, being adopted, being drafted; then any.
    static const char* const kPreferred[] = {"wi", "przyjmowani", "opracowaniu", ""};
    for (const char* fragment : kPreferred) {
        const PlanningAct* best = nullptr;
        for (const PlanningAct& act : acts) {
            if (!planType.empty() && act.planType != planType) continue;
            if (!contains(act.spatialPlanningActStatus, fragment)) continue;
            if (best == nullptr || act.publishDate > best->publishDate) best = &act;
        }
        if (best != nullptr) return *best;
    }
    return std::nullopt;
}

std::vector<gml::GisFeature> downloadActFeatures(net::WfsClient& client, const std::string& actId,
                                                 formats::DataType type) {
    return downloadAct(client, actId, type).features;
}

bool planZoneInFrame(const gml::GisFeature& feature, const geodesy::Bbox& frame) {
    if (feature.hasAnchor && frame.contains(geodesy::PlanarPoint{feature.anchor.x, feature.anchor.y})) return true;
    for (const gml::GisPolygon& polygon : feature.polygons)
        for (const geodesy::PlanarPoint& p : polygon.outer)
            if (frame.contains(geodesy::PlanarPoint{p.x, p.y})) return true;
    // Zones are often far larger than the frame: one that covers the frame, or crosses it between two
    // vertices outside, still lies in it; dropping it would report "no zone in the frame" for the very
    // zone the frame sits in.
    for (const gml::GisPolygon& polygon : feature.polygons)
        if (net::polygonMeetsBox(polygon, frame)) return true;
    return false;
}

std::string chooseLocalPlanLayers(std::string_view capabilities) {
    std::string all, drawing, content;
    const auto append = [](std::string& list, const std::string& name) {
        if (!list.empty()) list += ',';
        list += name;
    };
    for (const std::string& name : net::filterLayerNames(capabilities)) {
        // Names are matched in lower case but requested as written: some servers compare them exactly.
        const std::string lower = net::lowerName(name);
        append(all, name);
        if (contains(lower, "rysun")) append(drawing, name);
        bool outline = false;
        for (const char* word : {"granic", "zasieg", "obrys", "zbior", "aktplanowania"})
            if (contains(lower, word)) outline = true;
        if (!outline) append(content, name);
    }
    if (!drawing.empty()) return drawing;
    if (!content.empty()) return content;
    return all;
}

void fetchGeneralPlan(FetchContext& ctx, const std::string& code) {
    bool answered = false;
    const std::vector<PlanningAct> acts = queryActs(ctx.client, code, answered);
    if (!answered) {
        ctx.addWarning("POG gminy " + code +
                       ": Rejestr Urbanistyczny nie odpowiada - nie wiadomo, czy plan ogolny jest uchwalony.");
        return;
    }
    const std::optional<PlanningAct> act = selectAct(acts, kGeneralPlanType);
    if (!act) {
        ctx.addWarning("Brak POG dla gminy " + code +
                       " (Plan Ogolny jeszcze nieuchwalony w Rejestrze Urbanistycznym).");
        return;
    }
    ActDownload download = downloadAct(ctx.client, act->publishedActId, formats::DataType::pog);
    if (!download.readable) {
        // Saying that no zone lies in the frame would be wrong when the act itself never arrived.
        ctx.addWarning("POG gminy " + code +
                       ": nie udalo sie pobrac aktu z Rejestru Urbanistycznego - strefy pominiete.");
        return;
    }
    // Each zone once, as on every other vector layer.
    net::dropRepeatedFeatures(download.features);
    std::size_t kept = 0;
    for (gml::GisFeature& feature : download.features) {
        if (!planZoneInFrame(feature, ctx.frame)) continue;
        ctx.result.features.push_back(std::move(feature));
        ++kept;
    }
    if (kept == 0) ctx.addWarning("POG gminy " + code + ": akt jest, ale zadna strefa nie wpada w kadr.");
}

void fetchLocalPlans(FetchContext& ctx, const std::string& code) {
    const std::string failed = "MPZP gminy " + code + ": usluga WMS nie odpowiada albo nie ma rysunku planu.";
    const net::ServiceUrls services = net::findMunicipalPlanning(code);
    if (services.wmsUrl.empty()) {
        ctx.addWarning("Brak MPZP dla gminy " + code + ": brak uslugi WMS w EZiU.");
        // The national integration service carries the drawings of many municipalities without their own.
        const int tiles = fetchRaster(ctx, net::serviceEndpoints().localPlansCoverageWms(), kNationalPlanDrawingLayer,
                                      ctx.metresPerPixel(), formats::DataType::mpzp, ctx.fetchEpsg);
        if (tiles > 0) ctx.addWarning("MPZP z krajowej integracji (KIMPZP) jako rastr.");
        return;
    }
    const net::HttpResponse capabilities = net::getCapabilities(ctx.client, services.wmsUrl, "WMS");
    const std::string layers = capabilities.status == 200 ? chooseLocalPlanLayers(capabilities.body) : std::string();
    if (!layers.empty()) {
        const int epsg = chooseRasterEpsg(ctx.fetchEpsg, capabilities.body);
        if (fetchRaster(ctx, services.wmsUrl, layers, ctx.metresPerPixel(), formats::DataType::mpzp, epsg) > 0) {
            ctx.addWarning("MPZP: pobrano rysunek planu (rastr) z uslugi gminnej dla " + code + ".");
            return;
        }
    }
    ctx.addWarning(failed);
}

}  // namespace importer

#include "cloud_ui/CloudController.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>
#include <vector>

#include "cloud_ui/HardLimitExceeded.h"
#include "cloud_ui/detail/SurveyPoint.h"
#include "geodesy/Crs.h"
#include "geodesy/Epsg.h"
#include "host/Host.h"
#include "net/LidarResolver.h"
#include "net/ServiceEndpoints.h"
#include "net/TileIndex.h"
#include "platform/Numbers.h"
#include "platform/Paths.h"
#include "platform/Workers.h"
#include "settings/Diagnostics.h"

namespace cloudui {

namespace {

constexpr const char* kBadFrame = "Nieprawidlowy bbox";
constexpr const char* kBusy = "Trwa pobieranie danych - sprobuj za chwile";

nlohmann::json errorReply(const std::string& msg) { return nlohmann::json{{"type", "error"}, {"msg", msg}}; }

// The frame of a message as the PL-1992 box around its four corners; false for a missing, short or
// nonsensical frame (a point off the globe would make a meaningless box).
bool readFrame(const nlohmann::json& msg, geodesy::Bbox& frame, double& west, double& east) {
    if (!msg.contains("bboxWgs84")) return false;
    const nlohmann::json& b = msg["bboxWgs84"];
    if (!b.is_array() || b.size() != 4) return false;
    west = b[0].get<double>();
    const double south = b[1].get<double>();
    east = b[2].get<double>();
    const double north = b[3].get<double>();
    const auto lonOk = [](double v) { return std::isfinite(v) && std::fabs(v) <= 180.0; };
    const auto latOk = [](double v) { return std::isfinite(v) && std::fabs(v) <= 90.0; };
    if (!lonOk(west) || !lonOk(east) || !latOk(south) || !latOk(north)) return false;
    frame = geodesy::boundsOf({geodesy::wgs84ToPl1992(south, west), geodesy::wgs84ToPl1992(south, east),
                               geodesy::wgs84ToPl1992(north, west), geodesy::wgs84ToPl1992(north, east)});
    return true;
}

Detail detailOf(const nlohmann::json& msg) {
    const auto it = msg.find("detail");
    return it != msg.end() && it->is_string() ? detailFromText(it->get<std::string>()) : Detail::Standard;
}

nlohmann::json estimateMessage(long long points, double density) {
    return nlohmann::json{{"points", points},
                          {"sizeMB", static_cast<double>(points) * 16.0 / 1000000.0},
                          {"overLimit", points > static_cast<long long>(kCloudPointLimit)},
                          {"density", density}};
}

std::string fixed(double v) { return platform::cformat("%.3f", v); }

std::string diagnosticsText(const CloudResult& r) {
    const detail::SurveyPoint survey = detail::readSurveyPoint();
    host::GeoLocation geo;
    const double height = host::host().readGeoLocation(geo) == host::kHostOk ? geo.surveyHeight : 0.0;
    return "=== Velmora Cloud \xE2\x80\x94 diagnostyka zgrania ===\n"
           "punktow=" +
           std::to_string(r.count) + " placeEpsg=" + std::to_string(r.zone) +
           "\n[CHMURA] offset(rog kadru PL-2000) offE=" + fixed(r.offE) + " offN=" + fixed(r.offN) +
           "\n[CHMURA] bbox lokalny lx[" + fixed(r.minX) + ".." + fixed(r.maxX) + "] ly[" + fixed(r.minY) + ".." +
           fixed(r.maxY) + "]\n[CHMURA] Z bezwzgledne(npm) z[" + fixed(r.minZ) + ".." + fixed(r.maxZ) +
           "]\n[PROJEKT] survey point quality=" + std::to_string(survey.quality) + " east=" + fixed(survey.east) +
           " north=" + fixed(survey.north) + " rot(rad)=" + platform::streamNumber(survey.rotation) +
           " epsg=" + std::to_string(survey.epsg) + "\n[PROJEKT] orthogonalHeight=" + fixed(height) +
           "\n--- oczekiwany rozjazd: XY = offset chmury vs survey point; Z = orthogonalHeight (chmura wyzej) ---\n";
}

// Copies the file to the hand-over place through a temporary file of its own (another program may be handing
// over its cloud at the same moment), so a failed copy never leaves a broken cloud where the user's last good
// one was.
bool handOver(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::error_code ec;
    std::filesystem::create_directories(to.parent_path(), ec);
    std::filesystem::path part = to;
    part += platform::uniqueSuffix();
    if (!std::filesystem::copy_file(from, part, std::filesystem::copy_options::overwrite_existing, ec) || ec) {
        std::filesystem::remove(part, ec);
        return false;
    }
    std::filesystem::rename(part, to, ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(part, ignored);
        return false;
    }
    return true;
}

}  // namespace

CloudController& CloudController::instance() {
    static CloudController* controller = new CloudController();  // workers may outlive static destruction
    return *controller;
}

void CloudController::registerHandlers(bridge::Bridge& bridge) {
    bridge_ = &bridge;
    bridge.on("frameEstimate", [this](const nlohmann::json& m) { return onFrameEstimate(m); });
    bridge.on("download", [this](const nlohmann::json& m) { return onDownload(m); });
    bridge.on("cancel", [this](const nlohmann::json& m) { return onCancel(m); });
    bridge.on("setOrigin", [this](const nlohmann::json& m) { return onSetOrigin(m); });
    bridge.on("getInit", [this](const nlohmann::json& m) { return onGetInit(m); });
}

void CloudController::send(const std::string& type, const nlohmann::json& payload) {
    if (pageSender_) pageSender_(type, payload);
    else if (bridge_ != nullptr) bridge_->send(type, payload);
}

nlohmann::json CloudController::onFrameEstimate(const nlohmann::json& msg) {
    geodesy::Bbox frame;
    double west = 0.0, east = 0.0;
    if (!readFrame(msg, frame, west, east)) return errorReply(kBadFrame);
    const double area = frame.width() * frame.height();
    const Detail detail = detailOf(msg);
    const double used = density_.load();
    const long long points = estimatePoints(area, used, detail);
    const std::uint64_t generation = ++estimateGeneration_;

    // The worker asks the index through a client of its own: a download may be using the controller's.
    platform::startWorker([this, frame, detail, area, used, generation, options = client_.options]() {
        net::WfsClient client(options);
        net::applyLocalPacing(client);
        std::vector<net::LidarTile> tiles;
        try {
            tiles = net::LidarResolver(&client).findTiles(frame);
        } catch (...) {
            tiles.clear();
        }
        if (tiles.empty()) return;
        double best = 0.0;
        for (const net::LidarTile& t : tiles) best = std::max(best, t.density);
        if (!(best > 0.0) || estimateGeneration_.load() != generation) return;
        density_ = best;
        if (std::fabs(best - used) < 0.01) return;
        const nlohmann::json refined = estimateMessage(estimatePoints(area, best, detail), best);
        bridge::runOnMainThread([this, generation, refined]() {
            if (estimateGeneration_.load() == generation) send("estimateDone", refined);
        });
    });
    nlohmann::json reply = estimateMessage(points, used);
    reply["type"] = "estimateDone";
    return reply;
}

nlohmann::json CloudController::onDownload(const nlohmann::json& msg) {
    if (busy_) return errorReply(kBusy);
    geodesy::Bbox frame;
    double west = 0.0, east = 0.0;
    if (!readFrame(msg, frame, west, east)) return errorReply(kBadFrame);
    const Detail detail = detailOf(msg);

    int zone = geodesy::pl2000ZoneForLongitude((west + east) / 2.0);
    host::GeoLocation geo;
    if (host::host().readGeoLocation(geo) == host::kHostOk) {
        const int projectZone = geodesy::epsgFromCrsText(geo.crsName);
        if (geodesy::isPl2000Epsg(projectZone)) zone = projectZone;
    }

    // The project's survey point becomes the origin when it lies in the same zone, so the cloud lands on it.
    bool useOrigin = false;
    double originE = 0.0, originN = 0.0, originZ = 0.0;
    const detail::SurveyPoint survey = detail::readSurveyPoint();
    host::GeoLocation again;
    if (survey.quality != 0 && survey.epsg == zone && host::host().readGeoLocation(again) == host::kHostOk) {
        useOrigin = true;
        originE = survey.east;
        originN = survey.north;
        originZ = again.surveyHeight;
    }
    startDownload(frame, detail, zone, originE, originN, originZ, useOrigin);
    return nullptr;
}

void CloudController::startDownload(const geodesy::Bbox& frame, Detail detail, int zoneEpsg, double originE,
                                    double originN, double originZ, bool useOrigin) {
    busy_ = true;
    cancelRequested_ = false;
    send("progress", nlohmann::json{{"label", "Pobieranie skorowidza LiDAR"}, {"pct", 0}});
    const CloudJob job{frame, detail, zoneEpsg, originE, originN, originZ, useOrigin};
    try {
        platform::startWorker([this, job, options = client_.options, tuning = downloadOptions_]() {
            net::WfsClient client(options);
            net::applyLocalPacing(client);
            // A name of this run's own: two programs downloading at once must not take each other's cloud.
            const auto out = platform::tempDir() / "Velmora_Cloud" / ("import" + platform::uniqueSuffix() + ".e57");
            const CloudDownloadProgress progress = [this](const std::string& label, double pct, bool cancellable) {
                nlohmann::json payload{{"label", label}, {"pct", pct}};
                if (cancellable) payload["cancellable"] = true;
                bridge::runOnMainThread([this, payload]() { send("progress", payload); });
            };
            CloudResult result;
            try {
                result = downloadCloud(job, client, out, progress, cancelRequested_, tuning);
            } catch (...) {
                // Without a completion the controller would stay busy for good.
                result = CloudResult{};
                result.message = "Blad pobierania chmury: nieznany blad";
            }
            bridge::runOnMainThread([this, result]() { finishDownload(result); });
        });
    } catch (...) {
        busy_ = false;
        throw;
    }
}

void CloudController::finishDownload(const CloudResult& result) {
    busy_ = false;
    bool ok = result.ok;
    std::string message = result.message;
    if (ok) {
        settings::writeDiagnosticFile(settings::kCloudDiagFile, diagnosticsText(result));
        const std::filesystem::path destination = platform::configDir() / "Velmora_Cloud" / "ostatnia_chmura.e57";
        if (!handOver(result.path, destination)) {
            ok = false;
            message = "Nie udalo sie zapisac chmury punktow w " + destination.string() + ".";
        } else {
            // A cloud with a hole is never handed over as whole: the sheets it lacks are named.
            const bool whole = result.losses.empty();
            host::AlertRequest alert;
            alert.type = host::kAlertInformation;
            alert.title = "Velmora Cloud";
            alert.largeText = whole ? "Chmura punktow gotowa i zgrana z projektem."
                                    : "Chmura punktow gotowa, ale NIEPELNA - brakuje danych czesci kafli.";
            alert.smallText = (whole ? std::string() : "Brakuje: " + result.losses + ".\n") +
                              "Zaimportuj ja: Plik > Interoperacyjnosc > Chmura punktow -> wskaz plik:\n" +
                              destination.string();
            alert.buttons = {"OK"};
            std::int32_t button = 0;
            host::host().alert(alert, button);
            message = (whole ? "Chmura zapisana: " : "Chmura zapisana NIEPELNA (" + result.losses + "): ") +
                      destination.string() + " - zaimportuj: Plik > Interoperacyjnosc > Chmura punktow.";
        }
    } else if (!result.losses.empty() && message != "Anulowano.") {
        message += " Kafle: " + result.losses + ".";
    }
    if (!result.path.empty()) {
        std::error_code ignored;
        std::filesystem::remove(result.path, ignored);
    }
    send("downloadDone", nlohmann::json{{"ok", ok}, {"msg", message}});
}

nlohmann::json CloudController::onCancel(const nlohmann::json&) {
    cancelRequested_ = true;
    return nlohmann::json{{"type", "cancelled"}};
}

nlohmann::json CloudController::onSetOrigin(const nlohmann::json& msg) {
    if (!msg.contains("lat") || !msg.contains("lon")) return errorReply("Brak wspolrzednych srodka mapy");
    const double lat = msg["lat"].get<double>();
    const double lon = msg["lon"].get<double>();
    // A point off the globe would write a meaningless georeference into the project.
    if (!std::isfinite(lat) || !std::isfinite(lon) || std::fabs(lat) > 90.0 || std::fabs(lon) > 180.0)
        return errorReply("Nieprawidlowe wspolrzedne srodka mapy");
    const int zone = geodesy::pl2000ZoneForLongitude(lon);
    const geodesy::PlanarPoint at = geodesy::pl1992ToPl2000(geodesy::wgs84ToPl1992(lat, lon), zone);

    host::GeoLocation geo;
    if (host::host().readGeoLocation(geo) != host::kHostOk)
        return errorReply("Nie mozna odczytac georeferencji projektu");
    geo.crsName = "EPSG:" + std::to_string(zone);
    geo.geodeticDatum = "ETRF2000 (PL-ETRF2000)";
    geo.mapProjection = "PL-2000";
    geo.longitude = lon;
    geo.latitude = lat;
    geo.altitude = 0.0;
    geo.surveyEasting = at.x;
    geo.surveyNorthing = at.y;
    geo.surveyHeight = 0.0;
    geo.xAxisAbscissa = 1.0;
    geo.xAxisOrdinate = 0.0;
    geo.scale = 1.0;
    if (host::host().writeGeoLocation(geo) != host::kHostOk)
        return errorReply("Nie udalo sie zapisac georeferencji projektu");
    host::host().reportLine(
        platform::cformat("Velmora Cloud: ustawiono georeferencje projektu: E=%f N=%f (EPSG:%d)", at.x, at.y, zone));
    return nlohmann::json{{"type", "originSet"}, {"e", at.x}, {"n", at.y}};
}

nlohmann::json CloudController::onGetInit(const nlohmann::json&) {
    const detail::SurveyPoint survey = detail::readSurveyPoint();
    if (survey.quality == 0) return nullptr;
    const geodesy::LatLon at = geodesy::isPl2000Epsg(survey.epsg)
                                   ? geodesy::pl2000ToWgs84(survey.east, survey.north, survey.epsg)
                                   : geodesy::pl1992ToWgs84(survey.east, survey.north);
    return nlohmann::json{{"type", "init"}, {"lat", at.lat}, {"lon", at.lon}, {"zoom", 17}};
}

}  // namespace cloudui

#include "import/ImportController.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <utility>

#include "formats/gml/GisFeature.h"
#include "geodesy/Crs.h"
#include "host/Host.h"
#include "import/AddressSearch.h"
#include "import/FetchContext.h"
#include "import/FetchCounts.h"
#include "import/FetchFrame.h"
#include "import/FetchGroups.h"
#include "import/Georeference.h"
#include "import/ProjectOrigin.h"
#include "net/ServiceEndpoints.h"
#include "palette/MapPalette.h"
#include "platform/Numbers.h"
#include "platform/Workers.h"
#include "settings/DataTypes.h"

namespace importer {

namespace {

constexpr const char* kBusyMessage = "Trwa pobieranie danych - sprobuj za chwile";
constexpr const char* kBadFrameMessage = "Nieprawidlowy bbox";

nlohmann::json errorReply(const std::string& msg) { return nlohmann::json{{"type", "error"}, {"msg", msg}}; }

// Texts that came from servers or files may hold broken UTF-8; the page channel refuses such
// text, so broken sequences are replaced (U+FFFD) rather than losing the whole message.
std::string validUtf8(const std::string& text) {
    const std::string quoted = nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    return nlohmann::json::parse(quoted).get<std::string>();
}

// The target layer of a type: the stored name, or the type's default layer.
std::string layerNameFor(const settings::Settings& settings, formats::DataType type) {
    const auto it = settings.layers.find(type);
    return it != settings.layers.end() ? it->second : settings::defaultLayerName(type);
}

// The map preview of the features. Properties come from servers and may hold broken UTF-8,
// which the GeoJSON writer may refuse; then the preview is built from cleaned copies.
std::string previewGeoJson(const std::vector<gml::GisFeature>& features) {
    try {
        return validUtf8(gml::featuresToGeoJson(features));
    } catch (const std::exception&) {
        std::vector<gml::GisFeature> cleaned = features;
        for (gml::GisFeature& f : cleaned) {
            std::map<std::string, std::string> props;
            for (const auto& [key, value] : f.props) props[validUtf8(key)] = validUtf8(value);
            f.props = std::move(props);
        }
        return validUtf8(gml::featuresToGeoJson(cleaned));
    }
}

// An integer member with its default. A number beyond the integer range (the page never sends
// one) is clamped instead of overflowing; a value that is not a number raises the JSON type error.
int intMember(const nlohmann::json& msg, const char* key, int fallback) {
    if (!msg.contains(key)) return fallback;
    const double d = msg[key].get<double>();
    const double limit = static_cast<double>(std::numeric_limits<int>::max());
    if (std::isnan(d)) return fallback;
    return static_cast<int>(std::clamp(d, -limit, limit));
}

bool plausibleLatitude(double v) { return std::isfinite(v) && v >= -90.0 && v <= 90.0; }
bool plausibleLongitude(double v) { return std::isfinite(v) && v >= -180.0 && v <= 180.0; }

}  // namespace

ImportController::ImportController(settings::Settings settings) : settings_(std::move(settings)) {
    if (!settings_.upgToken.empty()) webClient_.options.accessToken = settings_.upgToken;
    // Cancel reaches every request and every tile loop of the fetch, not only the long 3D phases.
    webClient_.options.cancelQuery = [this]() { return cancelRequested(); };
}

ImportController& ImportController::instance() {
    static ImportController controller = [] {
        std::string damage;
        settings::Settings loaded = settings::loadSettings(&damage);
        // Created once, on the main thread: the user hears of a damaged file exactly once.
        if (!damage.empty()) host::host().reportLine(damage);
        return ImportController(std::move(loaded));
    }();
    return controller;
}

void ImportController::registerHandlers(bridge::Bridge& bridge) {
    bridge.on("searchAddress", [this](const nlohmann::json& m) { return onSearchAddress(m); });
    bridge.on("searchAddressSuggest", [this](const nlohmann::json& m) { return onSearchAddressSuggest(m); });
    bridge.on("fetch", [this](const nlohmann::json& m) { return onFetch(m); });
    bridge.on("place", [this](const nlohmann::json& m) { return onPlace(m); });
    bridge.on("setOrigin", [this](const nlohmann::json& m) { return onSetOrigin(m); });
    bridge.on("getLayers", [this](const nlohmann::json& m) { return onGetLayers(m); });
    bridge.on("settingsChanged", [this](const nlohmann::json& m) { return onSettingsChanged(m); });
    bridge.on("getInit", [this](const nlohmann::json& m) { return onGetInit(m); });
    bridge.on("cancel", [this](const nlohmann::json& m) { return onCancel(m); });
}

nlohmann::json ImportController::onFetch(const nlohmann::json& msg) {
    if (!msg.contains("bboxWgs84")) return errorReply(kBadFrameMessage);
    const nlohmann::json& frameWgs = msg["bboxWgs84"];
    if (!frameWgs.is_array() || frameWgs.size() != 4) return errorReply(kBadFrameMessage);
    if (busy_) return errorReply(kBusyMessage);

    // Every member is read before anything is changed, so a malformed request leaves the
    // controller exactly as it was.
    const double west = frameWgs[0].get<double>();
    const double south = frameWgs[1].get<double>();
    const double east = frameWgs[2].get<double>();
    const double north = frameWgs[3].get<double>();
    if (!plausibleLongitude(west) || !plausibleLongitude(east) || !plausibleLatitude(south) ||
        !plausibleLatitude(north))
        return errorReply(kBadFrameMessage);
    const geodesy::Bbox frame = pl1992FrameFromWgs84(west, south, east, north);

    std::vector<std::string> layers;
    if (msg.contains("layers")) layers = msg["layers"].get<std::vector<std::string>>();
    // Vector layers are asked tile by tile: a frame over a large part of the country would never end.
    const bool vectorLayers = std::any_of(layers.begin(), layers.end(), [](const std::string& key) {
        return key == "dzialki" || key == "budynki" || key == "gesut";
    });
    const double tiles = webClient_.wfsTileCount(frame);
    if (vectorLayers && tiles > webClient_.options.maxWfsTiles)
        return errorReply("Kadr za duzy dla dzialek, budynkow i GESUT: " + platform::cformat("%.0f", tiles) +
                          " zapytan WFS (limit " + platform::cformat("%d", webClient_.options.maxWfsTiles) +
                          ") - zmniejsz kadr albo odznacz te warstwy.");

    host::GeoLocation geo;
    const std::string projectCrs = host::host().readGeoLocation(geo) == host::kHostOk ? geo.crsName : std::string();
    const int epsg = chooseFetchEpsg((west + east) / 2.0, projectCrs);

    const int rasterScale = intMember(msg, "rasterScale", 1000);
    const int terrainStep = intMember(msg, "terrainStep", 1);
    const double contourInterval = msg.value("poziomiceCiecie", 1.0);
    const bool smooth = msg.value("poziomiceWygladz", false);
    const double cloudStep = msg.value("terenChmuraKrok", 1.0);

    const int previousEpsg = fetchEpsg_;
    const bool previousSmooth = smoothContours_;
    const double previousCloudStep = cloudTerrainStep_;
    fetchEpsg_ = epsg;
    smoothContours_ = smooth;
    cloudTerrainStep_ = cloudStep;
    try {
        startFetch(frame, layers, rasterScale, terrainStep, contourInterval);
    } catch (...) {
        // Placement of the previous result still reads these; keep them consistent with it.
        fetchEpsg_ = previousEpsg;
        smoothContours_ = previousSmooth;
        cloudTerrainStep_ = previousCloudStep;
        throw;
    }
    return nullptr;
}

void ImportController::startFetch(const geodesy::Bbox& frame, const std::vector<std::string>& layers, int rasterScale,
                                  int terrainStep, double contourInterval) {
    busy_ = 1;
    cancelRequested_.exchange(0);
    palette::MapPalette::sendToPage("progress",
                                    nlohmann::json{{"done", 0}, {"total", 1}, {"label", "Pobieranie warstw"}});
    try {
        platform::startWorker([this, frame, layers, rasterScale, terrainStep, contourInterval]() {
            auto result = std::make_shared<FetchedData>();
            try {
                *result = fetchFunction_ ? fetchFunction_(frame, layers, rasterScale, terrainStep, contourInterval)
                                         : fetchForImport(frame, layers, rasterScale, terrainStep, contourInterval);
            } catch (const std::exception& e) {
                *result = FetchedData{};
                result->warning = std::string("Blad pobierania: ") + e.what();
            } catch (...) {
                // Without a result the controller would stay busy for good.
                *result = FetchedData{};
                result->warning = "Blad pobierania: nieznany blad";
            }
            bridge::runOnMainThread(
                [this, frame, layers, result]() mutable { onFetchDone(frame, std::move(layers), std::move(*result)); });
        });
    } catch (...) {
        // No worker will ever clear the flag; a stuck busy state would refuse every later fetch.
        busy_ = 0;
        throw;
    }
}

FetchedData ImportController::fetchForImport(const geodesy::Bbox& frame, const std::vector<std::string>& layers,
                                             int rasterScale, int terrainStep, double contourInterval) {
    applyLocalPacing(webClient_);
    FetchedData result;
    FetchContext ctx(webClient_, municipalityCache_, result);
    ctx.frame = frame;
    ctx.keys = layers;
    ctx.rasterScale = rasterScale;
    ctx.terrainStep = terrainStep;
    ctx.poziomiceCiecie = contourInterval;
    ctx.fetchEpsg = fetchEpsg_;
    ctx.smoothContours = smoothContours_;
    ctx.cloudTerrainStep = cloudTerrainStep_;
    ctx.cancelRequested = [this]() { return cancelRequested(); };
    ctx.progressFor = [](const std::string& label) { return progressFor(label); };
    ctx.reportLine = [](const std::string& line) { postReportLine(line); };
    ctx.progressEvent = [](const std::string& label, int done, int total, bool cancellable) {
        postProgress(label, done, total, cancellable);
    };
    runFetchGroups(ctx);
    return result;
}

void ImportController::onFetchDone(const geodesy::Bbox& frame, std::vector<std::string> layers, FetchedData result) {
    busy_ = 0;
    // A cancel belongs to the fetch it stopped; later requests of the client must go out.
    cancelRequested_.exchange(0);
    const nlohmann::json counts = countFetchedData(result);
    const bool nothing = fetchedNothing(result);
    lastResult_ = std::move(result);
    lastFrame_ = frame;
    lastLayers_ = std::move(layers);
    hasData_ = !nothing;

    nlohmann::json message{{"counts", counts}};
    if (!lastResult_.features.empty()) message["geojson"] = previewGeoJson(lastResult_.features);
    const std::string warning = validUtf8(lastResult_.warning);
    if (!warning.empty()) {
        message["warning"] = warning;
        host::host().reportLine("TERRAVOX: " + warning);
    }
    if (nothing) message["warning"] = warning.empty() ? std::string("Nic nie pobrano dla tego obszaru.") : warning;
    palette::MapPalette::sendToPage("fetchDone", message);
}

nlohmann::json ImportController::onPlace(const nlohmann::json&) {
    if (!hasData_) return errorReply("Najpierw kliknij \"1. Pobierz elementy\".");
    if (busy_) return errorReply(kBusyMessage);
    return runPlacement(placementRequest());
}

PlacementRequest ImportController::placementRequest() {
    return {lastResult_, lastLayers_, lastFrame_, fetchEpsg_, smoothContours_, settings_};
}

nlohmann::json ImportController::onSetOrigin(const nlohmann::json& msg) { return setProjectOrigin(msg, webClient_); }

nlohmann::json ImportController::onGetInit(const nlohmann::json&) {
    const GeorefReading reading = readProjectGeoreference();
    if (reading.quality == GeorefQuality::none) return nullptr;
    const geodesy::LatLon at =
        (reading.epsg >= geodesy::kEpsgPl2000Zone5 && reading.epsg <= geodesy::kEpsgPl2000Zone8)
            ? geodesy::pl2000ToWgs84(reading.georef.easting, reading.georef.northing, reading.epsg)
            : geodesy::pl1992ToWgs84(reading.georef.easting, reading.georef.northing);
    return nlohmann::json{{"type", "init"}, {"lat", at.lat}, {"lon", at.lon}, {"zoom", 17}};
}

nlohmann::json ImportController::onGetLayers(const nlohmann::json&) {
    nlohmann::json names = nlohmann::json::array();
    std::vector<host::Attribute> layers;
    if (host::host().listAttributes(host::kAttrLayer, layers) == host::kHostOk) {
        for (const host::Attribute& a : layers) names.push_back(validUtf8(a.name));
    }
    nlohmann::json mapping = nlohmann::json::object();
    for (formats::DataType code : settings::Settings::wszystkieTypy())
        mapping[settings::dataTypeKey(code)] = validUtf8(layerNameFor(settings_, code));
    return nlohmann::json{{"type", "layerList"}, {"layers", names}, {"mapping", mapping}};
}

nlohmann::json ImportController::onSettingsChanged(const nlohmann::json& msg) {
    if (!msg.contains("mapping")) return nullptr;
    const nlohmann::json& mapping = msg["mapping"];
    // All names are read first: a wrong value anywhere changes nothing at all.
    std::vector<std::pair<formats::DataType, std::string>> changes;
    if (mapping.is_object()) {
        for (formats::DataType code : settings::Settings::wszystkieTypy()) {
            const char* key = settings::dataTypeKey(code);
            if (mapping.contains(key)) changes.emplace_back(code, mapping[key].get<std::string>());
        }
    }
    for (auto& [code, name] : changes) settings_.layers[code] = std::move(name);
    settings::saveSettings(settings_);
    return nullptr;
}

nlohmann::json ImportController::onCancel(const nlohmann::json&) {
    // Without a fetch there is nothing to stop; a flag left set would refuse the next search.
    if (busy_) cancelRequested_.exchange(1);
    return nlohmann::json{{"type", "cancelled"}};
}

nlohmann::json ImportController::onSearchAddress(const nlohmann::json& msg) {
    // A slow geocoder must never hold the main loop: the search runs on a worker with a client of its own,
    // so the fetch worker's client is never touched either.
    return startAddressSearch(webClient_, msg);
}

nlohmann::json ImportController::onSearchAddressSuggest(const nlohmann::json& msg) {
    return startAddressSuggestions(msg);
}

void ImportController::postProgress(const std::string& label, int done, int total, bool cancellable) {
    bridge::runOnMainThread([label, done, total, cancellable]() {
        nlohmann::json event{{"done", done}, {"total", total}, {"label", validUtf8(label)}};
        if (cancellable) event["cancellable"] = true;
        palette::MapPalette::sendToPage("progress", event);
    });
}

platform::ProgressCallback ImportController::progressFor(const std::string& label, bool cancellable) {
    return [label, cancellable](std::int64_t done, std::int64_t total) {
        postProgress(label, static_cast<int>(done), static_cast<int>(total), cancellable);
        return true;
    };
}

void ImportController::postReportLine(const std::string& line) {
    bridge::runOnMainThread([line]() { host::host().reportLine(line); });
}

}  // namespace importer

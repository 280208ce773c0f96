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
#include "import/FetchCounts.h"
#include "import/FetchFrame.h"
#include "import/Georeference.h"
#include "import/Placement.h"
#include "palette/MapPalette.h"
#include "platform/Workers.h"
#include "settings/DataTypes.h"

using formats::DataType;
using gml::GisFeature, gml::featuresToGeoJson, gml::validUtf8;
using platform::startWorker;

namespace {

constexpr const char* kBusyMessage = "Trwa pobieranie danych - sprobuj za chwile";
constexpr const char* kBadFrameMessage = "Nieprawidlowy bbox";

Json errorReply(const std::string& msg) { return Json{{"type", "error"}, {"msg", msg}}; }

// Texts that came from servers or files may hold broken UTF-8; the page channel refuses such
// text, so broken sequences are replaced (U+FFFD) rather than losing the whole message.
std::string validUtf8(const std::string& text) {
    const std::string quoted = Json(text).dump(-1, ' ', false, Json::error_handler_t::replace);
    return Json::parse(quoted).get<std::string>();
}

// The target layer of a type: the stored name, or the type's default layer.
std::string layerNameFor(const Settings& settings, DataType type) {
    const auto it = settings.layers.find(type);
    return it != settings.layers.end() ? it->second : defaultLayerName(type);
}

// The map preview of the features. Properties come from servers and may hold broken UTF-8,
// which the GeoJSON writer may refuse; then the preview is built from cleaned copies.
std::string previewGeoJson(const std::vector<GisFeature>& features) {
    try {
        return validUtf8(featuresToGeoJson(features));
    } catch (const std::exception&) {
        std::vector<GisFeature> cleaned = features;
        for (GisFeature& f : cleaned) {
            std::map<std::string, std::string> props;
            for (const auto& [key, value] : f.props) props[validUtf8(key)] = validUtf8(value);
            f.props = std::move(props);
        }
        return validUtf8(featuresToGeoJson(cleaned));
    }
}

// An integer member with its default. A number beyond the integer range (the page never sends
// one) is clamped instead of overflowing; a value that is not a number raises the JSON type error.
int intMember(const Json& msg, const char* key, int fallback) {
    if (!msg.contains(key)) return fallback;
    const double d = msg[key].get<double>();
    const double limit = static_cast<double>(std::numeric_limits<int>::max());
    if (std::isnan(d)) return fallback;
    return static_cast<int>(std::clamp(d, -limit, limit));
}

bool plausibleLatitude(double v) { return std::isfinite(v) && v >= -90.0 && v <= 90.0; }
bool plausibleLongitude(double v) { return std::isfinite(v) && v >= -180.0 && v <= 180.0; }

}  // namespace

ImportController::ImportController(Settings settings) : settings_(std::move(settings)) {
    if (!settings_.upgToken.empty()) webClient_.accessToken = settings_.upgToken;
}

ImportController& ImportController::instance() {
    static ImportController controller(loadSettings());
    return controller;
}

void ImportController::registerHandlers(Bridge& bridge) {
    bridge.on("searchAddress", [this](const Json& m) { return onSearchAddress(m); });
    bridge.on("searchAddressSuggest", [this](const Json& m) { return onSearchAddressSuggest(m); });
    bridge.on("fetch", [this](const Json& m) { return onFetch(m); });
    bridge.on("place", [this](const Json& m) { return onPlace(m); });
    bridge.on("setOrigin", [this](const Json& m) { return onSetOrigin(m); });
    bridge.on("getLayers", [this](const Json& m) { return onGetLayers(m); });
    bridge.on("settingsChanged", [this](const Json& m) { return onSettingsChanged(m); });
    bridge.on("getInit", [this](const Json& m) { return onGetInit(m); });
    bridge.on("cancel", [this](const Json& m) { return onCancel(m); });
}

Json ImportController::onFetch(const Json& msg) {
    if (!msg.contains("bboxWgs84")) return errorReply(kBadFrameMessage);
    const Json& frameWgs = msg["bboxWgs84"];
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
    const Bbox frame = pl1992FrameFromWgs84(west, south, east, north);

    GeoLocation geo;
    const std::string projectCrs = host().readGeoLocation(geo) == kHostOk ? geo.crsName : std::string();
    const int epsg = chooseFetchEpsg((west + east) / 2.0, projectCrs);

    std::vector<std::string> layers;
    if (msg.contains("layers")) layers = msg["layers"].get<std::vector<std::string>>();
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

void ImportController::startFetch(const Bbox& frame, const std::vector<std::string>& layers, int rasterScale,
                                  int terrainStep, double contourInterval) {
    busy_ = 1;
    cancelRequested_.exchange(0);
    MapPalette::sendToPage("progress", Json{{"done", 0}, {"total", 1}, {"label", "Pobieranie warstw"}});
    try {
        startWorker([this, frame, layers, rasterScale, terrainStep, contourInterval]() {
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
            runOnMainThread(
                [this, frame, layers, result]() mutable { onFetchDone(frame, std::move(layers), std::move(*result)); });
        });
    } catch (...) {
        // No worker will ever clear the flag; a stuck busy state would refuse every later fetch.
        busy_ = 0;
        throw;
    }
}

void ImportController::onFetchDone(const Bbox& frame, std::vector<std::string> layers, FetchedData result) {
    busy_ = 0;
    const Json counts = countFetchedData(result);
    const bool nothing = fetchedNothing(result);
    lastResult_ = std::move(result);
    lastFrame_ = frame;
    lastLayers_ = std::move(layers);
    hasData_ = !nothing;

    Json message{{"counts", counts}};
    if (!lastResult_.features.empty()) message["geojson"] = previewGeoJson(lastResult_.features);
    const std::string warning = validUtf8(lastResult_.warning);
    if (!warning.empty()) {
        message["warning"] = warning;
        host().reportLine("TERRAVOX: " + warning);
    }
    if (nothing) message["warning"] = warning.empty() ? std::string("Nic nie pobrano dla tego obszaru.") : warning;
    MapPalette::sendToPage("fetchDone", message);
}

Json ImportController::onPlace(const Json&) {
    if (!hasData_) return errorReply("Najpierw kliknij \"1. Pobierz elementy\".");
    if (busy_) return errorReply(kBusyMessage);
    return runPlacement(*this);
}

Json ImportController::onGetInit(const Json&) {
    const GeorefReading reading = readProjectGeoreference();
    if (reading.quality == GeorefQuality::none) return nullptr;
    const LatLon at = (reading.epsg >= kEpsgPl2000Zone5 && reading.epsg <= kEpsgPl2000Zone8)
                          ? pl2000ToWgs84(reading.georef.easting, reading.georef.northing, reading.epsg)
                          : pl1992ToWgs84(reading.georef.easting, reading.georef.northing);
    return Json{{"type", "init"}, {"lat", at.lat}, {"lon", at.lon}, {"zoom", 17}};
}

Json ImportController::onGetLayers(const Json&) {
    Json names = Json::array();
    std::vector<Attribute> layers;
    if (host().listAttributes(kAttrLayer, layers) == kHostOk) {
        for (const Attribute& a : layers) names.push_back(validUtf8(a.name));
    }
    Json mapping = Json::object();
    for (DataType code : Settings::wszystkieTypy())
        mapping[dataTypeKey(code)] = validUtf8(layerNameFor(settings_, code));
    return Json{{"type", "layerList"}, {"layers", names}, {"mapping", mapping}};
}

Json ImportController::onSettingsChanged(const Json& msg) {
    if (!msg.contains("mapping")) return nullptr;
    const Json& mapping = msg["mapping"];
    // All names are read first: a wrong value anywhere changes nothing at all.
    std::vector<std::pair<DataType, std::string>> changes;
    if (mapping.is_object()) {
        for (DataType code : Settings::wszystkieTypy()) {
            const char* key = dataTypeKey(code);
            if (mapping.contains(key)) changes.emplace_back(code, mapping[key].get<std::string>());
        }
    }
    for (auto& [code, name] : changes) settings_.layers[code] = std::move(name);
    saveSettings(settings_);
    return nullptr;
}

Json ImportController::onCancel(const Json&) {
    cancelRequested_.exchange(1);
    return Json{{"type", "cancelled"}};
}

Json ImportController::onSearchAddress(const Json& msg) {
    // During a fetch the worker owns the controller's client (its pacing table is not shared
    // between threads); the search then goes through a client with the same settings.
    if (busy_) {
        WfsClient own = clientWithSettingsOf(webClient_);
        return searchAddress(own, msg);
    }
    return searchAddress(webClient_, msg);
}

Json ImportController::onSearchAddressSuggest(const Json& msg) { return startAddressSuggestions(msg); }

void ImportController::postProgress(const std::string& label, int done, int total, bool cancellable) {
    runOnMainThread([label, done, total, cancellable]() {
        Json event{{"done", done}, {"total", total}, {"label", validUtf8(label)}};
        if (cancellable) event["cancellable"] = true;
        MapPalette::sendToPage("progress", event);
    });
}

ImportController::ProgressFunction ImportController::progressFor(const std::string& label, bool cancellable) {
    return [label, cancellable](int done, int total) { postProgress(label, done, total, cancellable); };
}

void ImportController::postReportLine(const std::string& line) {
    runOnMainThread([line]() { host().reportLine(line); });
}

// The logic behind the import palette: its request handlers, the state kept between fetch and
// place, the fetch worker and its progress and result events.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "bridge/Bridge.h"
#include "geodesy/Bbox.h"
#include "geodesy/Epsg.h"
#include "import/FetchedData.h"
#include "import/Placement.h"
#include "net/MunicipalityLookup.h"
#include "net/WfsClient.h"
#include "platform/Progress.h"
#include "settings/Settings.h"

namespace importer {

class ImportController {
public:
    // What one fetch needs: frame (PL-1992), layer keys, rasterScale, terrainStep, contour interval.
    using FetchFunction = std::function<FetchedData(const geodesy::Bbox& frame, const std::vector<std::string>& layers,
                                                    int rasterScale, int terrainStep, double contourInterval)>;

    // A controller working with the given settings (the process one loads them from the file).
    explicit ImportController(settings::Settings settings);
    ImportController(const ImportController&) = delete;
    ImportController& operator=(const ImportController&) = delete;

    // The process-wide controller, created on first use with the settings from the file.
    static ImportController& instance();

    // Registers the palette's request handlers on the bridge.
    void registerHandlers(bridge::Bridge& bridge);

    // Handlers: each takes the whole message and returns the reply or null.
    nlohmann::json onFetch(const nlohmann::json& msg);
    nlohmann::json onPlace(const nlohmann::json& msg);
    nlohmann::json onSetOrigin(const nlohmann::json& msg);
    nlohmann::json onGetLayers(const nlohmann::json& msg);
    nlohmann::json onSettingsChanged(const nlohmann::json& msg);
    nlohmann::json onGetInit(const nlohmann::json& msg);
    nlohmann::json onCancel(const nlohmann::json& msg);
    nlohmann::json onSearchAddress(const nlohmann::json& msg);
    nlohmann::json onSearchAddressSuggest(const nlohmann::json& msg);

    // Marks the controller busy, announces the fetch and starts its worker (main thread).
    // Throws std::system_error when no thread can be started; the controller is then idle again.
    void startFetch(const geodesy::Bbox& frame, const std::vector<std::string>& layers, int rasterScale,
                    int terrainStep, double contourInterval);
    // Takes a finished fetch over and announces it with "fetchDone" (main thread).
    void onFetchDone(const geodesy::Bbox& frame, std::vector<std::string> layers, FetchedData result);
    // Fetches every requested layer (worker thread).
    FetchedData fetchForImport(const geodesy::Bbox& frame, const std::vector<std::string>& layers, int rasterScale,
                               int terrainStep, double contourInterval);

    // Replaces fetchForImport for this controller (prepared results); an empty function restores it.
    void setFetchFunction(FetchFunction fetch) { fetchFunction_ = std::move(fetch); }

    // Posts a "progress" event for the page from any thread.
    static void postProgress(const std::string& label, int done, int total, bool cancellable = false);
    // A progress callback bound to a label, for the worker's phases.
    static platform::ProgressCallback progressFor(const std::string& label, bool cancellable = false);
    // Posts a line for the host's report window from any thread.
    static void postReportLine(const std::string& line);

    // State read by the fetch, placement and georeference code.
    net::WfsClient& webClient() { return webClient_; }
    const settings::Settings& settings() const { return settings_; }
    settings::Settings& settings() { return settings_; }
    bool cancelRequested() const { return cancelRequested_.load() != 0; }
    bool busy() const { return busy_ != 0; }
    const FetchedData& lastResult() const { return lastResult_; }
    // What placing the stored result works from (read by "place").
    PlacementRequest placementRequest();
    const geodesy::Bbox& lastFrame() const { return lastFrame_; }
    const std::vector<std::string>& lastLayers() const { return lastLayers_; }
    bool hasData() const { return hasData_; }
    int fetchEpsg() const { return fetchEpsg_; }
    bool smoothContours() const { return smoothContours_; }
    double cloudTerrainStep() const { return cloudTerrainStep_; }
    net::MunicipalityCache& municipalityCache() { return municipalityCache_; }

private:
    net::WfsClient webClient_;
    settings::Settings settings_;
    std::atomic<std::uint8_t> cancelRequested_{0};
    std::uint8_t busy_ = 0;
    FetchedData lastResult_;
    geodesy::Bbox lastFrame_;
    std::vector<std::string> lastLayers_;
    bool hasData_ = false;
    int fetchEpsg_ = geodesy::kEpsgPl1992;
    bool smoothContours_ = false;
    double cloudTerrainStep_ = 1.0;
    net::MunicipalityCache municipalityCache_;  // municipality of the last frames, kept between fetches

    FetchFunction fetchFunction_;
};

}  // namespace importer

// What the groups of one fetch share: the request, the services, the sinks and the record being filled.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "buildings/ElevationPair.h"
#include "geodesy/Bbox.h"
#include "geodesy/Epsg.h"
#include "import/FetchedData.h"
#include "net/MunicipalityLookup.h"
#include "net/WfsClient.h"
#include "platform/Progress.h"

namespace net {
class WfsLayerFetcher;
}

namespace importer {

// Everything a group needs from the request and the controller, plus the record being filled.
struct FetchContext {
    FetchContext(net::WfsClient& webClient, net::MunicipalityCache& cache, FetchedData& filled)
        : client(webClient), municipalities(cache), result(filled) {}

    geodesy::Bbox frame;                   // PL-1992 metres
    std::vector<std::string> keys;         // layer keys of the request
    int rasterScale = 1000;                // scale denominator for county rasters
    int terrainStep = 1;                   // metres
    double poziomiceCiecie = 1.0;          // contour interval in metres
    int fetchEpsg = geodesy::kEpsgPl1992;  // the controller's fetch system
    bool smoothContours = false;
    double cloudTerrainStep = 1.0;

    net::WfsClient& client;
    net::MunicipalityCache& municipalities;
    net::WfsLayerFetcher* layerFetcher = nullptr;  // created for one fetch by runFetchGroups

    std::function<bool()> cancelRequested;                                            // polled by long phases only
    std::function<platform::ProgressCallback(const std::string& label)> progressFor;  // progress bound to a label
    std::function<void(const std::string& line)> reportLine;                          // a line for the report window
    // One progress event with its own label each time (downloads whose label carries the sizes).
    std::function<void(const std::string& label, int done, int total, bool cancellable)> progressEvent =
        [](const std::string&, int, int, bool) {};

    FetchedData& result;

    // The surface and terrain models of the frame, loaded once by the first branch that needs them.
    enum class PairState { NotLoaded, Loaded, NoCoverage, Unreadable };
    PairState elevationPairState = PairState::NotLoaded;
    buildings::ElevationPair elevationPair;

    // True when the key is among the requested layers.
    bool wants(const std::string& key) const;
    // Appends a note to the warning, separated from an earlier one by a single space.
    void addWarning(const std::string& note) { result.addWarning(note); }
    // Sends a report line when a sink is set.
    void report(const std::string& line) const;
    // Progress callback for a label (a no-op when no sink is set).
    platform::ProgressCallback progress(const std::string& label) const;
    // Whether a cancel was requested (false when no query is set).
    bool cancelled() const { return cancelRequested && cancelRequested(); }
    // Municipality code of the frame, asked once per fetch ("" when none).
    const std::string& gminaCode();
    // Ground size of a county raster pixel: the scale (100..10000, else 1000) times 0.28 mm.
    double metresPerPixel() const;

private:
    std::string gmina_;
    bool gminaAsked_ = false;
};

}  // namespace importer

// The layer groups of one fetch and the context they share; fetchForImport runs them in a fixed order.
#pragma once
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "geodesy/Bbox.h"
#include "geodesy/Epsg.h"
#include "import/FetchedData.h"
#include "net/MunicipalityLookup.h"
#include "net/WfsClient.h"

namespace net {
class WfsLayerFetcher;
}

// Everything a group needs from the request and the controller, plus the record being filled.
struct FetchContext {
    using ProgressFunction = std::function<void(int done, int total)>;

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
    net::WfsLayerFetcher* layerFetcher = nullptr;  // created for one fetch by the orchestration

    std::function<bool()> cancelRequested;                                  // polled by long phases only
    std::function<ProgressFunction(const std::string& label)> progressFor;  // progress bound to a label
    std::function<void(const std::string& line)> reportLine;                // a line for the report window

    FetchedData& result;

    // True when the key is among the requested layers.
    bool wants(const std::string& key) const;
    // True when any of the keys is requested.
    bool wantsAny(std::initializer_list<const char*> anyOf) const;
    // Appends a note to the warning, separated from an earlier one by a single space.
    void addWarning(const std::string& note) { result.addWarning(note); }
    // Sends a report line when a sink is set.
    void report(const std::string& line) const;
    // Progress callback for a label (a no-op when no sink is set).
    ProgressFunction progress(const std::string& label) const;
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

// Runs every requested group in order; a failing group only adds to the warning.
void runFetchGroups(FetchContext& ctx);

// Cadastral parcels and buildings ("dzialki", "budynki") with the BDOT10k building fallback.
void fetchCadastreGroup(FetchContext& ctx);
// General plan zones and local plan drawings ("pog", "mpzp").
void fetchPlanningGroup(FetchContext& ctx);
// Utility networks ("gesut"): county WFS, else county WMS, else the national integration WMS.
void fetchUtilitiesGroup(FetchContext& ctx);
// Large-scale base map ("bdot500") as a raster from the county WMS.
void fetchBaseMapGroup(FetchContext& ctx);
// Orthophoto ("rastr") from the national WMS.
void fetchOrthoGroup(FetchContext& ctx);
// Terrain from the elevation model ("teren").
void fetchElevationGroup(FetchContext& ctx);
// Terrain, contours and water from LiDAR ("terenchmura", "poziomicechmura", "wodachmura").
void fetchCloudTerrainGroup(FetchContext& ctx);
// LOD1 building solids ("budynki3d", also as footprints for the cloud and surface-model branches).
void fetchBuildings3dGroup(FetchContext& ctx);
// Buildings from the normalised surface model ("budynkindsm").
void fetchNdsmBuildingsGroup(FetchContext& ctx);
// Bridges and roads ("mosty", "drogi").
void fetchBridgesRoadsGroup(FetchContext& ctx);
// LOD2 building models ("budynkilod2").
void fetchBuildingsLod2Group(FetchContext& ctx);
// Roofs fitted to LiDAR ("dachychmura").
void fetchCloudRoofsGroup(FetchContext& ctx);
// LOD2 reconstruction from LiDAR ("budynkirekon").
void fetchReconstructionGroup(FetchContext& ctx);
// Contour lines from the elevation model ("poziomice2d", "poziomice3d").
void fetchContoursGroup(FetchContext& ctx);

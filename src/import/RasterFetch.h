// WMS rasters of a fetch: capabilities, the request system and tiled GetMap with retries at halved widths.
#pragma once
#include <functional>
#include <string>
#include <string_view>

#include "formats/DataType.h"
#include "geodesy/Bbox.h"
#include "import/FetchedData.h"
#include "net/WfsClient.h"

namespace importer {

struct FetchContext;

// Nominal pixel size linking metres per pixel to a map scale.
constexpr double kNominalPixelMetres = 0.00028;
// Tile limits of one raster layer set.
constexpr int kMaxRasterTilesPerAxis = 4;
constexpr int kMaxRasterTilePixels = 4096;
constexpr int kMinRasterTilePixels = 256;
constexpr int kMinRequestedTilePixels = 512;
constexpr int kMaxRasterAttempts = 4;

// How a frame is cut into GetMap tiles.
struct RasterTilePlan {
    int columns = 1;
    int rows = 1;
    bool limited = false;        // the frame needed more than 4 tiles on an axis
    long long coarserScale = 0;  // the scale actually reached when limited
};

// The fetch system when the capabilities offer it, else 2180.
int chooseRasterEpsg(int fetchEpsg, std::string_view capabilities);
// Tile grid for a frame (metres) at the given metres per pixel.
RasterTilePlan planRasterTiles(double width, double height, double metresPerPixel);
// True when the body is a PNG or JPEG file (not, say, an XML exception).
bool isRasterImage(std::string_view body);

// Fetches the layers for the frame (PL-1992) as tiles in `epsg`; appends the accepted tiles to
// result.rasters, a warning when the tile count was limited, and sends one report line.
// Returns the number of tiles fetched (0 = failure).
int fetchRaster(net::WfsClient& client, const geodesy::Bbox& frame, const std::string& wmsUrl,
                const std::string& layers, double metresPerPixel, formats::DataType type, int epsg, FetchedData& result,
                const std::function<void(const std::string&)>& reportLine);
// Capabilities of a county or national WMS, its thematic layers for the type (else every named layer) and one
// raster of them in the system the capabilities allow; the number of tiles fetched (0 = failure).
int fetchThematicRaster(FetchContext& ctx, const std::string& wmsUrl, formats::DataType type);
// The same for a group of the fetch orchestration (its client, frame, result and report sink).
int fetchRaster(FetchContext& ctx, const std::string& wmsUrl, const std::string& layers, double metresPerPixel,
                formats::DataType type, int epsg);

}  // namespace importer

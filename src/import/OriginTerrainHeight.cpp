#include "import/OriginTerrainHeight.h"

#include <cmath>
#include <cstdlib>

#include "bridge/Bridge.h"
#include "formats/grid/AsciiGrid.h"
#include "host/Host.h"
#include "import/AddressSearch.h"
#include "net/ServiceEndpoints.h"
#include "net/TileIndex.h"
#include "platform/Numbers.h"
#include "platform/Workers.h"

using grid::ElevationGrid, grid::parseAsciiGrid, grid::sampleGrid;
using platform::startWorker;

namespace {

// Writes the height into the project when the survey point is still the one the lookup was started for.
void writeHeight(EN surveyPoint, double height) {
    GeoLocation geo;
    if (host().readGeoLocation(geo) != kHostOk) return;
    // A host may keep the coordinates with less precision than it was given; a millimetre is the same point.
    if (!(std::fabs(geo.surveyEasting - surveyPoint.e) < 1e-3 && std::fabs(geo.surveyNorthing - surveyPoint.n) < 1e-3))
        return;
    geo.altitude = height;
    geo.surveyHeight = height;
    host().writeGeoLocation(geo);  // a refused write leaves the height at 0, as a failed lookup does
}

}  // namespace

std::optional<double> lookupTerrainHeight(WfsClient& client, EN at) {
    const Bbox box{at.e - 1.0, at.n - 1.0, at.e + 1.0, at.n + 1.0};
    for (const ElevationTile& tile : findNmtTiles(client, box)) {
        const std::string text = client.getCachedText(tile.url, kCachedTextTimeoutMs);
        if (text.empty()) continue;
        ElevationGrid grid;
        grid.nodata = -9999.0;
        if (!parseAsciiGrid(grid, text)) continue;
        double z = 0.0;
        // A sheet with a hole at the point gives way to an overlapping one that has a height there.
        if (sampleGrid(grid, at.e, at.n, z) && std::isfinite(z)) return z;
    }
    return std::nullopt;
}

void startOriginHeightLookup(const WfsClient& settingsOf, EN pl1992, EN surveyPoint) {
    WfsClient client = clientWithSettingsOf(settingsOf);
    applyLocalPacing(client);
    try {
        startWorker([client = std::move(client), pl1992, surveyPoint]() mutable {
            std::optional<double> height;
            try {
                height = lookupTerrainHeight(client, pl1992);
            } catch (const std::exception&) {
                return;  // the lookup is a convenience; its failures stay silent
            }
            if (!height) return;
            const double z = *height;
            runOnMainThread([surveyPoint, z]() { writeHeight(surveyPoint, z); });
        });
    } catch (const std::exception&) {
        // No thread to spare: the height simply stays 0.
    }
}

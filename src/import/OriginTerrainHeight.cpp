#include "import/OriginTerrainHeight.h"

#include <cmath>
#include <cstdlib>

#include "bridge/Bridge.h"
#include "formats/grid/AsciiGrid.h"
#include "host/Host.h"
#include "import/AddressSearch.h"
#include "import/PlacementChecks.h"
#include "net/ServiceEndpoints.h"
#include "net/TileIndex.h"
#include "platform/Numbers.h"
#include "platform/Workers.h"

namespace importer {

namespace {

// Writes the height into the project when the survey point is still the one the lookup was started for and
// no placement has anchored heights since: a placement made meanwhile placed its elements against the height
// the project had then, and overwriting it would shift every later import of the same area.
void writeHeight(geodesy::PlanarPoint surveyPoint, double height, unsigned long placementsAtStart) {
    if (placementsAnchored() != placementsAtStart) return;
    host::GeoLocation geo;
    if (host::host().readGeoLocation(geo) != host::kHostOk) return;
    if (geo.surveyHeight != 0.0) return;  // someone set the project's height meanwhile; it is theirs
    // A host may keep the coordinates with less precision than it was given; a millimetre is the same point.
    if (!(std::fabs(geo.surveyEasting - surveyPoint.x) < 1e-3 && std::fabs(geo.surveyNorthing - surveyPoint.y) < 1e-3))
        return;
    geo.altitude = height;
    geo.surveyHeight = height;
    host::host().writeGeoLocation(geo);  // a refused write leaves the height at 0, as a failed lookup does
}

}  // namespace

std::optional<double> lookupTerrainHeight(net::WfsClient& client, geodesy::PlanarPoint at) {
    const geodesy::Bbox box{at.x - 1.0, at.y - 1.0, at.x + 1.0, at.y + 1.0};
    for (const net::ElevationTile& tile : net::findNmtTiles(client, box)) {
        const std::string text = client.getCachedText(tile.url, net::kCachedTextTimeoutMs, net::AnswerKind::gridText);
        if (text.empty()) continue;
        grid::ElevationGrid grid;
        grid.nodata = -9999.0;
        if (!grid::parseAsciiGrid(grid, text)) continue;
        double z = 0.0;
        // A sheet with a hole at the point gives way to an overlapping one that has a height there.
        if (grid::sampleGrid(grid, at.x, at.y, z) && std::isfinite(z)) return z;
    }
    return std::nullopt;
}

void startOriginHeightLookup(const net::WfsClient& settingsOf, geodesy::PlanarPoint pl1992,
                             geodesy::PlanarPoint surveyPoint) {
    net::WfsClient client = clientWithSettingsOf(settingsOf);
    net::applyLocalPacing(client);
    try {
        const unsigned long placementsAtStart = placementsAnchored();
        platform::startWorker([client = std::move(client), pl1992, surveyPoint, placementsAtStart]() mutable {
            std::optional<double> height;
            try {
                height = lookupTerrainHeight(client, pl1992);
            } catch (const std::exception&) {
                return;  // the lookup is a convenience; its failures stay silent
            }
            if (!height) return;
            const double z = *height;
            bridge::runOnMainThread(
                [surveyPoint, z, placementsAtStart]() { writeHeight(surveyPoint, z, placementsAtStart); });
        });
    } catch (const std::exception&) {
        // No thread to spare: the height simply stays 0.
    }
}

}  // namespace importer

// Terrain height at the point "setOrigin" wrote: looked up in the background, written into the project later.
#pragma once
#include <optional>

#include "geodesy/PlanarPoint.h"
#include "net/WfsClient.h"

namespace importer {

// Height of the elevation model at a PL-1992 point: the index sheets covering a 2 m box around it, in index
// order, the first that has a height there answers. Nothing when no sheet does (worker thread).
std::optional<double> lookupTerrainHeight(net::WfsClient& client, geodesy::PlanarPoint pl1992);

// Starts a detached worker with its own client (settings copied from `settingsOf`) that looks the height up
// and, only when it found one, posts the write of the project's altitude and survey-point height. The write is
// skipped when the project's survey point is no longer `surveyPoint` (a later "setOrigin" moved it).
void startOriginHeightLookup(const net::WfsClient& settingsOf, geodesy::PlanarPoint pl1992,
                             geodesy::PlanarPoint surveyPoint);

}  // namespace importer

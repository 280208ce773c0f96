// Placement of the structures fitted to the cloud and raised from the surface models, each solid a morph with its
// kind's material, or the correction material when the fit is doubtful.
#pragma once
#include "host/Host.h"

namespace importer {

struct PlacementContext;

// Roofs fitted to the cloud on "GIS_BUDYNKI_LOD2_CHMURA" (only with one roof per LOD1 footprint).
host::HostError placeCloudRoofs(PlacementContext& c);
// Buildings from the normalised surface model (only with one block per LOD1 footprint).
host::HostError placeNdsmBuildings(PlacementContext& c);
// LOD2 buildings reconstructed from the cloud.
host::HostError placeRekonBuildings(PlacementContext& c);
host::HostError placeBridges(PlacementContext& c);
host::HostError placeRoads(PlacementContext& c);

}  // namespace importer

// A building block raised from the surface model over a known footprint, its walls down to the terrain model.
#pragma once
#include <vector>

#include "buildings/BuildingTypes.h"
#include "buildings/ElevationPair.h"
#include "buildings/SurfaceBuildingSettings.h"

namespace buildings {

// Roof face at the median surface height of the samples inside the footprint, then one wall per edge that
// stands at least minWallHeight above the terrain at one of its ends.
StructureResult buildingFromSurfaceModel(const std::vector<geodesy::PlanarPoint>& footprint,
                                         const ElevationPair& models, const SurfaceBuildingSettings& settings = {});

}  // namespace buildings

// A building block raised from the surface model over a known footprint, its walls down to the terrain model.
#pragma once
#include <vector>

#include "buildings/BuildingTypes.h"
#include "buildings/ElevationPair.h"

namespace buildings {

struct SurfaceBuildingSettings {
    double sampleStep = 0.5;       // metres
    double raisedThreshold = 1.0;  // nDSM above this counts as raised
    double minRaisedShare = 0.35;  // below it the block is doubtful
    double minWallHeight = 1.0;
};

// Roof face at the median surface height of the samples inside the footprint, then one wall per edge that
// stands at least minWallHeight above the terrain at one of its ends.
StructureResult buildingFromSurfaceModel(const std::vector<geodesy::PlanarPoint>& footprint,
                                         const ElevationPair& models, const SurfaceBuildingSettings& settings = {});

}  // namespace buildings

// Terrain patches of a frame from elevation sheets, with the notes for the user.
#pragma once
#include <string>
#include <vector>

#include "formats/grid/ElevationGrid.h"
#include "geodesy/Bbox.h"
#include "terrain/TerrainPatch.h"

namespace terrain {

// Patches and notes of one terrain computation.
struct TerrainBuildResult {
    TerrainSet patches;
    std::vector<std::string> notes;
};

// Builds the patches over the sheets read for the frame (mosaic in list order).
TerrainBuildResult buildTerrain(const geodesy::Bbox& frame, int step, const std::vector<grid::ElevationGrid>& grids);

}  // namespace terrain

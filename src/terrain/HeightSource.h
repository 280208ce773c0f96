// Where terrain and contours read ground heights from.
#pragma once
#include <functional>
#include <vector>

#include "formats/grid/ElevationGrid.h"

namespace terrain {

// Answers true with a height at (x, y), or false when there is none.
using HeightSource = std::function<bool(double x, double y, double& z)>;

// The mosaic of sheets as a height source; the grids must outlive it.
HeightSource mosaicHeightSource(const std::vector<grid::ElevationGrid>& grids);

}  // namespace terrain

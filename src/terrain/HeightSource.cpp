#include "terrain/HeightSource.h"

#include "formats/grid/AsciiGrid.h"

namespace terrain {

HeightSource mosaicHeightSource(const std::vector<grid::ElevationGrid>& grids) {
    return [&grids](double x, double y, double& z) { return grid::mosaicSample(grids, x, y, z); };
}

}  // namespace terrain

#include "terrain/HeightSource.h"

#include "formats/grid/AsciiGrid.h"

using grid::ElevationGrid, grid::mosaicSample;

HeightSource mosaicHeightSource(const std::vector<ElevationGrid>& grids) {
    return [&grids](double x, double y, double& z) { return mosaicSample(grids, x, y, z); };
}

#include "buildings/ElevationPair.h"

#include "formats/grid/AsciiGrid.h"

namespace buildings {

bool ElevationPair::surfaceAt(double x, double y, double& z) const { return grid::mosaicSample(surface_, x, y, z); }

bool ElevationPair::terrainAt(double x, double y, double& z) const { return grid::mosaicSample(terrain_, x, y, z); }

bool ElevationPair::ndsmAt(double x, double y, double& z) const {
    double top = 0.0, ground = 0.0;
    if (!surfaceAt(x, y, top) || !terrainAt(x, y, ground)) return false;
    z = top - ground;
    return true;
}

}  // namespace buildings

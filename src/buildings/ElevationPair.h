// The surface model (NMPT) and the terrain model (NMT) of a frame, each a mosaic of ASCII grid sheets.
#pragma once
#include <vector>

#include "formats/grid/ElevationGrid.h"

namespace buildings {

class ElevationPair {
public:
    ElevationPair() = default;
    ElevationPair(std::vector<grid::ElevationGrid> surface, std::vector<grid::ElevationGrid> terrain)
        : surface_(std::move(surface)), terrain_(std::move(terrain)) {}

    bool empty() const { return surface_.empty() || terrain_.empty(); }
    // Heights at (x, y); false where the model has none.
    bool surfaceAt(double x, double y, double& z) const;
    bool terrainAt(double x, double y, double& z) const;
    // Surface minus terrain, where both have a height.
    bool ndsmAt(double x, double y, double& z) const;

private:
    std::vector<grid::ElevationGrid> surface_;
    std::vector<grid::ElevationGrid> terrain_;
};

}  // namespace buildings

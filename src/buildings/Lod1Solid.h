// LOD1 blocks as slabs.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "geodesy/PlanarPoint.h"
#include "host/Host.h"

namespace buildings {

// A slab of the given height on the footprint at the base level, with the footprint's holes (courtyards);
// nothing (and 0) for fewer than 3 points or a height of 0 or less. The outline runs anticlockwise and the holes
// clockwise whatever the file's winding, so that every side of the slab faces out of it.
host::HostError makeLod1Solid(const std::vector<geodesy::PlanarPoint>& footprint, double baseLevel, double height,
                              std::int32_t layer, const std::string& id,
                              const std::vector<std::vector<geodesy::PlanarPoint>>& holes = {});

}  // namespace buildings

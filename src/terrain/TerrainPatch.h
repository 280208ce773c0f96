// One terrain patch: regular ground samples over part of a frame, later one host mesh.
#pragma once
#include <vector>

#include "geodesy/SpatialPoint.h"

namespace terrain {

// A patch of terrain nodes. Bounds are the coordinates of the first and the last node,
// so neighbouring patches share their border row and column. They are not a geodesy::Bbox: placement
// carries patches on into project coordinates.
struct TerrainPatch {
    double minX = 0.0;
    double minY = 0.0;
    double maxX = 0.0;
    double maxY = 0.0;
    // Nodes that have a height, rows of increasing y, each row of increasing x. Never empty in a built set.
    std::vector<geodesy::SpatialPoint> points;
};

// The patches of one fetch.
using TerrainSet = std::vector<TerrainPatch>;

}  // namespace terrain

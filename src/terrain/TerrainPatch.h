// One terrain patch: regular ground samples over part of a frame, later one host mesh.
#pragma once
#include <vector>

#include "geodesy/PlanarPoint.h"
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
    // When not empty, the mesh's outline (an open ring, counter-clockwise) in place of the bounding rectangle; its
    // corners take the heights of their nearest points, and points on it are no level points (a flat water
    // surface is its outline alone).
    std::vector<geodesy::PlanarPoint> outline;
};

// The patches of one fetch.
using TerrainSet = std::vector<TerrainPatch>;

}  // namespace terrain

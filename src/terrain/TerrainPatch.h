// One terrain patch: regular ground samples over part of a frame, later one host mesh.
#pragma once
#include <vector>

// A sampled node with a valid height (planar metres, height above sea level).
struct TerrainPoint {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    bool operator==(const TerrainPoint&) const = default;
};

// A patch of terrain nodes. Bounds are the coordinates of the first and the last node,
// so neighbouring patches share their border row and column.
struct TerrainPatch {
    double minX = 0.0;
    double minY = 0.0;
    double maxX = 0.0;
    double maxY = 0.0;
    // Nodes that have a height, rows of increasing y, each row of increasing x. Never empty in a built set.
    std::vector<TerrainPoint> points;
};

// The patches of one fetch.
using TerrainSet = std::vector<TerrainPatch>;

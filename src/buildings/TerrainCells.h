// The sparse ground model of a cloud: the lowest ground (class 2) height per square cell.
#pragma once
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "formats/CloudPoint.h"

namespace buildings {

struct TerrainCells {
    double cell = 2.0;
    double originX = 0.0, originY = 0.0;  // smallest x and y of all points
    std::unordered_map<std::int64_t, double> lowest;
};

TerrainCells buildTerrainCells(const std::vector<formats::CloudPoint>& points, double cell = 2.0);
// The height of the position's cell; else the lowest of the 3 x 3 neighbours; else 0.
double terrainHeight(const TerrainCells& cells, double x, double y);
// The ground nearest to the position within `radius` metres: the lowest cell of the first ring of cells around the
// position's own that holds any; false when none does (the place lies outside the cloud or in a hole of it).
bool nearestTerrainHeight(const TerrainCells& cells, double x, double y, double radius, double& z);

}  // namespace buildings

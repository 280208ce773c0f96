// What the LiDAR height grid hands on: ground and water patches for the mesh maker, a grid for the contour tracer.
#pragma once
#include "platform/Progress.h"
#include "terrain/CloudTerrainGrid.h"
#include "terrain/ContourBuild.h"
#include "terrain/ContourGrid.h"
#include "terrain/TerrainPatch.h"

namespace terrain {

// Nodes sit at cell centres (the last row and column held inside the frame); patches of at most 200 nodes per
// axis share their border nodes.
// The ground: every node with a height (water cells at the water level).
TerrainSet cloudGroundPatches(const CloudTerrainGrid& grid);
// The water: one flat patch at the water level per 4-connected group of water cells, outlined along the group's
// outer cell edges (held to the frame); none without water.
TerrainSet cloudWaterPatches(const CloudTerrainGrid& grid);
// The heights on nodes at cell centres, for tracing.
ContourGrid cloudContourGrid(const CloudTerrainGrid& grid);
// Contours traced on the grid as the elevation-model contours are (interval check, optional grid smoothing),
// with the summary "Poziomice z chmury: N warstwic, ciecie I m[, wygladzone]".
ContourBuildResult cloudContours(const CloudTerrainGrid& grid, double interval, bool smooth, const CancelQuery& cancel,
                                 const platform::ProgressCallback& progress);

}  // namespace terrain

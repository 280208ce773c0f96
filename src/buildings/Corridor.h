// Bridges and roads as surfaces along OpenStreetMap centrelines: the corridor outline, then a lattice of quads
// on the chosen elevation model inside it.
#pragma once
#include <vector>

#include "buildings/BuildingTypes.h"
#include "buildings/CorridorSettings.h"
#include "buildings/ElevationPair.h"
#include "geodesy/Bbox.h"

namespace buildings {

// Left side p_i + left_i·n_i forward, then right side p_i − right_i·n_i backward; n is the left normal of the
// direction from the previous to the next point. With `useMedianWidths` each side takes its median half-width.
std::vector<geodesy::PlanarPoint> corridorPolygon(const std::vector<geodesy::PlanarPoint>& centre,
                                                  std::vector<double> left, std::vector<double> right,
                                                  bool useMedianWidths);

// Quads of the cells whose four corners lie inside the polygon and have a height; the polygon lifted to one
// median height, marked fallback, when no cell was made, too few are raised or more than settings.maxCells would be.
StructureResult corridorSurface(const std::vector<geodesy::PlanarPoint>& polygon, const ElevationPair& models,
                                const CorridorSettings& settings);

// The cell that keeps corridors covering `area` square metres together within `budget` quads: `cell` itself, or
// the coarser one the budget allows.
double corridorCellFor(double area, double cell, std::size_t budget = kCorridorCellBudget);

}  // namespace buildings

// Bridges and roads as surfaces along OpenStreetMap centrelines: the corridor outline, then a lattice of quads
// on the chosen elevation model inside it.
#pragma once
#include <vector>

#include "buildings/BuildingTypes.h"
#include "buildings/ElevationPair.h"
#include "geodesy/Bbox.h"

namespace buildings {

struct CorridorSettings {
    double cell = 0.5;             // metres
    double raisedThreshold = 1.0;  // nDSM above this at a cell centre counts as raised
    double minRaisedShare = 0.0;   // bridges 0.35, roads 0
    bool onSurface = false;        // heights from the surface model (bridges), else the terrain model (roads)
    bool clip = false;             // keep to the frame (roads)
    geodesy::Bbox frame;

    static CorridorSettings bridge();
    static CorridorSettings road(const geodesy::Bbox& frame);
};

// Left side p_i + left_i·n_i forward, then right side p_i − right_i·n_i backward; n is the left normal of the
// direction from the previous to the next point. With `useMedianWidths` each side takes its median half-width.
std::vector<geodesy::PlanarPoint> corridorPolygon(const std::vector<geodesy::PlanarPoint>& centre,
                                                  std::vector<double> left, std::vector<double> right,
                                                  bool useMedianWidths);

// Quads of the cells whose four corners lie inside the polygon and have a height; the polygon lifted to one
// median height, marked fallback, when no cell was made or too few are raised.
StructureResult corridorSurface(const std::vector<geodesy::PlanarPoint>& polygon, const ElevationPair& models,
                                const CorridorSettings& settings);

}  // namespace buildings

// LOD2 reconstruction of one building: roof points above the ground, planes, the roof type, the parametric solid
// over the footprint and how well it fits the points.
#pragma once
#include <vector>

#include "buildings/lod2fit/RoofFitResult.h"
#include "buildings/lod2fit/RoofPrimitive.h"
#include "geodesy/SpatialPoint.h"

namespace lod2fit {

RoofFitResult reconstructBuilding(const std::vector<geodesy::SpatialPoint>& points, const Footprint& footprint,
                                  double groundZ);

// Mean distance of the points (every k-th of more than 5000, k = n / 5000) to the nearest face of the mesh,
// faces fanned into triangles; 1e9 without points or faces.
double meanDistanceToMesh(const std::vector<geodesy::SpatialPoint>& points, const RoofMesh& mesh);

// Root mean square of how far the roof over each point misses its height: the highest face straight above or below
// it, or the nearest face where none lies over it; every k-th of more than 5000 points. 1e9 without points or faces.
double rmsHeightError(const std::vector<geodesy::SpatialPoint>& points, const RoofMesh& mesh);

// Reverses every face whose Newell normal points into its connected part (towards the mean of the part's
// vertices), so solids face outward.
void turnFacesOutward(RoofMesh& mesh);

}  // namespace lod2fit

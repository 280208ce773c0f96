// What the fitting leaves out before it looks for planes: corners that are no corners, and stray returns.
#pragma once
#include <vector>

#include "buildings/lod2fit/RoofPrimitive.h"
#include "geodesy/SpatialPoint.h"

namespace lod2fit::detail {

// The footprint without repeated corners and without corners lying within 0.1 m of the straight line between
// their neighbours (a register's extra point on a straight wall), so the shape is chosen for the real corners.
Footprint withoutStraightCorners(Footprint footprint);

// The points without isolated returns (birds, wires, noise): a point is kept when at least two others lie within
// the radius where eight are expected at the points' density over the footprint's area (at least 0.5 m). Sets of
// fewer than 30 points are kept whole, as their density says nothing.
std::vector<geodesy::SpatialPoint> withoutIsolatedPoints(const std::vector<geodesy::SpatialPoint>& points,
                                                         double footprintArea);

// Area of a ring (absolute value of the shoelace sum).
double areaOf(const Footprint& footprint);

}  // namespace lod2fit::detail

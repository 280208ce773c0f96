// Roof planes in a point set: least-squares fitting and sequential RANSAC with a fixed seed, so the same points
// give the same planes on every run.
#pragma once
#include <cstddef>
#include <vector>

#include "buildings/lod2fit/PlaneDetectionSettings.h"
#include "buildings/lod2fit/RoofPlane.h"
#include "geodesy/SpatialPoint.h"

namespace lod2fit {

// Fits z = α(x − x̄) + β(y − ȳ) + γ to the points at `indices`; false with fewer than 3 points or a degenerate
// system.
bool fitPlane(const std::vector<geodesy::SpatialPoint>& points, const std::vector<std::size_t>& indices,
              RoofPlane& plane);

std::vector<RoofPlane> detectPlanes(const std::vector<geodesy::SpatialPoint>& points,
                                    const PlaneDetectionSettings& settings = {});

}  // namespace lod2fit

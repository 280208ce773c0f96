// Roof planes in a point set: least-squares fitting and sequential RANSAC with a fixed seed, so the same points
// give the same planes on every run.
#pragma once
#include <cstddef>
#include <vector>

#include "buildings/lod2fit/RoofPlane.h"
#include "geodesy/SpatialPoint.h"

namespace lod2fit {

struct PlaneDetectionSettings {
    double inlierDistance = 0.3;
    int minInliers = 30;
    int maxPlanes = 6;
    int trials = 200;
    double minAbsC = 0.2;     // steeper planes are walls, not roofs
    double minSpread = 0.25;  // a plane whose inliers stand in a narrower strip is rejected
};

// Fits z = α(x − x̄) + β(y − ȳ) + γ to the points at `indices`; false with fewer than 3 points or a degenerate
// system.
bool fitPlane(const std::vector<geodesy::SpatialPoint>& points, const std::vector<std::size_t>& indices,
              RoofPlane& plane);

std::vector<RoofPlane> detectPlanes(const std::vector<geodesy::SpatialPoint>& points,
                                    const PlaneDetectionSettings& settings = {});

}  // namespace lod2fit

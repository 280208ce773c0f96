// What makes a plane in sequential RANSAC: inlier distance, counts, trials and the limits of wall-like or narrow planes.
#pragma once

namespace lod2fit {

struct PlaneDetectionSettings {
    double inlierDistance = 0.3;
    int minInliers = 30;
    int maxPlanes = 6;
    int trials = 200;
    double minAbsC = 0.2;     // steeper planes are walls, not roofs
    double minSpread = 0.25;  // a plane whose inliers stand in a narrower strip is rejected
};

}  // namespace lod2fit

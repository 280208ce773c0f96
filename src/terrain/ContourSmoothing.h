// Smoothing of traced contour lines before they are drawn.
#pragma once
#include <vector>

#include "terrain/ContourLine.h"

namespace terrain {

// Passes of corner cutting and the simplification tolerance used at placement when smoothing is on.
inline constexpr int kContourSmoothPasses = 2;
inline constexpr double kContourSimplifyTolerance = 0.05;

// Corner cutting (`passes` times) and then simplification with `tolerance` metres, for every line of
// at least 3 points; closed lines stay closed.
void smoothContours(std::vector<ContourLine>& contours, int passes, double tolerance);

}  // namespace terrain

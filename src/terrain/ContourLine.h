// One traced contour line at a single level.
#pragma once
#include <vector>
#include "geodesy/PlanarPoint.h"

namespace terrain {

// A contour: its level, whether it is an index contour (level number a multiple of 5),
// and its vertices in tracing order; a closed contour repeats its first point at the end.
struct ContourLine {
    double z = 0.0;
    bool index = false;
    std::vector<geodesy::PlanarPoint> points;
};

}  // namespace terrain

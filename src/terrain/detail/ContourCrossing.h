// Where a contour level crosses a grid edge; shared so every tracing path computes bit-identical points.
#pragma once
#include <cmath>

#include "geodesy/PlanarPoint.h"

namespace terrain::detail {

// The point at t = (z - hP) / (hQ - hP) of the way from P to Q, or halfway when the heights are equal.
inline geodesy::PlanarPoint crossAt(double z, double xp, double yp, double hp, double xq, double yq, double hq) {
    const double d = hq - hp;
    const double t = std::fabs(d) < 1e-12 ? 0.5 : (z - hp) / d;
    return {xp + t * (xq - xp), yp + t * (yq - yp)};
}

}  // namespace terrain::detail

// Small planar helpers of the structure builders.
#pragma once
#include <vector>

#include "geodesy/PlanarPoint.h"

namespace buildings::detail {

// Even-odd rule; the ring is closed implicitly.
bool insideEvenOdd(const std::vector<geodesy::PlanarPoint>& ring, double x, double y);
// Element n/2 after partial sorting (0 for none); the values are reordered.
double medianOf(std::vector<double>& values);

}  // namespace buildings::detail

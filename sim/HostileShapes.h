// Outlines as hostile to triangulation as real data gets, for the tests and benchmarks of the morph maker.
#pragma once
#include <vector>

#include "geodesy/PlanarPoint.h"

namespace sim {

// A comb walked anticlockwise: `teeth` teeth `width` wide and 10 widths long on a spine 5 widths deep, its lower
// left corner one width west of `origin`; 4 × teeth + 4 vertices, concave at every tooth.
std::vector<geodesy::PlanarPoint> combOutline(int teeth, double width, geodesy::PlanarPoint origin = {});

}  // namespace sim

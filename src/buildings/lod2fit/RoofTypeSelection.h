// Chooses the roof type from the detected planes: planes merged into groups of like slope and azimuth, then
// the number of sloped groups and of opposite pairs decide.
#pragma once
#include <string>
#include <vector>

#include "buildings/lod2fit/RoofPlane.h"
#include "buildings/lod2fit/RoofTypeChoice.h"
#include "geodesy/SpatialPoint.h"

namespace lod2fit {

RoofTypeChoice selectRoofType(const std::vector<RoofPlane>& planes, const std::vector<geodesy::SpatialPoint>& points);

}  // namespace lod2fit

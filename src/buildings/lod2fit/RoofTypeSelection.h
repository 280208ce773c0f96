// Chooses the roof type from the detected planes: planes merged into groups of like slope and azimuth, then
// the number of sloped groups and of opposite pairs decide.
#pragma once
#include <string>
#include <vector>

#include "buildings/lod2fit/RoofPlane.h"
#include "geodesy/SpatialPoint.h"

namespace lod2fit {

struct RoofTypeChoice {
    std::string type = "Flat";
    double confidence = 1.0;
    // Horizontal direction in which the largest sloped group rises (0, 0 without one): which side of the
    // building a Shed or AsymGabled roof leans to.
    double riseX = 0.0;
    double riseY = 0.0;
};

RoofTypeChoice selectRoofType(const std::vector<RoofPlane>& planes, const std::vector<geodesy::SpatialPoint>& points);

}  // namespace lod2fit

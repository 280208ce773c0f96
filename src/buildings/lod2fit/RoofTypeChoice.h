// The roof type chosen from the planes, its confidence and the way a one-sided roof leans.
#pragma once
#include <string>
#include <vector>

#include "buildings/lod2fit/RoofPlane.h"

namespace lod2fit {

struct RoofTypeChoice {
    std::string type = "Flat";
    double confidence = 1.0;
    // Horizontal direction in which the largest sloped group rises (0, 0 without one): which side of the
    // building a Shed or AsymGabled roof leans to.
    double riseX = 0.0;
    double riseY = 0.0;
    // The first plane of each sloped group kept, largest group first: the roof's faces as the points show them.
    std::vector<RoofPlane> slopes;
};

}  // namespace lod2fit

// The roof type chosen from the planes, its confidence and the way a one-sided roof leans.
#pragma once
#include <string>

namespace lod2fit {

struct RoofTypeChoice {
    std::string type = "Flat";
    double confidence = 1.0;
    // Horizontal direction in which the largest sloped group rises (0, 0 without one): which side of the
    // building a Shed or AsymGabled roof leans to.
    double riseX = 0.0;
    double riseY = 0.0;
};

}  // namespace lod2fit

// The reconstruction of one building: the chosen shape, its parameters and solid, and how far to trust it.
#pragma once
#include <string>

#include "buildings/lod2fit/RoofMesh.h"
#include "buildings/lod2fit/RoofParams.h"

namespace lod2fit {

struct RoofFitResult {
    std::string typeName;
    RoofParams params;
    RoofMesh mesh;
    bool fallback = true;    // doubtful: placed with the correction material
    double meanError = 0.0;  // metres, points to the nearest face
    double confidence = 0.0;
    double rmsError = 0.0;  // metres, root mean square of the points' heights against the roof over them
};

}  // namespace lod2fit

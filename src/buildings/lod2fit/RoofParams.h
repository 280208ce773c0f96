// The parameters a roof primitive is built from, with the defaults set before fitting.
#pragma once
#include <cstdint>

namespace lod2fit {

struct RoofParams {
    double groundZ = 0.0;  // base of the walls
    double eaveZ = 3.0;    // wall top
    double ridgeZ = 6.0;   // at least eaveZ + 0.1 after fitting
    double dirX = 1.0;     // unit direction of the footprint's longest edge
    double dirY = 0.0;
    double hipLength = 2.0;        // hip depth of Hipped, HalfHipped, HippedOneSided
    double mansardShape = 0.5;     // knee height as a fraction from eaveZ to ridgeZ
    double mansardInset = 0.3;     // inset of the upper roof part, fraction of half the width
    double halfHipFraction = 0.5;  // clamped to 0.05..0.95 by HalfHipped
    std::int32_t dormerCount = 1;  // GabledDormer
    double dormerWidth = 2.0;      // GabledDormer, ShedDormer
    double dormerHeight = 1.5;     // read by no primitive the selection names
    std::int32_t segments = 16;    // Barrel, Cone, Dome, Nave
};

}  // namespace lod2fit

// The building's frame for the primitives that work in it.
#pragma once
#include "buildings/lod2fit/RoofParams.h"
#include "geodesy/PlanarPoint.h"

namespace lod2fit::detail {

// The building's frame: u along (dirX, dirY), v across it.
struct LocalFrame {
    double ux = 1.0, uy = 0.0;
    explicit LocalFrame(const RoofParams& p);
    geodesy::PlanarPoint toLocal(geodesy::PlanarPoint p) const { return {p.x * ux + p.y * uy, -p.x * uy + p.y * ux}; }
    geodesy::PlanarPoint toWorld(double a, double b) const { return {a * ux - b * uy, a * uy + b * ux}; }
};

}  // namespace lod2fit::detail

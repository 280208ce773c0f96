// The circle of Cone and Dome: around the footprint's box centre, radius half the smaller extent.
#pragma once
#include "buildings/lod2fit/RoofPrimitive.h"

namespace lod2fit::detail {

struct Round {
    double cx = 0.0, cy = 0.0, r = 0.0;
    int n = 3;  // points on the circle
};

Round roundOf(const RoofParams& p, const Footprint& f);

}  // namespace lod2fit::detail

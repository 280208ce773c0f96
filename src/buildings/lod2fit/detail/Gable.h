// The gabled body shared by Gabled and AsymGabled: the ridge parallel to edge 0->1, `share` of the way from
// vertex 0 towards vertex 3 (and from 1 towards 2).
#pragma once
#include "buildings/lod2fit/RoofPrimitive.h"

namespace lod2fit::detail {

RoofMesh buildGable(const RoofParams& p, const Footprint& f, double share);

}  // namespace lod2fit::detail

// The box of Mansard and BerlinRoof in the building's frame: lower slopes to the knee lines, then a ridge
// (Mansard) or a flat top at knee height (BerlinRoof).
#pragma once
#include "buildings/lod2fit/RoofPrimitive.h"

namespace lod2fit::detail {

RoofMesh buildMansardBox(const RoofParams& p, const Footprint& f, bool withRidge);

}  // namespace lod2fit::detail

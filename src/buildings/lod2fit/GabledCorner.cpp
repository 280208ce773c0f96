#include "buildings/lod2fit/GabledCorner.h"

#include "buildings/lod2fit/Gabled.h"

#include "buildings/lod2fit/detail/Compound.h"

namespace lod2fit {

RoofMesh GabledCorner::build(const RoofParams& p, const Footprint& footprint) const {
    return detail::buildCompound(detail::Layout::Corner, p, footprint, Gabled(), Gabled());
}

}  // namespace lod2fit

#include "buildings/lod2fit/GabledCross.h"

#include "buildings/lod2fit/Gabled.h"

#include "buildings/lod2fit/detail/Compound.h"

namespace lod2fit {

RoofMesh GabledCross::build(const RoofParams& p, const Footprint& footprint) const {
    return detail::buildCompound(detail::Layout::Cross, p, footprint, Gabled(), Gabled());
}

}  // namespace lod2fit

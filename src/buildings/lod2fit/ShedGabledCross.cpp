#include "buildings/lod2fit/ShedGabledCross.h"

#include "buildings/lod2fit/Gabled.h"
#include "buildings/lod2fit/Shed.h"
#include "buildings/lod2fit/detail/Compound.h"

namespace lod2fit {

RoofMesh ShedGabledCross::build(const RoofParams& p, const Footprint& footprint) const {
    return detail::buildCompound(detail::Layout::Cross, p, footprint, Gabled(), Shed());
}

}  // namespace lod2fit

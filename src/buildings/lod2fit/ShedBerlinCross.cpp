#include "buildings/lod2fit/ShedBerlinCross.h"

#include "buildings/lod2fit/AsymGabled.h"
#include "buildings/lod2fit/Shed.h"
#include "buildings/lod2fit/detail/Compound.h"

namespace lod2fit {

RoofMesh ShedBerlinCross::build(const RoofParams& p, const Footprint& footprint) const {
    return detail::buildCompound(detail::Layout::Cross, p, footprint, AsymGabled(), Shed());
}

}  // namespace lod2fit

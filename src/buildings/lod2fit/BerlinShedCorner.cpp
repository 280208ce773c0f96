#include "buildings/lod2fit/BerlinShedCorner.h"

#include "buildings/lod2fit/AsymGabled.h"
#include "buildings/lod2fit/Shed.h"
#include "buildings/lod2fit/detail/Compound.h"

namespace lod2fit {

RoofMesh BerlinShedCorner::build(const RoofParams& p, const Footprint& footprint) const {
    return detail::buildCompound(detail::Layout::Corner, p, footprint, AsymGabled(), Shed());
}

}  // namespace lod2fit

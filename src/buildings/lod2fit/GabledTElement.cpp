#include "buildings/lod2fit/GabledTElement.h"

#include "buildings/lod2fit/Gabled.h"

#include "buildings/lod2fit/detail/Compound.h"

namespace lod2fit {

RoofMesh GabledTElement::build(const RoofParams& p, const Footprint& footprint) const {
    return detail::buildCompound(detail::Layout::TElement, p, footprint, Gabled(), Gabled());
}

}  // namespace lod2fit

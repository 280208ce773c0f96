#include "buildings/lod2fit/AsymGabled.h"

#include "buildings/lod2fit/Flat.h"
#include "buildings/lod2fit/detail/Gable.h"

namespace lod2fit {

RoofMesh AsymGabled::build(const RoofParams& p, const Footprint& footprint) const {
    if (footprint.size() != 4) return Flat().build(p, footprint);
    return detail::buildGable(p, footprint, 0.68);
}

}  // namespace lod2fit

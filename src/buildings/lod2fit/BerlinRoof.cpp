#include "buildings/lod2fit/BerlinRoof.h"

#include "buildings/lod2fit/Flat.h"
#include "buildings/lod2fit/detail/MansardBox.h"

namespace lod2fit {

RoofMesh BerlinRoof::build(const RoofParams& p, const Footprint& footprint) const {
    if (footprint.size() != 4) return Flat().build(p, footprint);
    return detail::buildMansardBox(p, footprint, false);
}

}  // namespace lod2fit

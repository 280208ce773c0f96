#include "buildings/lod2fit/ShedCornerInvers.h"

#include "buildings/lod2fit/Shed.h"
#include "buildings/lod2fit/detail/Prism.h"

namespace lod2fit {

RoofMesh ShedCornerInvers::build(const RoofParams& p, const Footprint& footprint) const {
    if (footprint.size() < 3) return {};
    const geodesy::Bbox box = detail::boundsOf(footprint);
    RoofParams inverted = p;
    inverted.dirX = -1.0;
    inverted.dirY = 0.0;
    RoofMesh mesh = Shed().build(inverted, detail::rectangle(box.minE, box.maxE, box.minN, box.centre().y));
    mesh.append(Shed().build(p, detail::rectangle(box.minE, box.centre().x, box.minN, box.maxN, true)));
    return mesh;
}

}  // namespace lod2fit

#include "buildings/lod2fit/Flat.h"

#include "buildings/lod2fit/detail/Prism.h"

namespace lod2fit {

RoofMesh Flat::build(const RoofParams& p, const Footprint& footprint) const {
    std::vector<std::int32_t> top;
    RoofMesh mesh = detail::buildPrism(footprint, p.groundZ, p.eaveZ, top);
    if (!top.empty()) mesh.faces.push_back(top);
    return mesh;
}

}  // namespace lod2fit

#include "buildings/lod2fit/Tent.h"

#include "buildings/lod2fit/detail/Prism.h"

namespace lod2fit {

RoofMesh Tent::build(const RoofParams& p, const Footprint& f) const {
    std::vector<std::int32_t> t;
    RoofMesh mesh = detail::buildPrism(f, p.groundZ, p.eaveZ, t);
    if (t.empty()) return mesh;
    double cx = 0, cy = 0;
    for (const geodesy::PlanarPoint& q : f) {
        cx += q.x;
        cy += q.y;
    }
    const std::int32_t apex = mesh.add(cx / f.size(), cy / f.size(), p.ridgeZ);
    for (std::size_t i = 0; i < t.size(); ++i) mesh.faces.push_back({t[i], t[(i + 1) % t.size()], apex});
    return mesh;
}

}  // namespace lod2fit

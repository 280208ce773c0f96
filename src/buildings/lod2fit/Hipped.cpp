#include "buildings/lod2fit/Hipped.h"

#include <algorithm>
#include <cmath>

#include "buildings/lod2fit/Flat.h"
#include "buildings/lod2fit/detail/Prism.h"

namespace lod2fit {

RoofMesh Hipped::build(const RoofParams& p, const Footprint& f) const {
    if (f.size() != 4) return Flat().build(p, f);
    std::vector<std::int32_t> t;
    RoofMesh mesh = detail::buildPrism(f, p.groundZ, p.eaveZ, t);
    const detail::Midline mid = detail::midlineOf(f);
    const double m1x = mid.m1x, m1y = mid.m1y, m2x = mid.m2x, m2y = mid.m2y, len = mid.length, ux = mid.ux, uy = mid.uy;
    const double h = std::max(0.0, std::min(p.hipLength, len / 2 - 1e-6));
    const std::int32_t a = mesh.add(m1x + h * ux, m1y + h * uy, p.ridgeZ);
    const std::int32_t b = mesh.add(m2x - h * ux, m2y - h * uy, p.ridgeZ);
    mesh.faces.push_back({t[0], t[1], b, a});
    mesh.faces.push_back({t[2], t[3], a, b});
    mesh.faces.push_back({t[3], t[0], a});
    mesh.faces.push_back({t[1], t[2], b});
    return mesh;
}

}  // namespace lod2fit

#include "buildings/lod2fit/HippedOneSided.h"

#include <algorithm>
#include <cmath>

#include "buildings/lod2fit/Flat.h"
#include "buildings/lod2fit/detail/Prism.h"

namespace lod2fit {

RoofMesh HippedOneSided::build(const RoofParams& p, const Footprint& f) const {
    if (f.size() != 4) return Flat().build(p, f);
    std::vector<std::int32_t> t;
    RoofMesh mesh = detail::buildPrism(f, p.groundZ, p.eaveZ, t);
    const double m1x = (f[0].x + f[3].x) / 2, m1y = (f[0].y + f[3].y) / 2;
    const double m2x = (f[1].x + f[2].x) / 2, m2y = (f[1].y + f[2].y) / 2;
    const double len = std::hypot(m2x - m1x, m2y - m1y);
    double ux = m2x - m1x, uy = m2y - m1y;
    if (len > 1e-12) {
        ux /= len;
        uy /= len;
    }
    const double h = std::max(0.0, std::min(len - 1e-6, p.hipLength));
    const std::int32_t r1 = mesh.add(m1x, m1y, p.ridgeZ);
    const std::int32_t r2 = mesh.add(m2x - h * ux, m2y - h * uy, p.ridgeZ);
    mesh.faces.push_back({t[0], t[1], r2, r1});
    mesh.faces.push_back({t[3], r1, r2, t[2]});
    mesh.faces.push_back({t[0], r1, t[3]});
    mesh.faces.push_back({t[1], t[2], r2});
    return mesh;
}

}  // namespace lod2fit

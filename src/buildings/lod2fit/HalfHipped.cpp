#include "buildings/lod2fit/HalfHipped.h"

#include <algorithm>

#include "buildings/lod2fit/Flat.h"
#include "buildings/lod2fit/detail/Prism.h"

namespace lod2fit {

RoofMesh HalfHipped::build(const RoofParams& p, const Footprint& f) const {
    if (f.size() != 4) return Flat().build(p, f);
    std::vector<std::int32_t> t;
    RoofMesh mesh = detail::buildPrism(f, p.groundZ, p.eaveZ, t);
    const detail::LocalFrame frame(p);
    const double x0 = frame.toLocal(f[0]).x, x1 = frame.toLocal(f[1]).x;
    const double y0 = frame.toLocal(f[0]).y, y3 = frame.toLocal(f[3]).y;
    const double ym = (y0 + y3) / 2;
    const double h = std::max(0.0, std::min((x1 - x0) / 2 - 1e-6, p.hipLength));
    const double share = std::clamp(p.halfHipFraction, 0.05, 0.95);
    const double knee = p.eaveZ + share * (p.ridgeZ - p.eaveZ);
    auto at = [&](double a, double b, double z) {
        const geodesy::PlanarPoint w = frame.toWorld(a, b);
        return mesh.add(w.x, w.y, z);
    };
    const std::int32_t r1 = at(x0 + h, ym, p.ridgeZ), r2 = at(x1 - h, ym, p.ridgeZ);
    const std::int32_t k1 = at(x0, y0 + share * (ym - y0), knee), k2 = at(x0, y3 + share * (ym - y3), knee);
    const std::int32_t k3 = at(x1, y0 + share * (ym - y0), knee), k4 = at(x1, y3 + share * (ym - y3), knee);
    mesh.faces.push_back({k1, t[0], t[1], k3, r2, r1});
    mesh.faces.push_back({t[3], k2, r1, r2, k4, t[2]});
    mesh.faces.push_back({t[0], k1, k2, t[3]});
    mesh.faces.push_back({t[1], t[2], k4, k3});
    mesh.faces.push_back({k1, r1, k2});
    mesh.faces.push_back({k3, k4, r2});
    return mesh;
}

}  // namespace lod2fit

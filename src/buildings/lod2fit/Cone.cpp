#include "buildings/lod2fit/Cone.h"

#include <cmath>
#include <numbers>

#include "buildings/lod2fit/detail/Round.h"

namespace lod2fit {

RoofMesh Cone::build(const RoofParams& p, const Footprint& f) const {
    if (f.empty()) return {};
    const detail::Round c = detail::roundOf(p, f);
    RoofMesh mesh;
    std::vector<std::int32_t> base, top;
    for (int i = 0; i < c.n; ++i) {
        const double a = i * 2 * std::numbers::pi / c.n;
        base.push_back(mesh.add(c.cx + c.r * std::cos(a), c.cy + c.r * std::sin(a), p.groundZ));
    }
    for (int i = 0; i < c.n; ++i) {
        const geodesy::SpatialPoint q = mesh.vertices[static_cast<std::size_t>(base[i])];
        top.push_back(mesh.add(q.x, q.y, p.eaveZ));
    }
    const std::int32_t apex = mesh.add(c.cx, c.cy, p.ridgeZ);
    mesh.faces.push_back(base);
    for (int i = 0; i < c.n; ++i) {
        const int j = (i + 1) % c.n;
        mesh.faces.push_back({base[i], base[j], top[j], top[i]});
        mesh.faces.push_back({top[i], top[j], apex});
    }
    return mesh;
}

}  // namespace lod2fit

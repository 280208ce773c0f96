#include "buildings/lod2fit/detail/Gable.h"

#include "buildings/lod2fit/detail/Prism.h"

namespace lod2fit::detail {

RoofMesh buildGable(const RoofParams& p, const Footprint& f, double share) {
    std::vector<std::int32_t> t;
    RoofMesh mesh = buildPrism(f, p.groundZ, p.eaveZ, t);
    if (t.size() != 4) return mesh;
    const std::int32_t r1 = mesh.add(f[0].x + share * (f[3].x - f[0].x), f[0].y + share * (f[3].y - f[0].y), p.ridgeZ);
    const std::int32_t r2 = mesh.add(f[1].x + share * (f[2].x - f[1].x), f[1].y + share * (f[2].y - f[1].y), p.ridgeZ);
    mesh.faces.push_back({t[0], t[1], r2, r1});
    mesh.faces.push_back({t[3], r1, r2, t[2]});
    mesh.faces.push_back({t[0], r1, t[3]});
    mesh.faces.push_back({t[1], t[2], r2});
    return mesh;
}

}  // namespace lod2fit::detail

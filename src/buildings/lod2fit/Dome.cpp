#include "buildings/lod2fit/Dome.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "buildings/lod2fit/detail/Round.h"

namespace lod2fit {

RoofMesh Dome::build(const RoofParams& p, const Footprint& f) const {
    if (f.empty()) return {};
    const detail::Round c = detail::roundOf(p, f);
    const int rings = std::max(6, p.segments / 2);
    RoofMesh mesh;
    auto ring = [&](double radius, double z) {
        std::vector<std::int32_t> idx;
        for (int i = 0; i < c.n; ++i) {
            const double a = i * 2 * std::numbers::pi / c.n;
            idx.push_back(mesh.add(c.cx + radius * std::cos(a), c.cy + radius * std::sin(a), z));
        }
        return idx;
    };
    const std::vector<std::int32_t> base = ring(c.r, p.groundZ);
    mesh.faces.push_back(base);
    std::vector<std::int32_t> below = base;
    for (int k = 0; k < rings; ++k) {
        const double phi = k * (std::numbers::pi / 2) / rings;
        const std::vector<std::int32_t> here =
            ring(c.r * std::cos(phi), p.eaveZ + (p.ridgeZ - p.eaveZ) * std::sin(phi));
        for (int i = 0; i < c.n; ++i) {
            const int j = (i + 1) % c.n;
            mesh.faces.push_back({below[i], below[j], here[j], here[i]});
        }
        below = here;
    }
    const std::int32_t apex = mesh.add(c.cx, c.cy, p.ridgeZ);
    for (int i = 0; i < c.n; ++i) mesh.faces.push_back({below[i], below[(i + 1) % c.n], apex});
    return mesh;
}

}  // namespace lod2fit

#include "buildings/lod2fit/Shed.h"

#include <algorithm>

#include "buildings/lod2fit/detail/Prism.h"

namespace lod2fit {

RoofMesh Shed::build(const RoofParams& p, const Footprint& footprint) const {
    // Heights rise linearly along the slope axis, across the longest edge.
    const double nx = -p.dirY, ny = p.dirX;
    std::vector<double> s;
    for (const geodesy::PlanarPoint& q : footprint) s.push_back(nx * q.x + ny * q.y);
    std::vector<double> tops(footprint.size(), p.eaveZ);
    if (!s.empty()) {
        const auto [lo, hi] = std::minmax_element(s.begin(), s.end());
        const double span = *hi - *lo;
        if (span > 0.0)
            for (std::size_t i = 0; i < s.size(); ++i) tops[i] = p.eaveZ + (p.ridgeZ - p.eaveZ) * (s[i] - *lo) / span;
    }
    std::vector<std::int32_t> top;
    RoofMesh mesh = detail::buildPrism(footprint, p.groundZ, tops, top);
    if (!top.empty()) mesh.faces.push_back(top);
    return mesh;
}

}  // namespace lod2fit

#include "buildings/lod2fit/detail/Prism.h"

#include <cmath>

namespace lod2fit::detail {

RoofMesh buildPrism(const Footprint& footprint, double base, const std::vector<double>& tops,
                    std::vector<std::int32_t>& top) {
    RoofMesh mesh;
    top.clear();
    const auto n = static_cast<std::int32_t>(footprint.size());
    if (n < 3 || tops.size() != footprint.size()) return mesh;
    for (const geodesy::PlanarPoint& p : footprint) mesh.add(p.x, p.y, base);
    for (std::int32_t i = 0; i < n; ++i) top.push_back(mesh.add(footprint[i].x, footprint[i].y, tops[i]));
    std::vector<std::int32_t> bottom;
    for (std::int32_t i = 0; i < n; ++i) bottom.push_back(i);
    mesh.faces.push_back(bottom);
    for (std::int32_t i = 0; i < n; ++i) {
        const std::int32_t j = (i + 1) % n;
        mesh.faces.push_back({i, j, n + j, n + i});
    }
    return mesh;
}

RoofMesh buildPrism(const Footprint& footprint, double base, double topZ, std::vector<std::int32_t>& top) {
    return buildPrism(footprint, base, std::vector<double>(footprint.size(), topZ), top);
}

Footprint rectangle(double x0, double x1, double y0, double y1, bool fromSecond) {
    if (fromSecond) return {{x1, y0}, {x1, y1}, {x0, y1}, {x0, y0}};
    return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
}

geodesy::Bbox boundsOf(const Footprint& footprint) {
    if (footprint.empty()) return {};
    geodesy::Bbox box{footprint[0].x, footprint[0].y, footprint[0].x, footprint[0].y};
    for (const geodesy::PlanarPoint& p : footprint) {
        box.minE = std::min(box.minE, p.x);
        box.minN = std::min(box.minN, p.y);
        box.maxE = std::max(box.maxE, p.x);
        box.maxN = std::max(box.maxN, p.y);
    }
    return box;
}

Midline midlineOf(const Footprint& f) {
    Midline m{(f[0].x + f[3].x) / 2, (f[0].y + f[3].y) / 2, (f[1].x + f[2].x) / 2, (f[1].y + f[2].y) / 2, 0, 0, 0};
    m.length = std::hypot(m.m2x - m.m1x, m.m2y - m.m1y);
    m.ux = m.m2x - m.m1x;
    m.uy = m.m2y - m.m1y;
    if (m.length > 1e-12) {
        m.ux /= m.length;
        m.uy /= m.length;
    }
    return m;
}

}  // namespace lod2fit::detail

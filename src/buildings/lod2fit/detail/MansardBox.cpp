#include "buildings/lod2fit/detail/MansardBox.h"

#include <algorithm>

#include "buildings/lod2fit/detail/Prism.h"

namespace lod2fit::detail {

RoofMesh buildMansardBox(const RoofParams& p, const Footprint& f, bool withRidge) {
    const LocalFrame frame(p);
    const double x0 = frame.toLocal(f[0]).x, x1 = frame.toLocal(f[1]).x;
    const double y0 = frame.toLocal(f[0]).y, y3 = frame.toLocal(f[3]).y;
    const double depth = y3 - y0;
    const double inset = std::min(depth / 2 - 1e-6, depth / 2 * p.mansardInset);
    const double knee = p.eaveZ + (p.ridgeZ - p.eaveZ) * p.mansardShape;
    RoofMesh mesh;
    auto at = [&](double a, double b, double z) {
        const geodesy::PlanarPoint w = frame.toWorld(a, b);
        return mesh.add(w.x, w.y, z);
    };
    const std::int32_t b0 = at(x0, y0, p.groundZ), b1 = at(x1, y0, p.groundZ), b2 = at(x1, y3, p.groundZ),
                       b3 = at(x0, y3, p.groundZ);
    const std::int32_t e0 = at(x0, y0, p.eaveZ), e1 = at(x1, y0, p.eaveZ), e2 = at(x1, y3, p.eaveZ),
                       e3 = at(x0, y3, p.eaveZ);
    const std::int32_t k0 = at(x0, y0 + inset, knee), k1 = at(x1, y0 + inset, knee), k2 = at(x1, y3 - inset, knee),
                       k3 = at(x0, y3 - inset, knee);
    mesh.faces = {{b0, b1, b2, b3}, {b0, b1, e1, e0}, {b1, b2, e2, e1}, {b2, b3, e3, e2},
                  {b3, b0, e0, e3}, {e0, e1, k1, k0}, {e2, e3, k3, k2}};
    if (withRidge) {
        const std::int32_t r0 = at(x0, y0 + depth / 2, p.ridgeZ), r1 = at(x1, y0 + depth / 2, p.ridgeZ);
        mesh.faces.push_back({k0, k1, r1, r0});
        mesh.faces.push_back({k2, k3, r0, r1});
        mesh.faces.push_back({e3, e0, k0, r0, k3});
        mesh.faces.push_back({e1, e2, k2, r1, k1});
    } else {
        mesh.faces.push_back({k0, k1, k2, k3});
        mesh.faces.push_back({e3, e0, k0, k3});
        mesh.faces.push_back({e1, e2, k2, k1});
    }
    return mesh;
}

}  // namespace lod2fit::detail

#include "buildings/lod2fit/Barrel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "buildings/lod2fit/Flat.h"
#include "buildings/lod2fit/detail/Prism.h"

namespace lod2fit {

RoofMesh Barrel::build(const RoofParams& p, const Footprint& f) const {
    if (f.size() != 4) return Flat().build(p, f);
    const detail::LocalFrame frame(p);
    const double x0 = frame.toLocal(f[0]).x, x1 = frame.toLocal(f[1]).x;
    const double y0 = frame.toLocal(f[0]).y, y3 = frame.toLocal(f[3]).y;
    const int k = std::max(2, p.segments);
    RoofMesh mesh;
    auto at = [&](double a, double b, double z) {
        const geodesy::PlanarPoint w = frame.toWorld(a, b);
        return mesh.add(w.x, w.y, z);
    };
    const std::int32_t b0 = at(x0, y0, p.groundZ), b1 = at(x1, y0, p.groundZ), b2 = at(x1, y3, p.groundZ),
                       b3 = at(x0, y3, p.groundZ);
    std::vector<std::int32_t> front, back;  // the arch at x0 and at x1
    for (int i = 0; i <= k; ++i) {
        const double t = static_cast<double>(i) / k;
        const double z = p.eaveZ + (p.ridgeZ - p.eaveZ) * std::sin(std::numbers::pi * t);
        front.push_back(at(x0, y0 + t * (y3 - y0), z));
        back.push_back(at(x1, y0 + t * (y3 - y0), z));
    }
    mesh.faces.push_back({b0, b1, b2, b3});
    mesh.faces.push_back({b0, b1, back.front(), front.front()});
    mesh.faces.push_back({b2, b3, front.back(), back.back()});
    std::vector<std::int32_t> end0 = {b3, b0}, end1 = {b1, b2};
    end0.insert(end0.end(), front.begin(), front.end());
    end1.insert(end1.end(), back.rbegin(), back.rend());
    mesh.faces.push_back(end0);
    mesh.faces.push_back(end1);
    for (int i = 0; i < k; ++i) mesh.faces.push_back({front[i], back[i], back[i + 1], front[i + 1]});
    return mesh;
}

}  // namespace lod2fit

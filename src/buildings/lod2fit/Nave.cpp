#include "buildings/lod2fit/Nave.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "buildings/lod2fit/Flat.h"
#include "buildings/lod2fit/Gabled.h"
#include "buildings/lod2fit/detail/Prism.h"

namespace lod2fit {

RoofMesh Nave::build(const RoofParams& p, const Footprint& f) const {
    if (f.size() != 4) return Flat().build(p, f);
    // A gabled hall over the box with a half-round apse bulging beyond its western end, roofed up to the ridge.
    const geodesy::Bbox box = detail::boundsOf(f);
    RoofMesh mesh = Gabled().build(p, detail::rectangle(box.minE, box.maxE, box.minN, box.maxN));
    const int k = std::max(4, p.segments);
    const double r = box.height() / 2, cy = box.centre().y;
    Footprint apse;
    for (int i = 0; i <= k; ++i) {
        const double a = std::numbers::pi / 2 + i * std::numbers::pi / k;
        apse.push_back({box.minE + r * std::cos(a), cy + r * std::sin(a)});
    }
    std::vector<std::int32_t> t;
    RoofMesh part = detail::buildPrism(apse, p.groundZ, p.eaveZ, t);
    if (!t.empty()) {
        const std::int32_t apex = part.add(box.minE, cy, p.ridgeZ);
        for (std::size_t i = 0; i + 1 < t.size(); ++i) part.faces.push_back({t[i], t[i + 1], apex});
        part.faces.push_back({t.back(), t.front(), apex});
    }
    mesh.append(part);
    return mesh;
}

}  // namespace lod2fit

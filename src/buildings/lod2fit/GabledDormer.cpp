#include "buildings/lod2fit/GabledDormer.h"

#include <algorithm>

#include "buildings/lod2fit/Gabled.h"
#include "buildings/lod2fit/detail/Prism.h"

namespace lod2fit {

RoofMesh GabledDormer::build(const RoofParams& p, const Footprint& f) const {
    if (f.size() < 3) return {};
    const geodesy::Bbox box = detail::boundsOf(f);
    RoofMesh mesh = Gabled().build(p, detail::rectangle(box.minE, box.maxE, box.minN, box.maxN));
    const double h = box.height() / 2;
    const int count = std::max(0, p.dormerCount);
    if (h <= 0.0 || count == 0) return mesh;
    // Dormers spread evenly along the front slope: walls from 0.13 of the half width, 0.95 m above the slope
    // there, 1.4 m deep, floors 0.3 m under the eave and a small gable 0.5 of the width high.
    const double slope = (p.ridgeZ - p.eaveZ) / h;
    const double yFront = box.minN + 0.13 * h, yBack = std::min(box.minN + h, yFront + 1.4);
    const double wallTop = p.eaveZ + slope * 0.13 * h + 0.95;
    const double w = p.dormerWidth;
    for (int i = 0; i < count; ++i) {
        const double cx = box.minE + box.width() * (i + 1) / (count + 1);
        std::vector<std::int32_t> t;
        RoofMesh dormer =
            detail::buildPrism(detail::rectangle(cx - w / 2, cx + w / 2, yFront, yBack), p.eaveZ - 0.3, wallTop, t);
        if (t.size() == 4) {
            const std::int32_t r1 = dormer.add(cx, yFront, wallTop + 0.5 * w);
            const std::int32_t r2 = dormer.add(cx, yBack, wallTop + 0.5 * w);
            dormer.faces.push_back({t[0], r1, r2, t[3]});
            dormer.faces.push_back({t[1], t[2], r2, r1});
            dormer.faces.push_back({t[0], t[1], r1});
            dormer.faces.push_back({t[2], t[3], r2});
        }
        mesh.append(dormer);
    }
    return mesh;
}

}  // namespace lod2fit

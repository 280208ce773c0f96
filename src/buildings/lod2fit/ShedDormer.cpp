#include "buildings/lod2fit/ShedDormer.h"

#include "buildings/lod2fit/Gabled.h"
#include "buildings/lod2fit/detail/Prism.h"

namespace lod2fit {

RoofMesh ShedDormer::build(const RoofParams& p, const Footprint& f) const {
    if (f.size() < 3) return {};
    const geodesy::Bbox box = detail::boundsOf(f);
    RoofMesh mesh = Gabled().build(p, detail::rectangle(box.minE, box.maxE, box.minN, box.maxN));
    const double h = box.height() / 2;
    if (h <= 0.0) return mesh;
    const double slope = (p.ridgeZ - p.eaveZ) / h;
    const double cx = box.centre().x, yFront = box.minN + 0.14 * h, yBack = box.minN + 0.56 * h;
    const double front = p.eaveZ + slope * 0.14 * h + 0.9, back = p.eaveZ + slope * 0.56 * h - 0.3;
    std::vector<std::int32_t> t;
    RoofMesh dormer =
        detail::buildPrism(detail::rectangle(cx - p.dormerWidth / 2, cx + p.dormerWidth / 2, yFront, yBack),
                           p.eaveZ - 0.3, {front, front, back, back}, t);
    if (!t.empty()) dormer.faces.push_back(t);
    mesh.append(dormer);
    return mesh;
}

}  // namespace lod2fit

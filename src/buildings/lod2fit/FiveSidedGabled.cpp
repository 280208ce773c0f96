#include "buildings/lod2fit/FiveSidedGabled.h"

#include <algorithm>

#include "buildings/lod2fit/detail/Prism.h"

namespace lod2fit {

RoofMesh FiveSidedGabled::build(const RoofParams& p, const Footprint& f) const {
    if (f.size() < 3) return {};
    // A house-shaped outline: a rectangle of 0.9 of the box with one corner pair cut by 0.22 of the smaller
    // extent towards a middle point; the roof rises from its walls to a ridge over the middle.
    const geodesy::Bbox box = detail::boundsOf(f);
    const double cx = box.centre().x, cy = box.centre().y;
    const double hx = 0.45 * box.width(), hy = 0.45 * box.height();
    const double cut = 0.22 * std::min(box.width(), box.height());
    const Footprint outline = {
        {cx - hx, cy - hy}, {cx + hx, cy - hy}, {cx + hx, cy + hy - cut}, {cx, cy + hy}, {cx - hx, cy + hy - cut}};
    std::vector<std::int32_t> t;
    RoofMesh mesh = detail::buildPrism(outline, p.groundZ, p.eaveZ, t);
    const std::int32_t r0 = mesh.add(cx, cy - hy, p.ridgeZ), r1 = mesh.add(cx, cy + hy, p.ridgeZ);
    mesh.vertices[static_cast<std::size_t>(t[3])].z = p.ridgeZ;
    mesh.faces.push_back({t[0], r0, r1, t[4]});
    mesh.faces.push_back({r0, t[1], t[2], r1});
    mesh.faces.push_back({t[4], r1, t[3]});
    mesh.faces.push_back({r1, t[2], t[3]});
    return mesh;
}

}  // namespace lod2fit

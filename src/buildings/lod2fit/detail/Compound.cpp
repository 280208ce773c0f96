#include "buildings/lod2fit/detail/Compound.h"

#include "buildings/lod2fit/detail/Prism.h"

namespace lod2fit::detail {

RoofMesh buildCompound(Layout layout, const RoofParams& p, const Footprint& f, const RoofPrimitive& first,
                       const RoofPrimitive& second) {
    if (f.size() < 3) return {};
    const geodesy::Bbox box = boundsOf(f);
    const double x0 = box.minE, x1 = box.maxE, y0 = box.minN, y1 = box.maxN;
    const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    Footprint a, b;
    switch (layout) {
        case Layout::Cross: {
            const double qx = (x1 - x0) / 4, qy = (y1 - y0) / 4;
            a = rectangle(x0, x1, cy - qy, cy + qy);
            b = rectangle(cx - qx, cx + qx, y0, y1, true);
            break;
        }
        case Layout::Corner:
            a = rectangle(x0, x1, y0, y0 + (y1 - y0) / 2);
            b = rectangle(x0, x0 + (x1 - x0) / 2, y0, y1, true);
            break;
        case Layout::TElement:
            a = rectangle(x0, x1, y1 - (y1 - y0) / 2, y1);
            b = rectangle(cx - 0.22 * (x1 - x0), cx + 0.22 * (x1 - x0), y0, y1, true);
            break;
    }
    RoofMesh mesh = first.build(p, a);
    mesh.append(second.build(p, b));
    return mesh;
}

}  // namespace lod2fit::detail

#include "buildings/Lod1Solid.h"

#include <algorithm>
#include <mutex>

namespace buildings {

namespace {

constexpr std::int32_t kSlabReferenceCode = 3;

// The first building material the host lists, looked up once per installed host (0 keeps the default).
std::int32_t slabMaterial(host::Host& h) {
    static std::mutex mutex;
    static host::Host* askedHost = nullptr;
    static std::int32_t material = 0;
    std::lock_guard<std::mutex> lock(mutex);
    if (askedHost != &h) {
        askedHost = &h;
        material = 0;
        std::vector<host::Attribute> all;
        if (h.listAttributes(host::kAttrBuildingMaterial, all) == host::kHostOk && !all.empty())
            material = all.front().index;
    }
    return material;
}

// A closed contour of the ring, turned to run anticlockwise or clockwise.
std::vector<host::HostPoint2> contour(const std::vector<geodesy::PlanarPoint>& ring, bool anticlockwise) {
    std::vector<host::HostPoint2> out;
    out.reserve(ring.size() + 1);
    for (const geodesy::PlanarPoint& p : ring) out.push_back({p.x, p.y});
    if (!(out.back() == out.front())) out.push_back(out.front());
    double area = 0.0;
    for (std::size_t k = 0; k + 1 < out.size(); ++k) area += out[k].x * out[k + 1].y - out[k + 1].x * out[k].y;
    if ((area > 0.0) != anticlockwise && area != 0.0) std::reverse(out.begin(), out.end());
    return out;
}

}  // namespace

host::HostError makeLod1Solid(const std::vector<geodesy::PlanarPoint>& footprint, double baseLevel, double height,
                              std::int32_t layer, const std::string& id,
                              const std::vector<std::vector<geodesy::PlanarPoint>>& holes) {
    if (footprint.size() < 3 || !(height > 0.0)) return host::kHostOk;
    host::Host& h = host::host();
    host::SlabElement slab;
    if (const host::HostError e = h.defaultSlab(slab)) return e;
    slab.layer = layer;
    slab.level = baseLevel;
    slab.thickness = height;
    slab.referenceCode = kSlabReferenceCode;
    slab.extraSetting = 0;
    if (const std::int32_t material = slabMaterial(h)) slab.buildingMaterial = material;
    slab.contours = {contour(footprint, true)};
    for (const auto& hole : holes)
        if (hole.size() >= 3) slab.contours.push_back(contour(hole, false));
    host::ElementId element;
    if (const host::HostError e = h.createSlab(slab, element)) return e;
    if (!id.empty()) h.setElementIdText(element, id);
    return host::kHostOk;
}

}  // namespace buildings

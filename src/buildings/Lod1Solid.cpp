#include "buildings/Lod1Solid.h"

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

}  // namespace

host::HostError makeLod1Solid(const std::vector<geodesy::PlanarPoint>& footprint, double baseLevel, double height,
                              std::int32_t layer, const std::string& id) {
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
    std::vector<host::HostPoint2> outline;
    outline.reserve(footprint.size() + 1);
    for (const geodesy::PlanarPoint& p : footprint) outline.push_back({p.x, p.y});
    if (!(outline.back() == outline.front())) outline.push_back(outline.front());
    slab.contours = {std::move(outline)};
    host::ElementId element;
    if (const host::HostError e = h.createSlab(slab, element)) return e;
    if (!id.empty()) h.setElementIdText(element, id);
    return host::kHostOk;
}

}  // namespace buildings

#include "import/StructurePlacement.h"

#include "buildings/MorphMaker.h"
#include "import/PlacementContext.h"
#include "platform/Numbers.h"

namespace importer {

namespace {

// One kind of structure: where it goes, its materials and its report line.
struct StructureKind {
    const char* countKey;
    const char* material;  // the correction material is this name + " - POPRAW"
    host::HostColour colour;
    const char* report;  // followed by the count made and the details
};

const host::HostColour kCorrection{0.9, 0.1, 0.6};
const StructureKind kCloudRoofs{
    "dachychmura", "GIS Dach z chmury", {0.6, 0.55, 0.5}, "TERRAVOX dachy z chmury: utworzono "};
const StructureKind kNdsm{"budynkindsm", "GIS Budynek nMPT", {0.6, 0.55, 0.5}, "TERRAVOX budynki nMPT: utworzono "};
const StructureKind kRekon{
    "budynkirekon", "GIS Budynek LOD2 rekon", {0.62, 0.6, 0.55}, "TERRAVOX rekonstrukcja LOD2: utworzono "};
const StructureKind kBridges{"mosty", "GIS Most nMPT", {0.55, 0.55, 0.58}, "TERRAVOX mosty: utworzono "};
const StructureKind kRoads{"drogi", "GIS Droga", {0.3, 0.3, 0.32}, "TERRAVOX drogi: utworzono "};

// The material of that name, created with the colour when missing; 0 (the default) when it can be neither.
std::int32_t materialNamed(const std::string& name, const host::HostColour& colour) {
    host::Attribute found;
    if (host::host().findAttribute(host::kAttrMaterial, name, found) == host::kHostOk && found.index > 0)
        return found.index;
    host::Attribute created;
    created.kind = host::kAttrMaterial;
    created.name = name;
    created.colour = colour;
    return host::host().createAttribute(created) == host::kHostOk ? created.index : 0;
}

// One solid of faces with fetched (PL-1992, above sea level) vertices.
using Solid = std::vector<std::vector<geodesy::SpatialPoint>>;

std::vector<buildings::MorphFace> projectFaces(const PlacementContext& c, const Solid& solid) {
    std::vector<buildings::MorphFace> faces;
    faces.reserve(solid.size());
    for (const auto& face : solid) {
        buildings::MorphFace out;
        out.points.reserve(face.size());
        out.z.reserve(face.size());
        for (const geodesy::SpatialPoint& p : face) {
            const geodesy::PlanarPoint zone = c.toZone.apply({p.x, p.y});
            const host::HostPoint2 q = c.transform.apply(zone.x, zone.y);
            out.points.push_back({q.x, q.y});
            out.z.push_back(p.z - c.buildingOffset);
        }
        faces.push_back(std::move(out));
    }
    return faces;
}

Solid solidOf(const buildings::RoofFitResult& r) {
    Solid solid;
    for (const auto& face : r.faces) {
        std::vector<geodesy::SpatialPoint> ring;
        for (std::int32_t i : face)
            if (i >= 0 && static_cast<std::size_t>(i) < r.vertices.size()) ring.push_back(r.vertices[i]);
        solid.push_back(std::move(ring));
    }
    return solid;
}

// Makes every solid; the count key is set even when nothing was made.
template <typename Result, typename ToSolid>
host::HostError placeAll(PlacementContext& c, const StructureKind& kind, std::int32_t layer,
                         const std::vector<Result>& results, ToSolid toSolid) {
    int made = 0, corrected = 0, failed = 0;
    std::int32_t normal = -1, correction = -1;
    for (const Result& r : results) {
        std::int32_t& material = r.fallback ? correction : normal;
        if (material < 0)
            material = r.fallback ? materialNamed(std::string(kind.material) + " - POPRAW", kCorrection)
                                  : materialNamed(kind.material, kind.colour);
        if (buildings::makeMorphWithRetries(projectFaces(c, toSolid(r)), layer, material) == host::kHostOk) {
            ++made;
            corrected += r.fallback ? 1 : 0;
        } else {
            ++failed;
        }
    }
    c.result.counts[kind.countKey] = made;
    c.result.failures += failed;
    host::host().reportLine(kind.report + platform::cformat("%d", made) +
                            " (do poprawy: " + platform::cformat("%d", corrected) +
                            ", pominieto: " + platform::cformat("%d", failed) + ")");
    return host::kHostOk;
}

Solid structureSolid(const buildings::StructureResult& r) { return r.polygons; }

}  // namespace

host::HostError placeCloudRoofs(PlacementContext& c) {
    if (c.data.roofsCloud.size() != c.data.buildings3d.size()) {
        c.result.counts[kCloudRoofs.countKey] = 0;
        return host::kHostOk;
    }
    return placeAll(c, kCloudRoofs, c.layers.layerNamed("GIS_BUDYNKI_LOD2_CHMURA"), c.data.roofsCloud, solidOf);
}

host::HostError placeNdsmBuildings(PlacementContext& c) {
    if (c.data.buildingsNdsm.size() != c.data.buildings3d.size()) {
        c.result.counts[kNdsm.countKey] = 0;
        return host::kHostOk;
    }
    return placeAll(c, kNdsm, c.layers.layerFor(formats::DataType::budynkindsm), c.data.buildingsNdsm, structureSolid);
}

host::HostError placeRekonBuildings(PlacementContext& c) {
    return placeAll(c, kRekon, c.layers.layerFor(formats::DataType::budynkirekon), c.data.buildingsRekon, solidOf);
}

host::HostError placeBridges(PlacementContext& c) {
    return placeAll(c, kBridges, c.layers.layerFor(formats::DataType::mosty), c.data.bridges, structureSolid);
}

host::HostError placeRoads(PlacementContext& c) {
    return placeAll(c, kRoads, c.layers.layerFor(formats::DataType::drogi), c.data.roads, structureSolid);
}

}  // namespace importer

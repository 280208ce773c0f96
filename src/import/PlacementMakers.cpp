#include "import/PlacementMakers.h"

#include <algorithm>
#include <array>
#include <string>

#include "import/PlacementContext.h"
#include "import/RasterPlacement.h"
#include "settings/DataTypes.h"
#include "terrain/ContourDrawing.h"
#include "terrain/ContourMesh.h"
#include "terrain/TerrainMesh.h"

namespace importer {

namespace {

// Conversion of fetched sets into the working zone.

geodesy::PlanarPoint inZone(const PlacementContext& c, double x, double y) { return c.toZone.apply({x, y}); }

std::vector<geodesy::PlanarPoint> converted(const PlacementContext& c,
                                            const std::vector<geodesy::PlanarPoint>& points) {
    std::vector<geodesy::PlanarPoint> out;
    out.reserve(points.size());
    for (const geodesy::PlanarPoint& p : points) {
        const geodesy::PlanarPoint q = inZone(c, p.x, p.y);
        out.push_back({q.x, q.y});
    }
    return out;
}

std::vector<gml::GisFeature> converted(const PlacementContext& c, const std::vector<gml::GisFeature>& features) {
    std::vector<gml::GisFeature> out = features;
    for (gml::GisFeature& f : out) {
        for (gml::GisPolygon& p : f.polygons) {
            p.outer = converted(c, p.outer);
            for (auto& hole : p.holes) hole = converted(c, hole);
        }
        for (auto& line : f.lines) line = converted(c, line);
        const geodesy::PlanarPoint a = inZone(c, f.anchor.x, f.anchor.y);
        f.anchor = {a.x, a.y};
    }
    return out;
}

// Four corners (min x, min y), (max x, min y), (max x, max y), (min x, max y) of a PL-1992 box,
// converted into the working zone.
std::array<host::HostPoint2, 4> convertedCorners(const PlacementContext& c, double minX, double minY, double maxX,
                                                 double maxY) {
    const geodesy::PlanarPoint p[4] = {inZone(c, minX, minY), inZone(c, maxX, minY), inZone(c, maxX, maxY),
                                       inZone(c, minX, maxY)};
    return {{{p[0].x, p[0].y}, {p[1].x, p[1].y}, {p[2].x, p[2].y}, {p[3].x, p[3].y}}};
}

terrain::TerrainPatch converted(const PlacementContext& c, const terrain::TerrainPatch& patch) {
    terrain::TerrainPatch out;
    out.points.reserve(patch.points.size());
    for (const geodesy::SpatialPoint& p : patch.points) {
        const geodesy::PlanarPoint q = inZone(c, p.x, p.y);
        out.points.push_back({q.x, q.y, p.z});
    }
    for (const geodesy::PlanarPoint& p : patch.outline) out.outline.push_back(inZone(c, p.x, p.y));
    const auto corners = convertedCorners(c, patch.minX, patch.minY, patch.maxX, patch.maxY);
    out.minX = out.maxX = corners[0].x;
    out.minY = out.maxY = corners[0].y;
    for (const host::HostPoint2& q : corners) {
        out.minX = std::min(out.minX, q.x);
        out.maxX = std::max(out.maxX, q.x);
        out.minY = std::min(out.minY, q.y);
        out.maxY = std::max(out.maxY, q.y);
    }
    return out;
}

std::vector<terrain::ContourLine> converted(const PlacementContext& c, const std::vector<terrain::ContourLine>& lines) {
    std::vector<terrain::ContourLine> out = lines;
    for (terrain::ContourLine& line : out)
        for (geodesy::PlanarPoint& p : line.points) {
            const geodesy::PlanarPoint q = inZone(c, p.x, p.y);
            p = {q.x, q.y};
        }
    return out;
}

}  // namespace

host::HostError placeRasters(PlacementContext& c) {
    for (const RasterImage& raster : c.data.rasters) {
        const std::string key = settings::dataTypeKey(raster.type);
        const host::HostError e =
            placeRasterPicture(raster, c.workingEpsg, c.transform, c.layers.layerFor(raster.type));
        if (e != host::kHostOk) return c.abort("Blad wstawiania rastra (kod " + std::to_string(e) + ") dla: " + key);
        if (!raster.image.empty()) ++c.result.counts[key + " (rastr)"];
    }
    return host::kHostOk;
}

host::HostError placeFeatures(PlacementContext& c) {
    const FeatureDrawResult drawn = drawFeatures(converted(c, c.data.features), c.transform, c.layers);
    for (const auto& [key, count] : drawn.counts) c.result.counts[key] += count;
    c.result.failures += drawn.failures;
    if (drawn.bounds.valid) {
        c.result.bounds.add({drawn.bounds.minX, drawn.bounds.minY});
        c.result.bounds.add({drawn.bounds.maxX, drawn.bounds.maxY});
    }
    if (!drawn.error.empty()) return c.abort(drawn.error);
    return host::kHostOk;
}

host::HostError placeTerrain(PlacementContext& c) {
    const std::int32_t layer = c.layers.layerFor(formats::DataType::teren);
    const terrain::PlanarMap map = c.transform.planarMap();
    for (const terrain::TerrainPatch& patch : c.data.terrain) {
        const auto corners = convertedCorners(c, patch.minX, patch.minY, patch.maxX, patch.maxY);
        const host::HostError e = createTerrainMesh(converted(c, patch), map, c.terrainOffset, layer, corners);
        if (e != host::kHostOk) return c.abort("Blad tworzenia Siatki terenu (kod " + std::to_string(e) + ")");
        if (!patch.points.empty()) ++c.result.counts["teren (Siatka)"];
    }
    return host::kHostOk;
}

namespace {

// Terrain and water from the point cloud: a failed patch is skipped, the rest goes on.
host::HostError placeCloudPatches(PlacementContext& c, const terrain::TerrainSet& patches, formats::DataType type,
                                  const char* countKey) {
    const std::int32_t layer = c.layers.layerFor(type);
    const terrain::PlanarMap map = c.transform.planarMap();
    for (const terrain::TerrainPatch& patch : patches) {
        const auto corners = convertedCorners(c, patch.minX, patch.minY, patch.maxX, patch.maxY);
        if (createTerrainMesh(converted(c, patch), map, c.cloudTerrainOffset, layer, corners) != host::kHostOk)
            ++c.result.failures;
        else if (!patch.points.empty()) ++c.result.counts[countKey];
    }
    return host::kHostOk;
}

}  // namespace

host::HostError placeCloudTerrain(PlacementContext& c) {
    return placeCloudPatches(c, c.data.terrainCloud, formats::DataType::terenchmura, "teren z chmury (Siatka)");
}

host::HostError placeCloudWater(PlacementContext& c) {
    return placeCloudPatches(c, c.data.waterCloud, formats::DataType::wodachmura, "woda z chmury (Siatka)");
}

host::HostError placeContours2d(PlacementContext& c) {
    // Without the 2D selection nothing is drawn (labels belong to their lines), so no layer is made.
    if (!c.selected(settings::dataTypeKey(formats::DataType::poziomice2d))) return host::kHostOk;
    const std::int32_t layer = c.layers.layerFor(formats::DataType::poziomice2d);
    const terrain::ContourDrawResult drawn = drawContours2d(converted(c, c.data.contours), c.transform.planarMap(),
                                                            c.transform.angle, layer, c.smoothContours, true);
    if (drawn.polylines > 0) c.result.counts[settings::dataTypeKey(formats::DataType::poziomice2d)] = drawn.polylines;
    if (drawn.labels > 0) c.result.counts["podpisy rzednych"] = drawn.labels;
    c.result.failures += drawn.failures;
    return host::kHostOk;
}

host::HostError placeContourMesh(PlacementContext& c) {
    if (!c.selected(settings::dataTypeKey(formats::DataType::poziomice3d))) return host::kHostOk;
    const std::int32_t layer = c.layers.layerFor(formats::DataType::poziomice3d);
    const auto corners = convertedCorners(c, c.frame.minE, c.frame.minN, c.frame.maxE, c.frame.maxN);
    const terrain::ContourMeshResult mesh =
        createContourMesh(converted(c, c.data.contours), c.transform.planarMap(), c.buildingOffset, layer, corners);
    if (mesh.error != host::kHostOk) {
        ++c.result.failures;
        c.note("Poziomice: nie udalo sie utworzyc Siatki 3D z warstwic.");
    } else if (mesh.created) {
        c.result.counts[settings::dataTypeKey(formats::DataType::poziomice3d)] = 1;
    }
    return host::kHostOk;
}

host::HostError placeCloudContourMesh(PlacementContext& c) {
    const std::int32_t layer = c.layers.layerFor(formats::DataType::poziomicechmura3d);
    const auto corners = convertedCorners(c, c.frame.minE, c.frame.minN, c.frame.maxE, c.frame.maxN);
    const terrain::ContourMeshResult mesh = createContourMesh(
        converted(c, c.data.contoursCloud), c.transform.planarMap(), c.cloudContourOffset, layer, corners);
    if (mesh.error != host::kHostOk) {
        ++c.result.failures;
        c.note("Poziomice z chmury: nie udalo sie utworzyc Siatki 3D.");
    } else if (mesh.created) {
        c.result.counts[settings::dataTypeKey(formats::DataType::poziomicechmura3d)] = 1;
    }
    return host::kHostOk;
}

}  // namespace importer

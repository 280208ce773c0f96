// The table of placement steps and the makers of the kinds placed so far.
#include <algorithm>
#include <array>
#include <string>

#include "import/Placement.h"
#include "import/RasterPlacement.h"
#include "settings/DataTypes.h"
#include "terrain/ContourDrawing.h"
#include "terrain/ContourMesh.h"
#include "terrain/TerrainMesh.h"

using formats::DataType;
using gml::GisFeature, gml::GisPoint, gml::GisPolygon;

namespace {

// ---- Conversion of fetched sets into the working zone ------------------------------------------

EN linear(const PlacementContext& c, double x, double y) { return c.linearization.apply({x, y}); }

std::vector<GisPoint> converted(const PlacementContext& c, const std::vector<GisPoint>& points) {
    std::vector<GisPoint> out;
    out.reserve(points.size());
    for (const GisPoint& p : points) {
        const EN q = linear(c, p.x, p.y);
        out.push_back({q.e, q.n});
    }
    return out;
}

std::vector<GisFeature> converted(const PlacementContext& c, const std::vector<GisFeature>& features) {
    std::vector<GisFeature> out = features;
    for (GisFeature& f : out) {
        for (GisPolygon& p : f.polygons) {
            p.outer = converted(c, p.outer);
            for (auto& hole : p.holes) hole = converted(c, hole);
        }
        for (auto& line : f.lines) line = converted(c, line);
        const EN a = linear(c, f.anchor.x, f.anchor.y);
        f.anchor = {a.e, a.n};
    }
    return out;
}

// Four corners (min x, min y), (max x, min y), (max x, max y), (min x, max y) of a PL-1992 box,
// converted into the working zone.
std::array<HostPoint2, 4> convertedCorners(const PlacementContext& c, double minX, double minY, double maxX,
                                           double maxY) {
    const EN p[4] = {linear(c, minX, minY), linear(c, maxX, minY), linear(c, maxX, maxY), linear(c, minX, maxY)};
    return {{{p[0].e, p[0].n}, {p[1].e, p[1].n}, {p[2].e, p[2].n}, {p[3].e, p[3].n}}};
}

TerrainPatch converted(const PlacementContext& c, const TerrainPatch& patch) {
    TerrainPatch out;
    out.points.reserve(patch.points.size());
    for (const TerrainPoint& p : patch.points) {
        const EN q = linear(c, p.x, p.y);
        out.points.push_back({q.e, q.n, p.z});
    }
    const auto corners = convertedCorners(c, patch.minX, patch.minY, patch.maxX, patch.maxY);
    out.minX = out.maxX = corners[0].x;
    out.minY = out.maxY = corners[0].y;
    for (const HostPoint2& q : corners) {
        out.minX = std::min(out.minX, q.x);
        out.maxX = std::max(out.maxX, q.x);
        out.minY = std::min(out.minY, q.y);
        out.maxY = std::max(out.maxY, q.y);
    }
    return out;
}

std::vector<ContourLine> converted(const PlacementContext& c, const std::vector<ContourLine>& lines) {
    std::vector<ContourLine> out = lines;
    for (ContourLine& line : out)
        for (ContourPoint& p : line.points) {
            const EN q = linear(c, p.x, p.y);
            p = {q.e, q.n};
        }
    return out;
}

// ---- Makers -------------------------------------------------------------------------------------

HostError placeRasters(PlacementContext& c) {
    for (const RasterImage& raster : c.data.rasters) {
        const std::string key = dataTypeKey(raster.type);
        const HostError e = placeRasterPicture(raster, c.workingEpsg, c.transform, c.layers.layerFor(raster.type));
        if (e != kHostOk) return c.abort("Blad wstawiania rastra (kod " + std::to_string(e) + ") dla: " + key);
        if (!raster.image.empty()) ++c.result.counts[key + " (rastr)"];
    }
    return kHostOk;
}

HostError placeFeatures(PlacementContext& c) {
    const FeatureDrawResult drawn = drawFeatures(converted(c, c.data.features), c.transform, c.layers);
    for (const auto& [key, count] : drawn.counts) c.result.counts[key] += count;
    c.result.failures += drawn.failures;
    if (drawn.bounds.valid) {
        c.result.bounds.add({drawn.bounds.minX, drawn.bounds.minY});
        c.result.bounds.add({drawn.bounds.maxX, drawn.bounds.maxY});
    }
    if (!drawn.error.empty()) return c.abort(drawn.error);
    return kHostOk;
}

HostError placeTerrain(PlacementContext& c) {
    const std::int32_t layer = c.layers.layerFor(DataType::teren);
    const PlanarMap map = c.transform.planarMap();
    for (const TerrainPatch& patch : c.data.terrain) {
        const auto corners = convertedCorners(c, patch.minX, patch.minY, patch.maxX, patch.maxY);
        const HostError e = createTerrainMesh(converted(c, patch), map, c.terrainOffset, layer, corners);
        if (e != kHostOk) return c.abort("Blad tworzenia Siatki terenu (kod " + std::to_string(e) + ")");
        if (!patch.points.empty()) ++c.result.counts["teren (Siatka)"];
    }
    return kHostOk;
}

// Terrain and water from the point cloud: a failed patch is skipped, the rest goes on.
HostError placeCloudPatches(PlacementContext& c, const TerrainSet& patches, DataType type, const char* countKey) {
    const std::int32_t layer = c.layers.layerFor(type);
    const PlanarMap map = c.transform.planarMap();
    for (const TerrainPatch& patch : patches) {
        const auto corners = convertedCorners(c, patch.minX, patch.minY, patch.maxX, patch.maxY);
        if (createTerrainMesh(converted(c, patch), map, c.cloudTerrainOffset, layer, corners) != kHostOk)
            ++c.result.failures;
        else if (!patch.points.empty()) ++c.result.counts[countKey];
    }
    return kHostOk;
}

HostError placeCloudTerrain(PlacementContext& c) {
    return placeCloudPatches(c, c.data.terrainCloud, DataType::terenchmura, "teren z chmury (Siatka)");
}

HostError placeCloudWater(PlacementContext& c) {
    return placeCloudPatches(c, c.data.waterCloud, DataType::wodachmura, "woda z chmury (Siatka)");
}

HostError placeContours2d(PlacementContext& c) {
    // Without the 2D selection nothing is drawn (labels belong to their lines), so no layer is made.
    if (!c.selected(dataTypeKey(DataType::poziomice2d))) return kHostOk;
    const std::int32_t layer = c.layers.layerFor(DataType::poziomice2d);
    const ContourDrawResult drawn = drawContours2d(converted(c, c.data.contours), c.transform.planarMap(),
                                                   c.transform.angle, layer, c.smoothContours, true);
    if (drawn.polylines > 0) c.result.counts[dataTypeKey(DataType::poziomice2d)] = drawn.polylines;
    if (drawn.labels > 0) c.result.counts["podpisy rzednych"] = drawn.labels;
    c.result.failures += drawn.failures;
    return kHostOk;
}

HostError placeContourMesh(PlacementContext& c) {
    if (!c.selected(dataTypeKey(DataType::poziomice3d))) return kHostOk;
    const std::int32_t layer = c.layers.layerFor(DataType::poziomice3d);
    const auto corners = convertedCorners(c, c.frame.minE, c.frame.minN, c.frame.maxE, c.frame.maxN);
    const ContourMeshResult mesh =
        createContourMesh(converted(c, c.data.contours), c.transform.planarMap(), c.buildingOffset, layer, corners);
    if (mesh.error != kHostOk) {
        ++c.result.failures;
        c.note("Poziomice: nie udalo sie utworzyc Siatki 3D z warstwic.");
    } else if (mesh.created) {
        c.result.counts[dataTypeKey(DataType::poziomice3d)] = 1;
    }
    return kHostOk;
}

HostError placeCloudContourMesh(PlacementContext& c) {
    const std::int32_t layer = c.layers.layerFor(DataType::poziomicechmura3d);
    const auto corners = convertedCorners(c, c.frame.minE, c.frame.minN, c.frame.maxE, c.frame.maxN);
    const ContourMeshResult mesh = createContourMesh(converted(c, c.data.contoursCloud), c.transform.planarMap(),
                                                     c.cloudContourOffset, layer, corners);
    if (mesh.error != kHostOk) {
        ++c.result.failures;
        c.note("Poziomice z chmury: nie udalo sie utworzyc Siatki 3D.");
    } else if (mesh.created) {
        c.result.counts[dataTypeKey(DataType::poziomicechmura3d)] = 1;
    }
    return kHostOk;
}

template <auto Member>
bool hasEntries(const FetchedData& d) {
    return !(d.*Member).empty();
}

bool hasRequestedLod1(const FetchedData& d) { return d.buildings3dRequested && !d.buildings3d.empty(); }

}  // namespace

bool PlacementContext::selected(const std::string& key) const {
    return std::find(layerKeys.begin(), layerKeys.end(), key) != layerKeys.end();
}

HostError PlacementContext::abort(const std::string& message) {
    result.error = message;
    return kHostGeneralError;
}

void PlacementContext::note(const std::string& text) {
    if (text.empty()) return;
    if (!result.warnings.empty()) result.warnings += ' ';
    result.warnings += text;
}

const std::vector<PlacementStep>& placementSteps() {
    static const std::vector<PlacementStep> steps = {
        {1, "rastry", hasEntries<&FetchedData::rasters>, placeRasters},
        {2, "obiekty 2D", hasEntries<&FetchedData::features>, placeFeatures},
        {3, "teren (Siatka)", hasEntries<&FetchedData::terrain>, placeTerrain},
        {4, "teren z chmury (Siatka)", hasEntries<&FetchedData::terrainCloud>, placeCloudTerrain},
        {5, "woda z chmury (Siatka)", hasEntries<&FetchedData::waterCloud>, placeCloudWater},
        {6, "budynki3d", hasRequestedLod1, nullptr},
        {7, "budynkilod2", hasEntries<&FetchedData::buildingsLod2>, nullptr},
        {8, "dachychmura", hasEntries<&FetchedData::roofsCloud>, nullptr},
        {9, "budynkindsm", hasEntries<&FetchedData::buildingsNdsm>, nullptr},
        {10, "budynkirekon", hasEntries<&FetchedData::buildingsRekon>, nullptr},
        {11, "mosty", hasEntries<&FetchedData::bridges>, nullptr},
        {12, "drogi", hasEntries<&FetchedData::roads>, nullptr},
        {13, "poziomice2d", hasEntries<&FetchedData::contours>, placeContours2d},
        {14, "poziomice3d", hasEntries<&FetchedData::contours>, placeContourMesh},
        {15, "poziomicechmura3d", hasEntries<&FetchedData::contoursCloud>, placeCloudContourMesh},
    };
    return steps;
}

HostError runPlacementSteps(PlacementContext& context) {
    for (const PlacementStep& step : placementSteps()) {
        if (!step.hasData(context.data)) continue;
        if (!step.make) {
            // Fetched but not placeable yet: say so rather than dropping the data silently.
            context.note(std::string("Nie wstawiono: ") + step.what + " (wstawianie jeszcze niedostepne).");
            continue;
        }
        if (const HostError e = step.make(context)) return e;
    }
    return kHostOk;
}

#include "buildings/CloudRoofs.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "buildings/detail/Planar.h"
#include "buildings/lod2fit/PrimitiveRegistry.h"
#include "buildings/lod2fit/Reconstruction.h"
#include "platform/Numbers.h"

namespace buildings {

using geodesy::PlanarPoint;

namespace {

geodesy::Bbox boxOf(const std::vector<PlanarPoint>& ring) {
    geodesy::Bbox box{ring[0].x, ring[0].y, ring[0].x, ring[0].y};
    for (const PlanarPoint& p : ring) {
        box.minE = std::min(box.minE, p.x), box.maxE = std::max(box.maxE, p.x);
        box.minN = std::min(box.minN, p.y), box.maxN = std::max(box.maxN, p.y);
    }
    return box;
}

// How far from a footprint without points of its own the cloud's ground still tells where it stands.
constexpr double kGroundReach = 30.0;

// Trees (3 to 5) and noise (7 low, 18 high) are no part of any roof.
bool vegetationOrNoise(std::uint8_t cls) { return (cls >= 3 && cls <= 5) || cls == 7 || cls == 18; }

// The ground under a place the cloud says nothing about: its nearest ground cell, else the package's ground.
double groundFor(const TerrainCells& cells, const PlanarPoint& at, double packageGround) {
    double z = 0.0;
    return nearestTerrainHeight(cells, at.x, at.y, kGroundReach, z) ? z : packageGround;
}

PlanarPoint centroidOf(const std::vector<PlanarPoint>& ring) {
    PlanarPoint c;
    for (const PlanarPoint& p : ring) c.x += p.x, c.y += p.y;
    return {c.x / static_cast<double>(ring.size()), c.y / static_cast<double>(ring.size())};
}

}  // namespace

RoofFitResult roofFromCloud(const Building3D& building, const std::vector<formats::CloudPoint>& points,
                            const PointIndex& index, const TerrainCells& ground, const CloudRoofSettings& s) {
    RoofFitResult result;
    result.typeName = "Flat";
    const std::vector<PlanarPoint> footprint = openFootprint(building);
    if (footprint.size() < 3) return result;
    const geodesy::Bbox box = boxOf(footprint);
    const double cell = s.coverageCell;
    auto cellOf = [&](double x, double y) {
        return std::pair<long, long>{static_cast<long>(std::floor((x - box.minE) / cell)),
                                     static_cast<long>(std::floor((y - box.minN) / cell))};
    };
    std::vector<double> kept;
    std::set<std::pair<long, long>> hit;
    result.withoutPoints = true;
    for (std::size_t k : index.near(box)) {
        const formats::CloudPoint& p = points[k];
        if (vegetationOrNoise(p.classification)) continue;
        result.withoutPoints = false;
        if (p.classification == 2 || !detail::insideEvenOdd(footprint, p.x, p.y)) continue;
        if (p.z < terrainHeight(ground, p.x, p.y) + s.minAboveGround) continue;
        kept.push_back(p.z);
        hit.insert(cellOf(p.x, p.y));
    }
    int inside = 0, covered = 0;
    const auto columns = static_cast<long>(std::ceil(box.width() / cell)),
               rows = static_cast<long>(std::ceil(box.height() / cell));
    for (long j = 0; j < rows; ++j) {
        for (long i = 0; i < columns; ++i) {
            if (!detail::insideEvenOdd(footprint, box.minE + (i + 0.5) * cell, box.minN + (j + 0.5) * cell)) continue;
            ++inside;
            covered += hit.count({i, j}) > 0;
        }
    }
    result.coverage = inside > 0 ? static_cast<double>(covered) / inside : 0.0;
    double height = 0.0;
    if (static_cast<int>(kept.size()) >= s.minPoints && result.coverage >= s.minCoverage) {
        height = detail::medianOf(kept);
        result.fallback = false;
    } else if (!kept.empty()) {
        height = *std::max_element(kept.begin(), kept.end());
    } else {
        height = groundFor(ground, footprint[0], building.groundZ) + s.fallbackAboveGround;
    }
    std::vector<std::int32_t> face;
    for (const PlanarPoint& p : footprint) {
        face.push_back(static_cast<std::int32_t>(result.vertices.size()));
        result.vertices.push_back({p.x, p.y, height});
    }
    result.faces.push_back(face);
    return result;
}

std::vector<RoofFitResult> reconstructFootprints(const std::vector<Building3D>& buildings,
                                                 const std::vector<formats::CloudPoint>& cloud,
                                                 const FootprintProgress& progress,
                                                 const std::function<bool()>& cancel) {
    std::vector<RoofFitResult> out;
    std::vector<formats::CloudPoint> points;
    for (const formats::CloudPoint& p : cloud)
        if (!vegetationOrNoise(p.classification)) points.push_back(p);
    double originX = 0.0, originY = 0.0;
    if (!points.empty()) {
        originX = points[0].x, originY = points[0].y;
        for (const formats::CloudPoint& p : points) originX = std::min(originX, p.x), originY = std::min(originY, p.y);
    }
    lod2fit::primitiveRegistry();  // filled before the first building
    const PointIndex index(points, 10.0, originX, originY);
    const TerrainCells ground = buildTerrainCells(points);
    const int total = static_cast<int>(buildings.size());
    for (int f = 0; f < total; ++f) {
        if (cancel && cancel()) break;
        if (progress) progress(f + 1, total);
        const Building3D& building = buildings[static_cast<std::size_t>(f)];
        const std::vector<PlanarPoint> footprint = openFootprint(building);
        RoofFitResult result;
        if (footprint.size() < 3) {
            out.push_back(result);
            continue;
        }
        const std::vector<std::size_t> candidates = index.near(boxOf(footprint));
        if (candidates.empty()) {
            // Nothing of the cloud near it: the package's block on the ground the terrain model gives, marked.
            lod2fit::RoofParams params;
            params.groundZ = groundFor(ground, centroidOf(footprint), building.groundZ);
            params.eaveZ = params.groundZ + (building.height > 0.0 ? building.height : 3.0);
            lod2fit::RoofMesh mesh = lod2fit::findPrimitive("Flat").build(params, footprint);
            lod2fit::turnFacesOutward(mesh);
            result.typeName = "Flat";
            result.vertices = std::move(mesh.vertices);
            result.faces = std::move(mesh.faces);
            result.meanError = result.rmsError = 1e9;
            result.withoutPoints = true;
            out.push_back(std::move(result));
            continue;
        }
        std::vector<double> heights;
        for (std::size_t k : candidates) heights.push_back(points[k].z);
        std::sort(heights.begin(), heights.end());
        const double groundZ = heights[static_cast<std::size_t>(0.02 * static_cast<double>(heights.size() - 1))];
        std::vector<geodesy::SpatialPoint> own;
        for (std::size_t k : candidates)
            if (detail::insideEvenOdd(footprint, points[k].x, points[k].y))
                own.push_back({points[k].x, points[k].y, points[k].z});
        // Too few points of its own: the neighbourhood's raised points stand in, and the roof is doubtful.
        const bool borrowed = own.size() < 20;
        if (borrowed) {
            own.clear();
            for (std::size_t k : candidates)
                if (points[k].z > groundZ + 1.0) own.push_back({points[k].x, points[k].y, points[k].z});
        }
        lod2fit::RoofFitResult fit = lod2fit::reconstructBuilding(own, footprint, groundZ);
        lod2fit::turnFacesOutward(fit.mesh);
        result.typeName = fit.typeName;
        result.vertices = std::move(fit.mesh.vertices);
        result.faces = std::move(fit.mesh.faces);
        result.fallback = fit.fallback || borrowed;
        result.meanError = fit.meanError;
        result.rmsError = fit.rmsError;
        result.confidence = fit.confidence;
        out.push_back(std::move(result));
    }
    return out;
}

std::string reconstructionSummary(int sheets, std::size_t points, const std::vector<RoofFitResult>& buildings) {
    std::map<std::string, int> types;
    int ok = 0;
    for (const RoofFitResult& b : buildings) {
        ++types[b.typeName];
        ok += !b.fallback;
    }
    std::string line = "Rekonstrukcja LOD2: " + platform::cformat("%d", sheets) + " kafli, " +
                       platform::cformat("%zu", points) + " pkt, " + platform::cformat("%zu", buildings.size()) +
                       " budynkow, Ok(class)=" + platform::cformat("%d", ok) + "; typy:";
    for (const auto& [name, count] : types) line += " " + name + "=" + platform::cformat("%d", count);
    return line;
}

}  // namespace buildings

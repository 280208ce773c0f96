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

}  // namespace

RoofFitResult roofFromCloud(const std::vector<PlanarPoint>& footprint, const std::vector<formats::CloudPoint>& points,
                            const PointIndex& index, const TerrainCells& ground, const CloudRoofSettings& s) {
    RoofFitResult result;
    result.typeName = "Flat";
    if (footprint.size() < 3) return result;
    const geodesy::Bbox box = boxOf(footprint);
    const double cell = s.coverageCell;
    auto cellOf = [&](double x, double y) {
        return std::pair<long, long>{static_cast<long>(std::floor((x - box.minE) / cell)),
                                     static_cast<long>(std::floor((y - box.minN) / cell))};
    };
    std::vector<double> kept;
    std::set<std::pair<long, long>> hit;
    for (std::size_t k : index.near(box)) {
        const formats::CloudPoint& p = points[k];
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
        height = terrainHeight(ground, footprint[0].x, footprint[0].y) + s.fallbackAboveGround;
    }
    std::vector<std::int32_t> face;
    for (const PlanarPoint& p : footprint) {
        face.push_back(static_cast<std::int32_t>(result.vertices.size()));
        result.vertices.push_back({p.x, p.y, height});
    }
    result.faces.push_back(face);
    return result;
}

std::vector<RoofFitResult> reconstructFootprints(const std::vector<std::vector<PlanarPoint>>& footprints,
                                                 const std::vector<formats::CloudPoint>& points,
                                                 const FootprintProgress& progress,
                                                 const std::function<bool()>& cancel) {
    std::vector<RoofFitResult> out;
    double originX = 0.0, originY = 0.0;
    if (!points.empty()) {
        originX = points[0].x, originY = points[0].y;
        for (const formats::CloudPoint& p : points) originX = std::min(originX, p.x), originY = std::min(originY, p.y);
    }
    lod2fit::primitiveRegistry();  // filled before the first building
    const PointIndex index(points, 10.0, originX, originY);
    const int total = static_cast<int>(footprints.size());
    for (int f = 0; f < total; ++f) {
        if (cancel && cancel()) break;
        if (progress) progress(f + 1, total);
        const std::vector<PlanarPoint>& footprint = footprints[static_cast<std::size_t>(f)];
        RoofFitResult result;
        if (footprint.size() < 3) {
            out.push_back(result);
            continue;
        }
        const std::vector<std::size_t> candidates = index.near(boxOf(footprint));
        std::vector<double> heights;
        for (std::size_t k : candidates) heights.push_back(points[k].z);
        std::sort(heights.begin(), heights.end());
        const double groundZ = heights.empty() ? 0.0 : heights[static_cast<std::size_t>(0.02 * (heights.size() - 1))];
        std::vector<geodesy::SpatialPoint> own;
        for (std::size_t k : candidates)
            if (detail::insideEvenOdd(footprint, points[k].x, points[k].y))
                own.push_back({points[k].x, points[k].y, points[k].z});
        if (own.size() < 20) {
            own.clear();
            for (std::size_t k : candidates)
                if (points[k].z > groundZ + 1.0) own.push_back({points[k].x, points[k].y, points[k].z});
        }
        lod2fit::RoofFitResult fit = lod2fit::reconstructBuilding(own, footprint, groundZ);
        lod2fit::turnFacesOutward(fit.mesh);
        result.typeName = fit.typeName;
        result.vertices = std::move(fit.mesh.vertices);
        result.faces = std::move(fit.mesh.faces);
        result.fallback = fit.fallback;
        result.meanError = fit.meanError;
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

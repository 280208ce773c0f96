#include "buildings/SurfaceModelBuilding.h"

#include <cmath>

#include "buildings/detail/Planar.h"

namespace buildings {

StructureResult buildingFromSurfaceModel(const std::vector<geodesy::PlanarPoint>& footprint,
                                         const ElevationPair& models, const SurfaceBuildingSettings& settings) {
    StructureResult result;
    result.fallback = true;
    if (footprint.size() < 3) return result;
    double minX = footprint[0].x, minY = footprint[0].y, maxX = minX, maxY = minY;
    for (const geodesy::PlanarPoint& p : footprint) {
        minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
    }
    std::vector<double> heights;
    int raised = 0;
    auto sample = [&](double x, double y) {
        double z = 0.0, ndsm = 0.0;
        if (!models.surfaceAt(x, y, z)) return;
        heights.push_back(z);
        if (models.ndsmAt(x, y, ndsm) && ndsm > settings.raisedThreshold) ++raised;
    };
    // Lattice counts rather than accumulated steps, so both ends are reached exactly.
    const auto columns = static_cast<long>(std::floor((maxX - minX) / settings.sampleStep + 1e-9));
    const auto rows = static_cast<long>(std::floor((maxY - minY) / settings.sampleStep + 1e-9));
    for (long j = 0; j <= rows; ++j) {
        const double y = minY + static_cast<double>(j) * settings.sampleStep;
        for (long i = 0; i <= columns; ++i) {
            const double x = minX + static_cast<double>(i) * settings.sampleStep;
            if (detail::insideEvenOdd(footprint, x, y)) sample(x, y);
        }
    }
    if (heights.empty()) {
        double cx = 0.0, cy = 0.0;
        for (const geodesy::PlanarPoint& p : footprint) cx += p.x, cy += p.y;
        sample(cx / static_cast<double>(footprint.size()), cy / static_cast<double>(footprint.size()));
        if (heights.empty()) return result;
    }
    result.ratio = static_cast<double>(raised) / static_cast<double>(heights.size());
    const double roof = detail::medianOf(heights);
    std::vector<geodesy::SpatialPoint> top;
    for (const geodesy::PlanarPoint& p : footprint) top.push_back({p.x, p.y, roof});
    result.polygons.push_back(top);
    for (std::size_t i = 0; i < footprint.size(); ++i) {
        const geodesy::PlanarPoint& a = footprint[i];
        const geodesy::PlanarPoint& b = footprint[(i + 1) % footprint.size()];
        if (a == b) continue;
        double ta = 0.0, tb = 0.0;
        if (!models.terrainAt(a.x, a.y, ta) || !models.terrainAt(b.x, b.y, tb)) continue;
        if (roof - ta < settings.minWallHeight && roof - tb < settings.minWallHeight) continue;
        result.polygons.push_back({{a.x, a.y, roof}, {b.x, b.y, roof}, {b.x, b.y, tb}, {a.x, a.y, ta}});
    }
    result.fallback = result.ratio < settings.minRaisedShare;
    return result;
}

}  // namespace buildings

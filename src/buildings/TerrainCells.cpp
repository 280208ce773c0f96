#include "buildings/TerrainCells.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace buildings {

namespace {

std::int64_t key(std::int64_t i, std::int64_t j) { return (i << 32) ^ (j & 0xFFFFFFFF); }

}  // namespace

TerrainCells buildTerrainCells(const std::vector<formats::CloudPoint>& points, double cell) {
    TerrainCells cells;
    cells.cell = cell;
    if (points.empty()) return cells;
    cells.originX = points[0].x;
    cells.originY = points[0].y;
    for (const formats::CloudPoint& p : points) {
        cells.originX = std::min(cells.originX, p.x);
        cells.originY = std::min(cells.originY, p.y);
    }
    for (const formats::CloudPoint& p : points) {
        if (p.classification != 2) continue;
        const auto i = static_cast<std::int64_t>(std::floor((p.x - cells.originX) / cell));
        const auto j = static_cast<std::int64_t>(std::floor((p.y - cells.originY) / cell));
        const auto [it, added] = cells.lowest.emplace(key(i, j), p.z);
        if (!added) it->second = std::min(it->second, p.z);
    }
    return cells;
}

double terrainHeight(const TerrainCells& cells, double x, double y) {
    const auto i = static_cast<std::int64_t>(std::floor((x - cells.originX) / cells.cell));
    const auto j = static_cast<std::int64_t>(std::floor((y - cells.originY) / cells.cell));
    if (const auto it = cells.lowest.find(key(i, j)); it != cells.lowest.end()) return it->second;
    double lowest = std::numeric_limits<double>::infinity();
    for (std::int64_t di = -1; di <= 1; ++di)
        for (std::int64_t dj = -1; dj <= 1; ++dj)
            if (const auto it = cells.lowest.find(key(i + di, j + dj)); it != cells.lowest.end())
                lowest = std::min(lowest, it->second);
    return std::isinf(lowest) ? 0.0 : lowest;
}

bool nearestTerrainHeight(const TerrainCells& cells, double x, double y, double radius, double& z) {
    const auto i = static_cast<std::int64_t>(std::floor((x - cells.originX) / cells.cell));
    const auto j = static_cast<std::int64_t>(std::floor((y - cells.originY) / cells.cell));
    const auto rings = static_cast<std::int64_t>(std::ceil(radius / cells.cell));
    for (std::int64_t r = 0; r <= rings && !cells.lowest.empty(); ++r) {
        double lowest = std::numeric_limits<double>::infinity();
        for (std::int64_t di = -r; di <= r; ++di)
            for (std::int64_t dj = -r; dj <= r; ++dj) {
                if (std::max(std::abs(di), std::abs(dj)) != r) continue;
                if (const auto it = cells.lowest.find(key(i + di, j + dj)); it != cells.lowest.end())
                    lowest = std::min(lowest, it->second);
            }
        if (!std::isinf(lowest)) {
            z = lowest;
            return true;
        }
    }
    return false;
}

}  // namespace buildings

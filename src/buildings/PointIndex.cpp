#include "buildings/PointIndex.h"

#include <cmath>

namespace buildings {

namespace {

std::int64_t key(std::int64_t i, std::int64_t j) { return (i << 32) ^ (j & 0xFFFFFFFF); }

}  // namespace

PointIndex::PointIndex(const std::vector<formats::CloudPoint>& points, double cell, double originX, double originY)
    : cell_(cell), originX_(originX), originY_(originY) {
    for (std::size_t k = 0; k < points.size(); ++k) {
        const auto i = static_cast<std::int64_t>(std::floor((points[k].x - originX_) / cell_));
        const auto j = static_cast<std::int64_t>(std::floor((points[k].y - originY_) / cell_));
        cells_[key(i, j)].push_back(k);
    }
}

std::vector<std::size_t> PointIndex::near(const geodesy::Bbox& box) const {
    std::vector<std::size_t> found;
    const auto i0 = static_cast<std::int64_t>(std::floor((box.minE - originX_) / cell_)) - 1;
    const auto i1 = static_cast<std::int64_t>(std::floor((box.maxE - originX_) / cell_)) + 1;
    const auto j0 = static_cast<std::int64_t>(std::floor((box.minN - originY_) / cell_)) - 1;
    const auto j1 = static_cast<std::int64_t>(std::floor((box.maxN - originY_) / cell_)) + 1;
    for (std::int64_t j = j0; j <= j1; ++j)
        for (std::int64_t i = i0; i <= i1; ++i)
            if (const auto it = cells_.find(key(i, j)); it != cells_.end())
                found.insert(found.end(), it->second.begin(), it->second.end());
    return found;
}

}  // namespace buildings

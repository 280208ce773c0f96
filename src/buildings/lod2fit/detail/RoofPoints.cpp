#include "buildings/lod2fit/detail/RoofPoints.h"

#include <cmath>
#include <cstdint>
#include <numbers>
#include <unordered_map>

namespace lod2fit::detail {

namespace {

constexpr double kStraightCorner = 0.1;  // metres off the line through the neighbours
constexpr double kRepeatedCorner = 0.01;

}  // namespace

Footprint withoutStraightCorners(Footprint f) {
    for (std::size_t i = 0; f.size() > 3 && i < f.size();) {
        const geodesy::PlanarPoint& p = f[(i + f.size() - 1) % f.size()];
        const geodesy::PlanarPoint& q = f[i];
        const geodesy::PlanarPoint& r = f[(i + 1) % f.size()];
        const double dx = r.x - p.x, dy = r.y - p.y, len = std::hypot(dx, dy);
        bool drop = std::hypot(q.x - p.x, q.y - p.y) < kRepeatedCorner;
        if (!drop && len > kRepeatedCorner) {
            const double along = ((q.x - p.x) * dx + (q.y - p.y) * dy) / (len * len);
            const double off = std::fabs(dx * (q.y - p.y) - dy * (q.x - p.x)) / len;
            drop = along > 0.0 && along < 1.0 && off < kStraightCorner;
        }
        if (drop) {
            f.erase(f.begin() + static_cast<std::ptrdiff_t>(i));
            i = 0;  // the neighbours' own straightness changed
        } else {
            ++i;
        }
    }
    return f;
}

double areaOf(const Footprint& f) {
    double sum = 0.0;
    for (std::size_t i = 0, j = f.size() - 1; i < f.size(); j = i++) sum += f[j].x * f[i].y - f[i].x * f[j].y;
    return std::fabs(sum) / 2.0;
}

std::vector<geodesy::SpatialPoint> withoutIsolatedPoints(const std::vector<geodesy::SpatialPoint>& points,
                                                         double footprintArea) {
    if (points.size() < 30 || footprintArea <= 0.0) return points;
    const double density = static_cast<double>(points.size()) / footprintArea;
    const double radius = std::max(0.5, std::sqrt(8.0 / (std::numbers::pi * density)));
    auto cellOf = [radius](double v) { return static_cast<std::int64_t>(std::floor(v / radius)); };
    auto key = [](std::int64_t i, std::int64_t j, std::int64_t k) {
        return (i & 0x1FFFFF) << 42 | (j & 0x1FFFFF) << 21 | (k & 0x1FFFFF);
    };
    std::unordered_map<std::int64_t, std::vector<std::size_t>> cells;
    for (std::size_t n = 0; n < points.size(); ++n)
        cells[key(cellOf(points[n].x), cellOf(points[n].y), cellOf(points[n].z))].push_back(n);
    std::vector<geodesy::SpatialPoint> kept;
    kept.reserve(points.size());
    for (std::size_t n = 0; n < points.size(); ++n) {
        const geodesy::SpatialPoint& p = points[n];
        const std::int64_t i = cellOf(p.x), j = cellOf(p.y), k = cellOf(p.z);
        int near = 0;
        for (std::int64_t di = -1; di <= 1 && near < 2; ++di)
            for (std::int64_t dj = -1; dj <= 1 && near < 2; ++dj)
                for (std::int64_t dk = -1; dk <= 1 && near < 2; ++dk) {
                    const auto it = cells.find(key(i + di, j + dj, k + dk));
                    if (it == cells.end()) continue;
                    for (std::size_t m : it->second) {
                        const geodesy::SpatialPoint& q = points[m];
                        if (m != n && std::hypot(q.x - p.x, q.y - p.y, q.z - p.z) <= radius && ++near >= 2) break;
                    }
                }
        if (near >= 2) kept.push_back(p);
    }
    return kept;
}

}  // namespace lod2fit::detail

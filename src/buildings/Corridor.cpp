#include "buildings/Corridor.h"

#include <algorithm>
#include <cmath>

#include "buildings/detail/Planar.h"

namespace buildings {

using geodesy::PlanarPoint, geodesy::SpatialPoint;

namespace {

// Which lattice columns of one row lie inside the polygon (even-odd rule, as for single points): crossings of the
// row sorted, inside between the 2k-th and (2k+1)-th.
void insideColumns(const std::vector<PlanarPoint>& polygon, double y, double x0, double cell, std::size_t columns,
                   std::vector<char>& inside) {
    inside.assign(columns, 0);
    std::vector<double> crossings;
    for (std::size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
        const PlanarPoint& a = polygon[i];
        const PlanarPoint& b = polygon[j];
        if ((a.y > y) != (b.y > y)) crossings.push_back(a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y));
    }
    std::sort(crossings.begin(), crossings.end());
    for (std::size_t k = 0; k + 1 < crossings.size(); k += 2) {
        // Columns c with crossings[k] <= x0 + c·cell < crossings[k + 1].
        const double from = std::ceil((crossings[k] - x0) / cell), to = std::ceil((crossings[k + 1] - x0) / cell);
        const auto first = static_cast<std::size_t>(std::clamp(from, 0.0, static_cast<double>(columns)));
        const auto last = static_cast<std::size_t>(std::clamp(to, 0.0, static_cast<double>(columns)));
        for (std::size_t c = first; c < last; ++c) {
            const double x = x0 + static_cast<double>(c) * cell;
            inside[c] = crossings[k] <= x && x < crossings[k + 1];
        }
    }
}

}  // namespace

std::vector<PlanarPoint> corridorPolygon(const std::vector<PlanarPoint>& centre, std::vector<double> left,
                                         std::vector<double> right, bool useMedianWidths) {
    const std::size_t n = centre.size();
    if (n < 2) return {};
    left.resize(n, 0.0);
    right.resize(n, 0.0);
    if (useMedianWidths) {
        std::vector<double> l = left, r = right;
        std::fill(left.begin(), left.end(), detail::medianOf(l));
        std::fill(right.begin(), right.end(), detail::medianOf(r));
    }
    std::vector<PlanarPoint> normals(n);
    for (std::size_t i = 0; i < n; ++i) {
        const PlanarPoint& from = centre[i == 0 ? 0 : i - 1];
        const PlanarPoint& to = centre[i + 1 < n ? i + 1 : i];
        double dx = to.x - from.x, dy = to.y - from.y;
        const double len = std::hypot(dx, dy);
        if (len < 1e-9) {
            dx = dy = 0.0;
        } else {
            dx /= len;
            dy /= len;
        }
        normals[i] = {-dy, dx};
    }
    std::vector<PlanarPoint> ring;
    for (std::size_t i = 0; i < n; ++i)
        ring.push_back({centre[i].x + left[i] * normals[i].x, centre[i].y + left[i] * normals[i].y});
    for (std::size_t i = n; i-- > 0;)
        ring.push_back({centre[i].x - right[i] * normals[i].x, centre[i].y - right[i] * normals[i].y});
    return ring;
}

double corridorCellFor(double area, double cell, std::size_t budget) {
    if (!(area > 0.0) || budget == 0 || area / (cell * cell) <= static_cast<double>(budget)) return cell;
    return std::sqrt(area / static_cast<double>(budget));
}

StructureResult corridorSurface(const std::vector<PlanarPoint>& polygon, const ElevationPair& models,
                                const CorridorSettings& s) {
    StructureResult result;
    if (polygon.size() < 3) {
        result.fallback = true;
        return result;
    }
    geodesy::Bbox box{polygon[0].x, polygon[0].y, polygon[0].x, polygon[0].y};
    for (const PlanarPoint& p : polygon) {
        box.minE = std::min(box.minE, p.x), box.maxE = std::max(box.maxE, p.x);
        box.minN = std::min(box.minN, p.y), box.maxN = std::max(box.maxN, p.y);
    }
    if (s.clip) {
        box.minE = std::max(box.minE, s.frame.minE), box.maxE = std::min(box.maxE, s.frame.maxE);
        box.minN = std::max(box.minN, s.frame.minN), box.maxN = std::min(box.maxN, s.frame.maxN);
    }
    auto heightAt = [&](double x, double y, double& z) {
        return s.onSurface ? models.surfaceAt(x, y, z) : models.terrainAt(x, y, z);
    };
    std::vector<double> cornerHeights;
    int cells = 0, raised = 0;
    const bool boxEmpty = !(box.maxE > box.minE && box.maxN > box.minN);
    if (!boxEmpty) {
        const auto nx = static_cast<std::size_t>(std::max(1.0, std::floor(box.width() / s.cell)));
        const auto ny = static_cast<std::size_t>(std::max(1.0, std::floor(box.height() / s.cell)));
        // Corner rows j and j + 1 of each cell row: inside flags and heights, computed once per row.
        std::vector<char> insideLow, insideHigh;
        std::vector<double> zLow(nx + 1), zHigh(nx + 1);
        std::vector<char> hasLow(nx + 1), hasHigh(nx + 1);
        auto fillRow = [&](std::size_t j, std::vector<char>& inside, std::vector<double>& z, std::vector<char>& has) {
            const double y = box.minN + static_cast<double>(j) * s.cell;
            insideColumns(polygon, y, box.minE, s.cell, nx + 1, inside);
            for (std::size_t i = 0; i <= nx; ++i)
                has[i] = inside[i] && heightAt(box.minE + static_cast<double>(i) * s.cell, y, z[i]);
        };
        fillRow(0, insideLow, zLow, hasLow);
        for (std::size_t j = 0; j < ny; ++j) {
            fillRow(j + 1, insideHigh, zHigh, hasHigh);
            const double y0 = box.minN + static_cast<double>(j) * s.cell, y1 = y0 + s.cell;
            for (std::size_t i = 0; i < nx; ++i) {
                if (!hasLow[i] || !hasLow[i + 1] || !hasHigh[i] || !hasHigh[i + 1]) continue;
                const double x0 = box.minE + static_cast<double>(i) * s.cell, x1 = x0 + s.cell;
                result.polygons.push_back(
                    {{x0, y0, zLow[i]}, {x1, y0, zLow[i + 1]}, {x1, y1, zHigh[i + 1]}, {x0, y1, zHigh[i]}});
                cornerHeights.insert(cornerHeights.end(), {zLow[i], zLow[i + 1], zHigh[i + 1], zHigh[i]});
                if (static_cast<std::size_t>(++cells) > s.maxCells) break;
                double ndsm = 0.0;
                if (models.ndsmAt(x0 + s.cell / 2, y0 + s.cell / 2, ndsm) && ndsm > s.raisedThreshold) ++raised;
            }
            if (static_cast<std::size_t>(cells) > s.maxCells) break;
            insideLow.swap(insideHigh), zLow.swap(zHigh), hasLow.swap(hasHigh);
        }
    }
    if (static_cast<std::size_t>(cells) > s.maxCells) {
        // Over the cap: no lattice, the flat outline below (its quads so far give the median height).
        cells = 0;
    }
    result.ratio = cells > 0 ? static_cast<double>(raised) / cells : 0.0;
    if (cells > 0 && result.ratio >= s.minRaisedShare) return result;

    result.polygons.clear();
    result.fallback = true;
    double level = 0.0;
    if (!cornerHeights.empty()) {
        level = detail::medianOf(cornerHeights);
    } else if (!heightAt(box.centre().x, box.centre().y, level)) {
        return result;
    }
    std::vector<SpatialPoint> lifted;
    for (const PlanarPoint& p : polygon) lifted.push_back({p.x, p.y, level});
    result.polygons.push_back(lifted);
    return result;
}

}  // namespace buildings

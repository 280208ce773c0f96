#include "terrain/CloudTerrainOutputs.h"

#include <algorithm>
#include <cmath>

#include "settings/NumberText.h"
#include "terrain/TerrainPatchBuilder.h"

namespace terrain {

namespace {

double nodeX(const CloudTerrainGrid& g, std::int32_t i) {
    return std::min(g.originX + (i + 0.5) * g.step, g.originX + (g.cols - 1) * g.step);
}
double nodeY(const CloudTerrainGrid& g, std::int32_t j) {
    return std::min(g.originY + (j + 0.5) * g.step, g.originY + (g.rows - 1) * g.step);
}

// Patches over blocks of nodes; `take` says whether a node belongs and gives its height. Bounds are those of the
// nodes taken.
template <class Take>
TerrainSet patches(const CloudTerrainGrid& g, Take take) {
    TerrainSet set;
    if (g.empty()) return set;
    const std::int32_t per = kPatchNodes - 1;  // each block also takes its neighbour's first node
    for (std::int32_t j0 = 0; j0 < g.rows; j0 += per) {
        for (std::int32_t i0 = 0; i0 < g.cols; i0 += per) {
            TerrainPatch patch;
            const std::int32_t j1 = std::min(j0 + per + 1, g.rows), i1 = std::min(i0 + per + 1, g.cols);
            for (std::int32_t j = j0; j < j1; ++j) {
                for (std::int32_t i = i0; i < i1; ++i) {
                    double z = 0.0;
                    if (!take(g.index(i, j), z)) continue;
                    const double x = nodeX(g, i), y = nodeY(g, j);
                    if (patch.points.empty()) {
                        patch.minX = patch.maxX = x;
                        patch.minY = patch.maxY = y;
                    }
                    patch.minX = std::min(patch.minX, x);
                    patch.maxX = std::max(patch.maxX, x);
                    patch.minY = std::min(patch.minY, y);
                    patch.maxY = std::max(patch.maxY, y);
                    patch.points.push_back({x, y, z});
                }
            }
            if (!patch.points.empty()) set.push_back(std::move(patch));
            if (i1 == g.cols) break;
        }
        if (std::min(j0 + per + 1, g.rows) == g.rows) break;
    }
    return set;
}

}  // namespace

TerrainSet cloudGroundPatches(const CloudTerrainGrid& grid) {
    return patches(grid, [&](std::size_t k, double& z) {
        z = grid.heights[k];
        return !std::isnan(z);
    });
}

TerrainSet cloudWaterPatches(const CloudTerrainGrid& grid) {
    if (std::isnan(grid.waterLevel)) return {};
    return patches(grid, [&](std::size_t k, double& z) {
        z = grid.waterLevel;
        return grid.water[k] != 0;
    });
}

ContourGrid cloudContourGrid(const CloudTerrainGrid& grid) {
    ContourGrid c;
    if (grid.empty()) return c;
    c.x0 = grid.originX + 0.5 * grid.step;
    c.y0 = grid.originY + 0.5 * grid.step;
    c.step = grid.step;
    c.nx = grid.cols;
    c.ny = grid.rows;
    c.heights = grid.heights;
    return c;
}

ContourBuildResult cloudContours(const CloudTerrainGrid& grid, double interval, bool smooth, const CancelQuery& cancel,
                                 const platform::ProgressCallback& progress) {
    ContourBuildResult out;
    if (std::string refused = contourIntervalNote(interval); !refused.empty()) {
        out.notes.push_back(std::move(refused));
        return out;
    }
    ContourGrid contourGrid = cloudContourGrid(grid);
    out.step = grid.step;
    if (smooth) smoothContourGrid(contourGrid, kGridSmoothSpatialSigma, kGridSmoothHeightSigma);
    std::string note;
    out.lines =
        traceContours(contourGrid, interval, note, kMaxContours, kMaxContourPoints, cancel, out.cancelled, progress);
    if (!note.empty()) out.notes.push_back(note);
    if (out.cancelled) return out;
    out.summary = "Poziomice z chmury: " + std::to_string(out.lines.size()) + " warstwic, ciecie " +
                  settings::formatNumber(interval) + " m" + (smooth ? ", wygladzone" : "");
    return out;
}

}  // namespace terrain

#include "terrain/CloudTerrainOutputs.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <deque>
#include <vector>

#include "settings/NumberText.h"
#include "terrain/TerrainPatchBuilder.h"
#include "terrain/detail/FloodFill.h"

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

// Cell corners along one axis: the cells' edges, the far ones held to the last node inside the frame.
double cornerX(const CloudTerrainGrid& g, std::int32_t i) { return g.originX + std::min(i, g.cols - 1) * g.step; }
double cornerY(const CloudTerrainGrid& g, std::int32_t j) { return g.originY + std::min(j, g.rows - 1) * g.step; }

// One 4-connected group of water cells: its outer boundary along the cells' edges, counter-clockwise, without
// collinear corners. Boundary edges keep the group on their left; where two cells of the group touch only at a
// corner, the walk turns left, so every loop is simple; the outer one encloses the largest area (the others are
// islands, which the single outline of a mesh cannot cut out; their terrain stands above the water).
std::vector<geodesy::PlanarPoint> outerBoundary(const CloudTerrainGrid& g, const std::vector<std::uint8_t>& member,
                                                const std::vector<std::size_t>& cells) {
    const auto stride = static_cast<std::uint64_t>(g.cols) + 1;
    const auto vertex = [stride](std::int32_t i, std::int32_t j) {
        return static_cast<std::uint64_t>(j) * stride + static_cast<std::uint64_t>(i);
    };
    const auto in = [&](std::int32_t i, std::int32_t j) {
        return i >= 0 && j >= 0 && i < g.cols && j < g.rows && member[g.index(i, j)] != 0;
    };
    struct Edge {
        std::uint64_t from, to;
    };
    std::vector<Edge> edges;
    for (const std::size_t k : cells) {
        const auto i = static_cast<std::int32_t>(k % static_cast<std::size_t>(g.cols));
        const auto j = static_cast<std::int32_t>(k / static_cast<std::size_t>(g.cols));
        if (!in(i, j - 1)) edges.push_back({vertex(i, j), vertex(i + 1, j)});
        if (!in(i + 1, j)) edges.push_back({vertex(i + 1, j), vertex(i + 1, j + 1)});
        if (!in(i, j + 1)) edges.push_back({vertex(i + 1, j + 1), vertex(i, j + 1)});
        if (!in(i - 1, j)) edges.push_back({vertex(i, j + 1), vertex(i, j)});
    }
    std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.from < b.from; });
    std::vector<std::uint8_t> used(edges.size(), 0);
    const auto direction = [stride](const Edge& e) {
        const auto d = static_cast<std::int64_t>(e.to) - static_cast<std::int64_t>(e.from);
        return d == 1 ? 0 : d == static_cast<std::int64_t>(stride) ? 1 : d == -1 ? 2 : 3;  // east, north, west, south
    };
    std::vector<std::uint64_t> best;
    double bestArea = 0.0;
    for (std::size_t first = 0; first < edges.size(); ++first) {
        if (used[first] != 0) continue;
        std::vector<std::uint64_t> loop;
        std::size_t e = first;
        for (;;) {
            used[e] = 1;
            loop.push_back(edges[e].from);
            const auto range = std::equal_range(edges.begin(), edges.end(), Edge{edges[e].to, 0},
                                                [](const Edge& a, const Edge& b) { return a.from < b.from; });
            std::size_t next = edges.size();
            int bestTurn = 4;
            for (auto it = range.first; it != range.second; ++it) {
                const auto c = static_cast<std::size_t>(it - edges.begin());
                if (used[c] != 0) continue;
                const int turn = (direction(edges[c]) - direction(edges[e]) + 4) % 4;  // 1 left, 0 straight, 3 right
                const int rank = turn == 1 ? 0 : turn == 0 ? 1 : 2;
                if (rank < bestTurn) bestTurn = rank, next = c;
            }
            if (next == edges.size()) break;
            e = next;
        }
        double area = 0.0;
        for (std::size_t a = 0; a < loop.size(); ++a) {
            const std::uint64_t p = loop[a], q = loop[(a + 1) % loop.size()];
            area += static_cast<double>(p % stride) * static_cast<double>(q / stride) -
                    static_cast<double>(q % stride) * static_cast<double>(p / stride);
        }
        if (area > bestArea) bestArea = area, best = std::move(loop);
    }
    std::vector<geodesy::PlanarPoint> ring;
    for (const std::uint64_t v : best) {
        const geodesy::PlanarPoint p{cornerX(g, static_cast<std::int32_t>(v % stride)),
                                     cornerY(g, static_cast<std::int32_t>(v / stride))};
        if (!ring.empty() && ring.back() == p) continue;
        ring.push_back(p);
    }
    while (ring.size() > 1 && ring.front() == ring.back()) ring.pop_back();
    // Drop corners on a straight run (the far edges held to the frame may also repeat a corner).
    std::vector<geodesy::PlanarPoint> simple;
    for (std::size_t a = 0; a < ring.size(); ++a) {
        const geodesy::PlanarPoint& p = ring[(a + ring.size() - 1) % ring.size()];
        const geodesy::PlanarPoint& q = ring[a];
        const geodesy::PlanarPoint& r = ring[(a + 1) % ring.size()];
        if ((q.x - p.x) * (r.y - q.y) - (q.y - p.y) * (r.x - q.x) != 0.0) simple.push_back(q);
    }
    return simple.size() >= 3 ? simple : std::vector<geodesy::PlanarPoint>();
}

}  // namespace

TerrainSet cloudGroundPatches(const CloudTerrainGrid& grid) {
    return patches(grid, [&](std::size_t k, double& z) {
        z = grid.heights[k];
        return !std::isnan(z);
    });
}

TerrainSet cloudWaterPatches(const CloudTerrainGrid& grid) {
    TerrainSet set;
    if (grid.empty() || std::isnan(grid.waterLevel)) return set;
    const std::size_t cells = grid.water.size();
    std::vector<std::uint8_t> seen(cells, 0), member(cells, 0);
    for (std::size_t start = 0; start < cells; ++start) {
        if (grid.water[start] == 0 || seen[start] != 0) continue;
        std::vector<std::size_t> group;
        seen[start] = 1;
        detail::floodCells(
            grid.cols, grid.rows, {start},
            [&](std::size_t n) {
                if (grid.water[n] == 0 || seen[n] != 0) return false;
                seen[n] = 1;
                return true;
            },
            [&group](std::size_t k) { group.push_back(k); });
        for (const std::size_t k : group) member[k] = 1;
        std::vector<geodesy::PlanarPoint> ring = outerBoundary(grid, member, group);
        for (const std::size_t k : group) member[k] = 0;
        if (ring.empty()) continue;  // a group wholly on the far edges, held to one line
        TerrainPatch patch;
        patch.minX = patch.maxX = ring[0].x;
        patch.minY = patch.maxY = ring[0].y;
        for (const geodesy::PlanarPoint& p : ring) {
            patch.minX = std::min(patch.minX, p.x), patch.maxX = std::max(patch.maxX, p.x);
            patch.minY = std::min(patch.minY, p.y), patch.maxY = std::max(patch.maxY, p.y);
            patch.points.push_back({p.x, p.y, grid.waterLevel});
        }
        patch.outline = std::move(ring);
        set.push_back(std::move(patch));
    }
    return set;
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

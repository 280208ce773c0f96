#include "terrain/ContourTracer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <thread>

#include "settings/NumberText.h"
#include "terrain/detail/ContourCrossing.h"
#include "terrain/detail/ContourLevelCells.h"
#include "terrain/detail/ContourWalker.h"

namespace terrain {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Grids beyond this many nodes are refused outright rather than allocated.
constexpr double kMaxGridNodes = 1e8;
// Grid smoothing runs in bands of rows on up to this many threads, each with at least this many nodes.
constexpr unsigned kMaxSmoothThreads = 8;
constexpr std::size_t kNodesPerSmoothThread = 250'000;

const char* const kTruncatedNote =
    "Poziomice: za duzo danych dla wybranego ciecia - wynik ograniczony. Zwieksz ciecie albo zmniejsz kadr.";
const char* const kCancelledNote = "Poziomice: przerwano przez uzytkownika.";

struct Segment {
    double ax, ay, bx, by;
};

using Crossing = geodesy::PlanarPoint;
using detail::crossAt;

// The segments of one cell at one level, appended in the order the level's sweep produces them (grids
// the walker cannot join).
// Corners: A = (c, r), B = (c + 1, r), C = (c + 1, r + 1), D = (c, r + 1).
inline void cellSegments(double z, double xl, double xr, double yb, double yt, double hA, double hB, double hC,
                         double hD, std::vector<Segment>& out) {
    const bool a = z > hA, b = z > hB, c = z > hC, d = z > hD;
    const bool ab = a != b, bc = b != c, dc = d != c, ad = a != d;
    const int count = ab + bc + dc + ad;
    if (count == 2) {
        Crossing p[2];
        int n = 0;
        if (ab) p[n++] = crossAt(z, xl, yb, hA, xr, yb, hB);
        if (bc) p[n++] = crossAt(z, xr, yb, hB, xr, yt, hC);
        if (dc) p[n++] = crossAt(z, xl, yt, hD, xr, yt, hC);
        if (ad) p[n++] = crossAt(z, xl, yb, hA, xl, yt, hD);
        out.push_back({p[0].x, p[0].y, p[1].x, p[1].y});
    } else if (count == 4) {
        const Crossing pAB = crossAt(z, xl, yb, hA, xr, yb, hB);
        const Crossing pBC = crossAt(z, xr, yb, hB, xr, yt, hC);
        const Crossing pDC = crossAt(z, xl, yt, hD, xr, yt, hC);
        const Crossing pAD = crossAt(z, xl, yb, hA, xl, yt, hD);
        const double m = (hA + hB + hC + hD) / 4.0;
        if ((z > m) == a) {
            out.push_back({pAB.x, pAB.y, pBC.x, pBC.y});
            out.push_back({pDC.x, pDC.y, pAD.x, pAD.y});
        } else {
            out.push_back({pAB.x, pAB.y, pAD.x, pAD.y});
            out.push_back({pBC.x, pBC.y, pDC.x, pDC.y});
        }
    }
}

struct EndKey {
    std::int64_t x, y;
    auto operator<=>(const EndKey&) const = default;
};

// Millimetre key of an endpoint. Kept as a pair: folding both into one 64-bit number overflows for
// eastings beyond about 2300 km and lets distinct points meet for northings beyond 4000 km.
inline EndKey endKey(double x, double y) { return {std::llround(x * 1000.0), std::llround(y * 1000.0)}; }

// Joins one level's segments into lines, the general way: each unused segment starts a line that grows at its tail,
// then at its head, by the first unused segment (in creation order) sharing the end's millimetre key.
std::vector<std::vector<geodesy::PlanarPoint>> joinSegments(const std::vector<Segment>& segs) {
    const std::size_t n = segs.size();
    // Entry 2*i is segment i's first end, 2*i + 1 its second; sorting by key then entry keeps creation order.
    std::vector<EndKey> keys(2 * n);
    for (std::size_t i = 0; i < n; ++i) {
        keys[2 * i] = endKey(segs[i].ax, segs[i].ay);
        keys[2 * i + 1] = endKey(segs[i].bx, segs[i].by);
    }
    std::vector<std::uint32_t> order(2 * n);
    for (std::size_t e = 0; e < order.size(); ++e) order[e] = static_cast<std::uint32_t>(e);
    std::sort(order.begin(), order.end(),
              [&](std::uint32_t l, std::uint32_t r) { return keys[l] != keys[r] ? keys[l] < keys[r] : l < r; });
    // Group of every entry and a cursor per group past the entries whose segment is already used.
    std::vector<std::uint32_t> groupOf(2 * n);
    std::vector<std::uint32_t> cursor;
    std::vector<std::uint32_t> groupEnd;
    for (std::size_t k = 0; k < order.size(); ++k) {
        if (k == 0 || keys[order[k]] != keys[order[k - 1]]) {
            if (!cursor.empty()) groupEnd.push_back(static_cast<std::uint32_t>(k));
            cursor.push_back(static_cast<std::uint32_t>(k));
        }
        groupOf[order[k]] = static_cast<std::uint32_t>(cursor.size() - 1);
    }
    if (!cursor.empty()) groupEnd.push_back(static_cast<std::uint32_t>(order.size()));

    std::vector<bool> used(n, false);
    auto pointOf = [&](std::uint32_t entry) {
        const Segment& s = segs[entry / 2];
        return (entry & 1u) ? geodesy::PlanarPoint{s.bx, s.by} : geodesy::PlanarPoint{s.ax, s.ay};
    };
    // The entry at the far end of the next segment joined at `end`, or none.
    auto next = [&](std::uint32_t end, std::uint32_t& farEnd) {
        const std::uint32_t g = groupOf[end];
        std::uint32_t& k = cursor[g];
        while (k < groupEnd[g] && used[order[k] / 2]) ++k;
        if (k == groupEnd[g]) return false;
        const std::uint32_t entry = order[k];
        used[entry / 2] = true;
        farEnd = entry ^ 1u;
        return true;
    };

    std::vector<std::vector<geodesy::PlanarPoint>> lines;
    std::vector<geodesy::PlanarPoint> head;
    for (std::size_t i = 0; i < n; ++i) {
        if (used[i]) continue;
        used[i] = true;
        std::vector<geodesy::PlanarPoint> line{{segs[i].ax, segs[i].ay}, {segs[i].bx, segs[i].by}};
        std::uint32_t end = static_cast<std::uint32_t>(2 * i + 1);
        std::uint32_t far = 0;
        while (next(end, far)) {
            line.push_back(pointOf(far));
            end = far;
        }
        head.clear();
        end = static_cast<std::uint32_t>(2 * i);
        while (next(end, far)) {
            head.push_back(pointOf(far));
            end = far;
        }
        if (!head.empty()) {
            std::reverse(head.begin(), head.end());
            line.insert(line.begin(), head.begin(), head.end());
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

double lineLength(const std::vector<geodesy::PlanarPoint>& pts) {
    double len = 0.0;
    for (std::size_t i = 1; i < pts.size(); ++i) len += std::hypot(pts[i].x - pts[i - 1].x, pts[i].y - pts[i - 1].y);
    return len;
}

void appendNote(std::string& note, const std::string& text) {
    if (!note.empty()) note += ' ';
    note += text;
}

}  // namespace

double snapContourInterval(double interval) {
    for (double allowed : {0.25, 0.5, 1.0, 2.0})
        if (std::fabs(interval - allowed) <= 1e-6) return allowed;
    return interval;
}

double contourStep(const geodesy::Bbox& frame, int terrainStep, std::string& note) {
    note.clear();
    const double s = terrainStep <= 0 ? 1.0 : terrainStep;
    const double w = frame.maxE - frame.minE;
    const double h = frame.maxN - frame.minN;
    const double limit = kContourNodesPerAxis - 1;
    if (std::floor(w / s) > limit || std::floor(h / s) > limit) {
        const double step = std::max(s, std::max(w, h) / limit);
        note = "Poziomice: kadr za duzy dla kroku " + settings::formatNumber(s) + " m - siatka NMT ograniczona do " +
               std::to_string(kContourNodesPerAxis) + " wezlow na os. Uzyto kroku " + settings::formatNumber(step) +
               " m, aby zmiescic caly obszar.";
        return step;
    }
    return s;
}

ContourGrid buildContourGrid(const geodesy::Bbox& frame, double step, const HeightSource& heights) {
    ContourGrid grid;
    grid.x0 = frame.minE;
    grid.y0 = frame.minN;
    grid.step = step;
    if (!(step > 0.0) || !std::isfinite(frame.minE) || !std::isfinite(frame.minN)) return grid;
    const double nxf = std::floor((frame.maxE - frame.minE) / step) + 1.0;
    const double nyf = std::floor((frame.maxN - frame.minN) / step) + 1.0;
    if (!(nxf >= 2.0 && nyf >= 2.0) || nxf * nyf > kMaxGridNodes) return grid;
    grid.nx = static_cast<std::int32_t>(nxf);
    grid.ny = static_cast<std::int32_t>(nyf);
    grid.heights.assign(static_cast<std::size_t>(grid.nx) * static_cast<std::size_t>(grid.ny), kNaN);
    std::size_t k = 0;
    for (std::int32_t r = 0; r < grid.ny; ++r) {
        const double y = grid.y0 + r * step;
        for (std::int32_t c = 0; c < grid.nx; ++c, ++k) {
            double z = 0.0;
            if (heights(grid.x0 + c * step, y, z)) grid.heights[k] = z;
        }
    }
    return grid;
}

void smoothContourGrid(ContourGrid& grid, double spatialSigma, double heightSigma) {
    if (grid.nx < 3 || grid.ny < 3 || !(spatialSigma > 0.0) || !(heightSigma > 0.0) || !(grid.step > 0.0) ||
        grid.heights.size() != static_cast<std::size_t>(grid.nx) * static_cast<std::size_t>(grid.ny))
        return;
    const double radius = std::max(std::ceil(2.0 * spatialSigma / grid.step), 1.0);
    // A radius wider than the grid reaches no further nodes.
    const int R = static_cast<int>(std::min<double>(radius, std::max(grid.nx, grid.ny)));
    const double spatialDen = 2.0 * spatialSigma * spatialSigma;
    const double heightDen = 2.0 * heightSigma * heightSigma;
    const double step2 = grid.step * grid.step;
    const std::vector<double>& old = grid.heights;
    std::vector<double> out(old.size());
    auto smoothRows = [&](int rowBegin, int rowEnd) {
        for (int r = rowBegin; r < rowEnd; ++r) {
            for (int c = 0; c < grid.nx; ++c) {
                const std::size_t k = static_cast<std::size_t>(r) * grid.nx + c;
                const double h = old[k];
                if (std::isnan(h)) {
                    out[k] = h;
                    continue;
                }
                double sumW = 0.0, sumWH = 0.0;
                for (int dj = -R; dj <= R; ++dj) {
                    const int rr = r + dj;
                    if (rr < 0 || rr >= grid.ny) continue;
                    for (int di = -R; di <= R; ++di) {
                        const int cc = c + di;
                        if (cc < 0 || cc >= grid.nx) continue;
                        const double h2 = old[static_cast<std::size_t>(rr) * grid.nx + cc];
                        if (std::isnan(h2)) continue;
                        const double dh = h2 - h;
                        const double w = std::exp(-(di * di + dj * dj) * step2 / spatialDen - dh * dh / heightDen);
                        sumW += w;
                        sumWH += w * h2;
                    }
                }
                out[k] = sumW > 1e-12 ? sumWH / sumW : h;
            }
        }
    };
    // Every node reads only the old grid, so bands of rows can be smoothed side by side with the same result.
    const std::size_t nodes = old.size();
    const unsigned cores = std::max(1u, std::min(std::thread::hardware_concurrency(), kMaxSmoothThreads));
    const unsigned bands = nodes < kNodesPerSmoothThread
                               ? 1u
                               : std::min<unsigned>(cores, static_cast<unsigned>(nodes / kNodesPerSmoothThread));
    if (bands <= 1) {
        smoothRows(0, grid.ny);
    } else {
        std::vector<std::thread> helpers;
        const int rowsPerBand = (grid.ny + static_cast<int>(bands) - 1) / static_cast<int>(bands);
        for (unsigned b = 1; b < bands; ++b) {
            const int first = static_cast<int>(b) * rowsPerBand;
            const int last = std::min(grid.ny, first + rowsPerBand);
            if (first < last) helpers.emplace_back(smoothRows, first, last);
        }
        smoothRows(0, std::min(grid.ny, rowsPerBand));
        for (auto& t : helpers) t.join();
    }
    grid.heights = std::move(out);
}

std::vector<ContourLine> traceContours(const ContourGrid& grid, double interval, std::string& note, int maxContours,
                                       std::size_t maxPoints, const CancelQuery& cancel, bool& cancelled,
                                       const platform::ProgressCallback& progress) {
    cancelled = false;
    interval = snapContourInterval(interval);
    std::vector<ContourLine> result;
    if (grid.nx < 2 || grid.ny < 2 || !(interval > 0.0) ||
        grid.heights.size() != static_cast<std::size_t>(grid.nx) * static_cast<std::size_t>(grid.ny))
        return result;
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    // NaN compares false both ways, so missing heights leave the range as it is.
    for (double h : grid.heights) {
        lo = h < lo ? h : lo;
        hi = hi < h ? h : hi;
    }
    if (!(lo <= hi)) return result;
    const double kFirst = std::ceil(lo / interval);
    const double kLast = std::floor(hi / interval);
    // Level numbers beyond this cannot be counted exactly; such heights are not terrain.
    if (!(std::fabs(kFirst) < 1e15 && std::fabs(kLast) < 1e15)) return result;
    const std::int64_t k0 = static_cast<std::int64_t>(kFirst);
    std::int64_t levelCount = static_cast<std::int64_t>(kLast) - k0 + 1;
    bool truncated = false;
    if (levelCount > maxContours) {
        levelCount = std::max(maxContours, 0);
        truncated = true;
    }
    const int levels = static_cast<int>(std::max<std::int64_t>(levelCount, 0));
    // Cells are numbered in 32 bits; a grid with more would need tens of gigabytes of heights.
    if (static_cast<std::uint64_t>(grid.nx - 1) * static_cast<std::uint64_t>(grid.ny - 1) > UINT32_MAX) return result;

    detail::ContourLevelCells levelCells(grid, interval, k0, levels);
    detail::ContourWalker walker(grid);
    std::vector<Segment> segs;
    std::size_t totalPoints = 0;
    bool stopped = false;
    // Lines of a level in joining order; false once a cap is reached.
    auto keep = [&](double z, bool index, std::vector<geodesy::PlanarPoint>&& pts) {
        if (pts.size() < 2 || lineLength(pts) < 1e-9) return true;
        if (static_cast<std::int64_t>(result.size()) >= maxContours) return stopped = true, false;
        totalPoints += pts.size();
        result.push_back({z, index, std::move(pts)});
        if (totalPoints > maxPoints) return stopped = true, false;
        return true;
    };
    for (int i = 0; i < levels; ++i) {
        if (cancel && cancel()) {
            note = kCancelledNote;
            cancelled = true;
            return result;
        }
        if (progress) progress(i, levels);
        const double z = levelCells.levelZ(i);
        const bool index = (k0 + i) % 5 == 0;
        const std::span<const std::uint32_t> cells = levelCells.cellsOf(i);
        if (walker.usable()) {
            walker.walkLevel(z, cells,
                             [&](std::vector<geodesy::PlanarPoint>&& pts) { return keep(z, index, std::move(pts)); });
        } else {
            segs.clear();
            for (std::uint32_t cell : cells) {
                const int c = static_cast<int>(cell % static_cast<std::uint32_t>(grid.nx - 1));
                const int r = static_cast<int>(cell / static_cast<std::uint32_t>(grid.nx - 1));
                cellSegments(z, grid.x0 + c * grid.step, grid.x0 + (c + 1) * grid.step, grid.y0 + r * grid.step,
                             grid.y0 + (r + 1) * grid.step, grid.at(c, r), grid.at(c + 1, r), grid.at(c + 1, r + 1),
                             grid.at(c, r + 1), segs);
            }
            for (auto& pts : joinSegments(segs))
                if (!keep(z, index, std::move(pts))) break;
        }
        if (stopped) {
            appendNote(note, kTruncatedNote);
            return result;
        }
    }
    if (truncated) appendNote(note, kTruncatedNote);
    return result;
}

}  // namespace terrain

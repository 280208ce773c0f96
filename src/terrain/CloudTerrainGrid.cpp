#include "terrain/CloudTerrainGrid.h"

#include <algorithm>
#include <cmath>

#include "platform/Numbers.h"

namespace terrain {

namespace {

// The heights of each cell's points, gathered in one flat array (counting sort by cell).
struct BinnedHeights {
    std::vector<std::uint32_t> start;  // cell k's heights are values[start[k] .. start[k + 1])
    std::vector<float> values;
};

bool cellOf(const CloudTerrainGrid& g, const formats::CloudPoint& p, std::size_t& k) {
    const double fi = std::floor((p.x - g.originX) / g.step), fj = std::floor((p.y - g.originY) / g.step);
    if (!(fi >= 0.0 && fj >= 0.0 && fi < g.cols && fj < g.rows)) return false;  // NaN fails too
    k = g.index(static_cast<std::int32_t>(fi), static_cast<std::int32_t>(fj));
    return true;
}

BinnedHeights bin(const CloudTerrainGrid& g, const std::vector<formats::CloudPoint>& points) {
    const std::size_t cells = g.heights.size();
    BinnedHeights b;
    b.start.assign(cells + 1, 0);
    std::size_t k = 0;
    for (const formats::CloudPoint& p : points)
        if (cellOf(g, p, k)) ++b.start[k + 1];
    for (std::size_t c = 0; c < cells; ++c) b.start[c + 1] += b.start[c];
    b.values.resize(b.start[cells]);
    std::vector<std::uint32_t> next(b.start.begin(), b.start.end() - 1);
    for (const formats::CloudPoint& p : points)
        if (cellOf(g, p, k)) b.values[next[k]++] = static_cast<float>(p.z);
    return b;
}

// Element n/2 of the cell's heights (the upper middle for an even count); NaN for an empty cell.
double cellMedian(BinnedHeights& b, std::size_t k) {
    const auto first = b.values.begin() + b.start[k], last = b.values.begin() + b.start[k + 1];
    if (first == last) return std::nan("");
    const auto middle = first + (last - first) / 2;
    std::nth_element(first, middle, last);
    return *middle;
}

void fillHoles(CloudTerrainGrid& g) {
    std::vector<std::pair<std::size_t, double>> filled;
    for (int pass = 0; pass < kCloudHoleFillPasses; ++pass) {
        filled.clear();
        for (std::int32_t j = 0; j < g.rows; ++j) {
            for (std::int32_t i = 0; i < g.cols; ++i) {
                if (!std::isnan(g.heights[g.index(i, j)])) continue;
                double sum = 0.0;
                int n = 0;
                for (std::int32_t dj = -1; dj <= 1; ++dj) {
                    for (std::int32_t di = -1; di <= 1; ++di) {
                        const std::int32_t a = i + di, b = j + dj;
                        if ((di == 0 && dj == 0) || a < 0 || b < 0 || a >= g.cols || b >= g.rows) continue;
                        const double h = g.heights[g.index(a, b)];
                        if (std::isnan(h)) continue;
                        sum += h;
                        ++n;
                    }
                }
                if (n > 0) filled.emplace_back(g.index(i, j), sum / n);
            }
        }
        if (filled.empty()) break;
        for (const auto& [k, h] : filled) g.heights[k] = h;
        g.filledCells += filled.size();
    }
}

}  // namespace

double cloudTerrainStep(const geodesy::Bbox& frame, double requested, std::string& warning) {
    warning.clear();
    const double step = requested > 0.0 ? requested : 1.0;
    const double width = frame.maxE - frame.minE, height = frame.maxN - frame.minN;
    if (!(width / step > kCloudGridNodesPerAxis || height / step > kCloudGridNodesPerAxis)) return step;
    const double coarse = std::max(width, height) / kCloudGridNodesPerAxis;
    warning = "Teren z chmury: kadr duzy dla kroku " + platform::cformat("%g", requested) + " m - krata zgrubiona do " +
              platform::cformat("%.2f", coarse) + " m (limit 800 wezlow/os). Zmniejsz kadr dla drobniejszej kraty.";
    return coarse;
}

CloudTerrainGrid buildCloudTerrainGrid(const std::vector<formats::CloudPoint>& ground, const geodesy::Bbox& frame,
                                       double step, const std::vector<formats::CloudPoint>& waterPoints,
                                       bool withWater) {
    CloudTerrainGrid g;
    g.originX = frame.minE;
    g.originY = frame.minN;
    g.step = step > 0.0 ? step : 1.0;
    const double cols = std::floor((frame.maxE - frame.minE) / g.step) + 1.0;
    const double rows = std::floor((frame.maxN - frame.minN) / g.step) + 1.0;
    // A frame the step limit has not seen (or a broken one) must not allocate without bound.
    const double most = 4.0 * kCloudGridNodesPerAxis;
    if (!(cols >= 1.0 && rows >= 1.0 && cols <= most && rows <= most)) return g;
    g.cols = static_cast<std::int32_t>(cols);
    g.rows = static_cast<std::int32_t>(rows);
    const std::size_t cells = static_cast<std::size_t>(g.cols) * static_cast<std::size_t>(g.rows);
    g.heights.assign(cells, std::nan(""));
    g.water.assign(cells, 0);

    BinnedHeights groundBins = bin(g, ground);
    for (std::size_t k = 0; k < cells; ++k) {
        g.heights[k] = cellMedian(groundBins, k);
        if (!std::isnan(g.heights[k])) ++g.filledCells;
    }
    groundBins = {};
    fillHoles(g);
    if (!withWater || waterPoints.empty()) return g;

    BinnedHeights waterBins = bin(g, waterPoints);
    for (std::size_t k = 0; k < cells; ++k) {
        const double h = cellMedian(waterBins, k);
        if (std::isnan(h)) continue;
        if (std::isnan(g.heights[k])) ++g.filledCells;
        g.heights[k] = h;
        g.water[k] = 1;
        ++g.waterPointCells;
    }
    std::vector<double> all;
    all.reserve(waterPoints.size());
    for (const formats::CloudPoint& p : waterPoints) all.push_back(p.z);
    std::nth_element(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(all.size() / 2), all.end());
    g.waterLevel = all[all.size() / 2];
    // Cells at open water where the scanner recorded nothing become water as well.
    for (std::size_t k = 0; k < cells; ++k) {
        if (g.water[k] == 0 && !std::isnan(g.heights[k])) continue;
        if (std::isnan(g.heights[k])) ++g.filledCells;
        g.heights[k] = g.waterLevel;
        g.water[k] = 1;
        ++g.waterCells;
    }
    return g;
}

}  // namespace terrain

#include "terrain/CloudTerrainBuilder.h"

#include <cmath>
#include <deque>
#include <utility>
#include <vector>

#include "terrain/detail/CellMedians.h"
#include "terrain/detail/FloodFill.h"
#include "terrain/detail/HeightTally.h"

namespace terrain {

namespace {

constexpr std::uint8_t kGroundClass = 2, kWaterClass = 9;

}  // namespace

struct CloudTerrainBuilder::State {
    CloudTerrainGrid grid;  // dimensions only until finish()
    bool withWater = false;
    detail::CellMedians ground{0};
    detail::CellMedians water{0};
    detail::HeightTally waterLevel;
    std::vector<std::uint8_t> returned;  // 1 once the cell received a return of any class
    std::vector<std::uint8_t> lost;      // 1 for a cell inside a lost sheet's area
    bool lostEverywhere = false;
    std::uint64_t groundPoints = 0;

    bool cellOf(double x, double y, std::size_t& k) const {
        const double fi = std::floor((x - grid.originX) / grid.step), fj = std::floor((y - grid.originY) / grid.step);
        if (!(fi >= 0.0 && fj >= 0.0 && fi < grid.cols && fj < grid.rows)) return false;  // NaN fails too
        k = grid.index(static_cast<std::int32_t>(fi), static_cast<std::int32_t>(fj));
        return true;
    }
    // Without a height after binning, and not a cell whose points may have been lost.
    bool fillable(std::size_t k) const { return returned[k] != 0 || !(lostEverywhere || lost[k] != 0); }
    void fillHoles(CloudTerrainGrid& g) const;
    void setWater(CloudTerrainGrid& g) const;
};

CloudTerrainBuilder::CloudTerrainBuilder(const geodesy::Bbox& frame, double step, bool withWater)
    : state_(std::make_unique<State>()) {
    CloudTerrainGrid& g = state_->grid;
    g.originX = frame.minE;
    g.originY = frame.minN;
    g.step = step > 0.0 ? step : 1.0;
    state_->withWater = withWater;
    const double cols = std::floor((frame.maxE - frame.minE) / g.step) + 1.0;
    const double rows = std::floor((frame.maxN - frame.minN) / g.step) + 1.0;
    // A frame the step limit has not seen (or a broken one) must not allocate without bound.
    const double most = 4.0 * kCloudGridNodesPerAxis;
    if (!(cols >= 1.0 && rows >= 1.0 && cols <= most && rows <= most)) return;
    g.cols = static_cast<std::int32_t>(cols);
    g.rows = static_cast<std::int32_t>(rows);
    const std::size_t cells = static_cast<std::size_t>(g.cols) * static_cast<std::size_t>(g.rows);
    state_->ground = detail::CellMedians(cells);
    if (withWater) state_->water = detail::CellMedians(cells);
    state_->returned.assign(cells, 0);
    state_->lost.assign(cells, 0);
}

CloudTerrainBuilder::~CloudTerrainBuilder() = default;

void CloudTerrainBuilder::add(const formats::CloudPoint& p) {
    State& s = *state_;
    std::size_t k = 0;
    if (!s.cellOf(p.x, p.y, k)) return;
    s.returned[k] = 1;
    if (p.classification == kGroundClass) {
        s.ground.add(k, static_cast<float>(p.z));
        ++s.groundPoints;
    } else if (p.classification == kWaterClass && s.withWater) {
        s.water.add(k, static_cast<float>(p.z));
        s.waterLevel.add(p.z);
    }
}

void CloudTerrainBuilder::markLost(const geodesy::Bbox& area) {
    State& s = *state_;
    const CloudTerrainGrid& g = s.grid;
    // Every cell the area reaches into: a cell only touching it at an edge keeps its own points.
    const auto reaches = [&g](double from, double low, double high) { return from + g.step > low && from <= high; };
    for (std::int32_t j = 0; j < g.rows; ++j) {
        if (!reaches(g.originY + j * g.step, area.minN, area.maxN)) continue;
        for (std::int32_t i = 0; i < g.cols; ++i)
            if (reaches(g.originX + i * g.step, area.minE, area.maxE)) s.lost[g.index(i, j)] = 1;
    }
}

void CloudTerrainBuilder::markLostEverywhere() { state_->lostEverywhere = true; }

std::uint64_t CloudTerrainBuilder::groundPoints() const { return state_->groundPoints; }
std::uint64_t CloudTerrainBuilder::waterPoints() const { return state_->waterLevel.count(); }

std::size_t CloudTerrainBuilder::bytes() const {
    const State& s = *state_;
    return s.ground.bytes() + s.water.bytes() + s.returned.capacity() + s.lost.capacity();
}

void CloudTerrainBuilder::State::fillHoles(CloudTerrainGrid& g) const {
    std::vector<std::pair<std::size_t, double>> filled;
    for (int pass = 0; pass < kCloudHoleFillPasses; ++pass) {
        filled.clear();
        for (std::int32_t j = 0; j < g.rows; ++j) {
            for (std::int32_t i = 0; i < g.cols; ++i) {
                const std::size_t k = g.index(i, j);
                if (!std::isnan(g.heights[k]) || !fillable(k)) continue;
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
                if (n > 0) filled.emplace_back(k, sum / n);
            }
        }
        if (filled.empty()) break;
        for (const auto& [k, h] : filled) g.heights[k] = h;
        g.filledCells += filled.size();
    }
}

// Cells with water returns take their median and become water; so does every cell without a return and still
// without a height that the scanner's silence joins to them (open water gives no echo), except where a lost sheet
// may hide land. Then every water cell lies at the level of all water returns.
void CloudTerrainBuilder::State::setWater(CloudTerrainGrid& g) const {
    const std::size_t cells = g.heights.size();
    std::deque<std::size_t> open;
    for (std::size_t k = 0; k < cells; ++k) {
        const double h = water.median(k);
        if (std::isnan(h)) continue;
        if (!water.exact(k)) ++g.approximateCells;
        if (std::isnan(g.heights[k])) ++g.filledCells;
        g.heights[k] = h;
        g.water[k] = 1;
        ++g.waterPointCells;
        open.push_back(k);
    }
    g.waterLevel = waterLevel.median();
    const auto join = [&](std::size_t n) {
        if (g.water[n] != 0 || !std::isnan(g.heights[n]) || returned[n] != 0 || !fillable(n)) return false;
        g.water[n] = 1;
        g.heights[n] = g.waterLevel;
        ++g.filledCells;
        return true;
    };
    detail::floodCells(g.cols, g.rows, std::move(open), join, [](std::size_t) {});
    for (std::size_t k = 0; k < cells; ++k) {
        if (g.water[k] == 0) continue;
        g.heights[k] = g.waterLevel;
        ++g.waterCells;
    }
}

CloudTerrainGrid CloudTerrainBuilder::finish() {
    State& s = *state_;
    CloudTerrainGrid g = std::move(s.grid);
    if (g.empty()) return g;
    const std::size_t cells = static_cast<std::size_t>(g.cols) * static_cast<std::size_t>(g.rows);
    g.heights.assign(cells, std::nan(""));
    g.water.assign(cells, 0);
    for (std::size_t k = 0; k < cells; ++k) {
        g.heights[k] = s.ground.median(k);
        if (std::isnan(g.heights[k])) continue;
        ++g.filledCells;
        if (!s.ground.exact(k)) ++g.approximateCells;
    }
    s.ground = detail::CellMedians(0);
    s.fillHoles(g);
    if (s.withWater && s.waterLevel.count() > 0) s.setWater(g);
    return g;
}

}  // namespace terrain

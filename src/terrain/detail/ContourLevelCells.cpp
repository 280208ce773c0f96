#include "terrain/detail/ContourLevelCells.h"

#include <algorithm>
#include <cmath>

namespace terrain::detail {

namespace {
// Small grids may gather this many entries per run even when they have fewer cells.
constexpr std::size_t kMinBudget = 1u << 20;
}  // namespace

ContourLevelCells::ContourLevelCells(const ContourGrid& grid, double interval, std::int64_t k0, int levels)
    : grid_(grid),
      interval_(interval),
      inverse_(1.0 / interval),
      k0_(k0),
      levels_(levels),
      cellCols_(grid.nx - 1),
      cellRows_(grid.ny - 1) {
    const std::size_t cellCount = static_cast<std::size_t>(cellCols_) * static_cast<std::size_t>(cellRows_);
    budget_ = std::max(cellCount, kMinBudget);
}

namespace {

// floor for |q| < 2^62, without a library call.
inline double floorOf(double q) {
    const double t = static_cast<double>(static_cast<std::int64_t>(q));
    return t > q ? t - 1.0 : t;
}

}  // namespace

inline bool ContourLevelCells::levelRange(double lo, double hi, std::int64_t& from, std::int64_t& to) const {
    const double qLo = lo * inverse_, qHi = hi * inverse_;
    const double fLo = floorOf(qLo), fHi = floorOf(qHi);
    // Most cells lie between two levels, well clear of both: no level can pass the exact tests below. The
    // margin dwarfs every rounding of the quotients and of the levels.
    if (fLo == fHi) {
        const double margin = 1e-9 * (1.0 + std::fabs(qLo) + std::fabs(qHi));
        if (qLo - fLo > margin && fHi + 1.0 - qHi > margin) return false;
    }
    // Candidates widened by one on each side against rounding; the exact tests decide.
    from = std::max<std::int64_t>(0, static_cast<std::int64_t>(fLo) - k0_ - 1);
    to = std::min<std::int64_t>(levels_ - 1, static_cast<std::int64_t>(fHi) - k0_ + 1);
    while (from <= to && !(levelZ(from) > lo)) ++from;
    while (to >= from && !(levelZ(to) <= hi)) --to;
    return from <= to;
}

inline bool ContourLevelCells::cellLevels(int c, int r, std::int64_t& from, std::int64_t& to) const {
    const double hA = grid_.at(c, r), hB = grid_.at(c + 1, r);
    const double hC = grid_.at(c + 1, r + 1), hD = grid_.at(c, r + 1);
    if (std::isnan(hA) || std::isnan(hB) || std::isnan(hC) || std::isnan(hD)) return false;
    return levelRange(std::min(std::min(hA, hB), std::min(hC, hD)), std::max(std::max(hA, hB), std::max(hC, hD)), from,
                      to);
}

void ContourLevelCells::countWindow(int first) {
    const std::size_t cellCount = static_cast<std::size_t>(cellCols_) * static_cast<std::size_t>(cellRows_);
    // More levels than cells only happens with absurd height ranges; they are counted a window at a time.
    const std::int64_t window = std::max<std::int64_t>(static_cast<std::int64_t>(cellCount), 4096);
    windowFirst_ = first;
    windowEnd_ = static_cast<int>(std::min<std::int64_t>(levels_, first + window));
    const bool rows = rowFrom_.empty();
    if (rows) {
        rowFrom_.assign(static_cast<std::size_t>(cellRows_), levels_);
        rowTo_.assign(static_cast<std::size_t>(cellRows_), -1);
    }
    counts_.assign(static_cast<std::size_t>(windowEnd_ - windowFirst_) + 1, 0);
    for (int r = 0; r < cellRows_; ++r) {
        if (!rows && (rowFrom_[r] >= windowEnd_ || rowTo_[r] < windowFirst_)) continue;
        for (int c = 0; c < cellCols_; ++c) {
            std::int64_t from = 0, to = 0;
            if (!cellLevels(c, r, from, to)) continue;
            if (rows) {
                rowFrom_[r] = std::min(rowFrom_[r], static_cast<int>(from));
                rowTo_[r] = std::max(rowTo_[r], static_cast<int>(to));
            }
            from = std::max<std::int64_t>(from, windowFirst_);
            to = std::min<std::int64_t>(to, windowEnd_ - 1);
            if (from > to) continue;
            ++counts_[static_cast<std::size_t>(from - windowFirst_)];
            --counts_[static_cast<std::size_t>(to + 1 - windowFirst_)];
        }
    }
    // Differences into counts (unsigned wrap-around cancels out in the running sum).
    std::size_t running = 0;
    for (std::size_t& n : counts_) {
        running += n;
        n = running;
    }
}

void ContourLevelCells::fillRun(int first) {
    if (first < windowFirst_ || first >= windowEnd_) countWindow(first);
    runFirst_ = first;
    runEnd_ = first;
    std::size_t total = 0;
    offsets_.clear();
    offsets_.push_back(0);
    while (runEnd_ < windowEnd_) {
        const std::size_t n = counts_[static_cast<std::size_t>(runEnd_ - windowFirst_)];
        if (runEnd_ > first && total + n > budget_) break;
        total += n;
        offsets_.push_back(total);
        ++runEnd_;
    }
    // Every entry is written below, so the list is not cleared first.
    if (total > cellsCapacity_) {
        cells_.reset(new std::uint32_t[total]);
        cellsCapacity_ = total;
    }
    std::vector<std::size_t> fill(offsets_.begin(), offsets_.end() - 1);
    if (total == 0) return;
    for (int r = 0; r < cellRows_; ++r) {
        if (rowFrom_[r] >= runEnd_ || rowTo_[r] < runFirst_) continue;
        const std::uint32_t rowBase = static_cast<std::uint32_t>(r) * static_cast<std::uint32_t>(cellCols_);
        for (int c = 0; c < cellCols_; ++c) {
            std::int64_t from = 0, to = 0;
            if (!cellLevels(c, r, from, to)) continue;
            from = std::max<std::int64_t>(from, runFirst_);
            to = std::min<std::int64_t>(to, runEnd_ - 1);
            for (std::int64_t i = from; i <= to; ++i)
                cells_[fill[static_cast<std::size_t>(i - runFirst_)]++] = rowBase + static_cast<std::uint32_t>(c);
        }
    }
}

std::span<const std::uint32_t> ContourLevelCells::cellsOf(int level) {
    if (level < runFirst_ || level >= runEnd_) fillRun(level);
    const std::size_t k = static_cast<std::size_t>(level - runFirst_);
    return {cells_.get() + offsets_[k], offsets_[k + 1] - offsets_[k]};
}

}  // namespace terrain::detail

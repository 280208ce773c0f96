// The cells each contour level crosses, gathered for runs of levels within a fixed budget.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "terrain/ContourGrid.h"

namespace terrain::detail {

// Level i lies at (k0 + i) * interval. A cell (index r * (nx - 1) + c) is crossed by a level when all four
// corners have heights and the level lies above the lowest corner and not above the highest.
// Lists are built for a run of consecutive levels at a time, never holding more entries than the larger of
// the grid's cell count and a small floor, so the memory is a fixed multiple of the grid's size.
class ContourLevelCells {
public:
    ContourLevelCells(const ContourGrid& grid, double interval, std::int64_t k0, int levels);

    // The cells `level` crosses, in cell order. Levels are asked for in increasing order; the span stays
    // valid until a level beyond the current run is asked for.
    std::span<const std::uint32_t> cellsOf(int level);

    double levelZ(std::int64_t level) const { return static_cast<double>(k0_ + level) * interval_; }

private:
    // Levels [from, to] crossing a cell with the given lowest and highest corner; false when none.
    [[gnu::always_inline]] inline bool levelRange(double lo, double hi, std::int64_t& from, std::int64_t& to) const;
    // Levels [from, to] crossing the cell at column c, row r; false when none or when a corner has no height.
    [[gnu::always_inline]] inline bool cellLevels(int c, int r, std::int64_t& from, std::int64_t& to) const;
    // Counts the cells of every level in [first, first + window) and the row ranges on the first call.
    void countWindow(int first);
    // Fills the lists of the run of levels starting at `first`.
    void fillRun(int first);

    const ContourGrid& grid_;
    double interval_;
    double inverse_;
    std::int64_t k0_;
    int levels_;
    int cellCols_, cellRows_;
    std::size_t budget_;
    // Per cell row, the lowest and highest level crossing any of its cells (empty when lowest > highest).
    std::vector<int> rowFrom_, rowTo_;
    // Cell counts of the levels [windowFirst_, windowEnd_).
    int windowFirst_ = 0, windowEnd_ = 0;
    std::vector<std::size_t> counts_;
    // The current run [runFirst_, runEnd_): level i's cells are cells_[offsets_[i - runFirst_] ...].
    int runFirst_ = 0, runEnd_ = 0;
    std::vector<std::size_t> offsets_;
    std::unique_ptr<std::uint32_t[]> cells_;
    std::size_t cellsCapacity_ = 0;
};

}  // namespace terrain::detail

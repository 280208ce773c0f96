// The median height of every grid cell, gathered point by point in memory bounded by the grid.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace terrain::detail {

// Each cell keeps up to kWindow of its heights, sorted, plus counts of the heights dropped below and above them.
// The median (element n/2, the upper middle for an even count) is exact for every cell of up to kWindow heights,
// in any order. Beyond that, a new height enters the window only between the highest dropped below and the lowest
// dropped above, and the window drops the end farther from the median's rank; the median stays exact while its
// rank lies inside the window. For heights in no particular order (as scan lines bring them) that holds for a few
// hundred: every one of 4,000 cells of 200 random heights, 96 to 98 % of cells of 500. Heights arriving sorted
// push the rank out soon after kWindow; then the nearest height the window holds is taken (a few ranks off the
// median: within 2 cm for 1,000 heights spread over 30 cm) and exact() says so.
class CellMedians {
public:
    static constexpr int kWindow = 32;

    explicit CellMedians(std::size_t cells);

    void add(std::size_t cell, float z);
    std::uint32_t count(std::size_t cell) const;
    // NaN for a cell without heights.
    double median(std::size_t cell) const;
    // False when the median's rank fell outside the cell's window (see above).
    bool exact(std::size_t cell) const;
    // Bytes held: the cells plus one window per cell that received a height.
    std::size_t bytes() const;

private:
    static constexpr std::uint32_t kNoWindow = 0xFFFFFFFFu;
    struct Cell {
        std::uint32_t window = kNoWindow;  // slot in windows_
        std::uint32_t below = 0;           // heights dropped under the window
        std::uint32_t above = 0;           // heights dropped over it
        float low = 0.0f;                  // the highest height dropped under (valid when below > 0)
        float high = 0.0f;                 // the lowest height dropped over (valid when above > 0)
        std::uint8_t size = 0;             // heights in the window
    };
    // Windows come in blocks, so the memory grows without copying and never holds a spare half.
    static constexpr std::uint32_t kWindowsPerBlock = 4096;
    // Position of the median in the cell's window, before clamping.
    std::int64_t medianSlot(const Cell& c) const;
    float* window(std::uint32_t slot) const {
        return blocks_[slot / kWindowsPerBlock].get() + static_cast<std::size_t>(slot % kWindowsPerBlock) * kWindow;
    }

    std::vector<Cell> cells_;
    std::vector<std::unique_ptr<float[]>> blocks_;  // kWindow heights per window, the first `size` of them sorted
    std::uint32_t windows_ = 0;                     // windows handed out
};

}  // namespace terrain::detail

#include "terrain/detail/CellMedians.h"

#include <algorithm>
#include <cmath>

namespace terrain::detail {

CellMedians::CellMedians(std::size_t cells) : cells_(cells) {}

void CellMedians::add(std::size_t cell, float z) {
    Cell& c = cells_[cell];
    if (c.below > 0 && z <= c.low) {
        ++c.below;
        return;
    }
    if (c.above > 0 && z >= c.high) {
        ++c.above;
        return;
    }
    if (c.window == kNoWindow) {
        if (windows_ % kWindowsPerBlock == 0)
            blocks_.push_back(std::make_unique<float[]>(static_cast<std::size_t>(kWindowsPerBlock) * kWindow));
        c.window = windows_++;
    }
    float* w = window(c.window);
    float* end = w + c.size;
    float* at = std::upper_bound(w, end, z);
    if (c.size < kWindow) {
        std::copy_backward(at, end, end + 1);
        *at = z;
        ++c.size;
        return;
    }
    // Full: take the new height in and drop one end, the one farther from the median's rank.
    const std::uint64_t n = static_cast<std::uint64_t>(c.below) + c.size + c.above + 1;
    const std::int64_t slot = static_cast<std::int64_t>(n / 2) - c.below;  // the median's place among the kWindow + 1
    if (slot >= kWindow / 2) {
        // Drop the lowest: shift the lower part down by one.
        const float dropped = at == w ? z : w[0];
        if (at != w) {
            std::copy(w + 1, at, w);
            *(at - 1) = z;
        }
        c.low = dropped;
        ++c.below;
    } else {
        const float dropped = at == end ? z : w[kWindow - 1];
        if (at != end) {
            std::copy_backward(at, end - 1, end);
            *at = z;
        }
        c.high = dropped;
        ++c.above;
    }
}

std::uint32_t CellMedians::count(std::size_t cell) const {
    const Cell& c = cells_[cell];
    return c.below + c.size + c.above;
}

std::int64_t CellMedians::medianSlot(const Cell& c) const {
    const std::uint64_t n = static_cast<std::uint64_t>(c.below) + c.size + c.above;
    return static_cast<std::int64_t>(n / 2) - c.below;
}

double CellMedians::median(std::size_t cell) const {
    const Cell& c = cells_[cell];
    if (c.size == 0) return std::nan("");
    const std::int64_t slot = std::clamp<std::int64_t>(medianSlot(c), 0, c.size - 1);
    return window(c.window)[slot];
}

bool CellMedians::exact(std::size_t cell) const {
    const Cell& c = cells_[cell];
    const std::int64_t slot = medianSlot(c);
    return c.size == 0 || (slot >= 0 && slot < c.size);
}

std::size_t CellMedians::bytes() const {
    return cells_.capacity() * sizeof(Cell) + blocks_.size() * kWindowsPerBlock * kWindow * sizeof(float);
}

}  // namespace terrain::detail

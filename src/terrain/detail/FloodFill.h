// Breadth-first walks over grid cells joined by their sides.
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <utility>

namespace terrain::detail {

// From the cells in `open` (row-major indices of a cols x rows grid) to every cell joined to them by a side that
// `join` admits (join marks what it admits, so no cell comes twice); `take` sees each cell as it leaves the queue.
template <class Join, class Take>
void floodCells(std::int32_t cols, std::int32_t rows, std::deque<std::size_t> open, Join join, Take take) {
    const auto width = static_cast<std::size_t>(cols);
    while (!open.empty()) {
        const std::size_t k = open.front();
        open.pop_front();
        take(k);
        const auto i = static_cast<std::int32_t>(k % width), j = static_cast<std::int32_t>(k / width);
        const std::pair<std::int32_t, std::int32_t> next[] = {{i - 1, j}, {i + 1, j}, {i, j - 1}, {i, j + 1}};
        for (const auto& [a, b] : next) {
            if (a < 0 || b < 0 || a >= cols || b >= rows) continue;
            const std::size_t n = static_cast<std::size_t>(b) * width + static_cast<std::size_t>(a);
            if (join(n)) open.push_back(n);
        }
    }
}

}  // namespace terrain::detail

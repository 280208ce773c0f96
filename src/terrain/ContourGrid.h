// The regular height grid that contours are traced on.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace terrain {

// Node (c, r) lies at (x0 + c*step, y0 + r*step); heights are stored row by row from the bottom row.
// A missing height is NaN.
struct ContourGrid {
    double x0 = 0.0;
    double y0 = 0.0;
    double step = 1.0;
    std::int32_t nx = 0;
    std::int32_t ny = 0;
    std::vector<double> heights;

    double at(std::int32_t c, std::int32_t r) const {
        return heights[static_cast<std::size_t>(r) * static_cast<std::size_t>(nx) + static_cast<std::size_t>(c)];
    }
};

}  // namespace terrain

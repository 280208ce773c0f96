#include "buildings/detail/Planar.h"

#include <algorithm>

namespace buildings::detail {

bool insideEvenOdd(const std::vector<geodesy::PlanarPoint>& ring, double x, double y) {
    bool inside = false;
    for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
        const geodesy::PlanarPoint& a = ring[i];
        const geodesy::PlanarPoint& b = ring[j];
        if ((a.y > y) != (b.y > y) && x < a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y)) inside = !inside;
    }
    return inside;
}

double medianOf(std::vector<double>& values) {
    if (values.empty()) return 0.0;
    const auto mid = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), mid, values.end());
    return *mid;
}

}  // namespace buildings::detail

// A square-cell index of cloud points for finding those near a footprint.
#pragma once
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "formats/CloudPoint.h"
#include "geodesy/Bbox.h"

namespace buildings {

class PointIndex {
public:
    // Cells of `cell` metres counted from (originX, originY).
    PointIndex(const std::vector<formats::CloudPoint>& points, double cell, double originX, double originY);

    // Indices of the points in the cells overlapping the box, widened by one cell on every side, cell by cell.
    std::vector<std::size_t> near(const geodesy::Bbox& box) const;

private:
    double cell_, originX_, originY_;
    std::unordered_map<std::int64_t, std::vector<std::size_t>> cells_;
};

}  // namespace buildings

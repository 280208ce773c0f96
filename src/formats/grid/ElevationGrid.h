// One elevation sheet read from an ESRI ASCII grid.
#pragma once
#include <cstdint>
#include <vector>

namespace grid {

// Heights of one sheet in the sheet's own coordinates (no reprojection).
// Values are row-major in file order: the first stored row is the northernmost.
struct ElevationGrid {
    std::int32_t ncols = 0;
    std::int32_t nrows = 0;
    double x0 = 0.0;  // lower-left corner of the lower-left cell, metres (a centre-referenced header is moved here)
    double y0 = 0.0;
    double cellsize = 1.0;
    double nodata = -9999.0;
    std::vector<double> values;
};

}  // namespace grid

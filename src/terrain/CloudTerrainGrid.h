// A regular height grid of the ground built straight from LiDAR points, with water cells flattened to one level.
#pragma once
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "formats/CloudPoint.h"
#include "geodesy/Bbox.h"

namespace terrain {

// Most grid nodes per axis whatever step is asked for.
inline constexpr int kCloudGridNodesPerAxis = 800;
// Passes of hole filling.
inline constexpr int kCloudHoleFillPasses = 20;

// Cell (i, j) covers [originX + i*step, originX + (i+1)*step) x [originY + j*step, originY + (j+1)*step).
struct CloudTerrainGrid {
    double originX = 0.0;
    double originY = 0.0;
    double step = 1.0;
    std::int32_t cols = 0;
    std::int32_t rows = 0;
    std::vector<double> heights;      // cols x rows, row-major (j * cols + i); NaN where unknown
    std::vector<std::uint8_t> water;  // 1 for a water cell
    double waterLevel = std::numeric_limits<double>::quiet_NaN();
    std::uint64_t filledCells = 0;
    std::uint64_t waterPointCells = 0;
    std::uint64_t waterCells = 0;
    // Cells whose median is the nearest height the builder held rather than the exact one (more heights than
    // its window, arriving strongly ordered; see CloudTerrainBuilder).
    std::uint64_t approximateCells = 0;

    std::size_t index(std::int32_t i, std::int32_t j) const {
        return static_cast<std::size_t>(j) * static_cast<std::size_t>(cols) + static_cast<std::size_t>(i);
    }
    bool empty() const { return cols < 1 || rows < 1; }
};

// The step for a frame: the requested one (1 when not positive), coarsened to the longer side / 800 when an
// axis would need more than 800 cells; then `warning` tells the user, else it is cleared.
double cloudTerrainStep(const geodesy::Bbox& frame, double requested, std::string& warning);

// Bins the ground points (PL-1992, inside the frame) into cells (median height, upper middle), fills holes from
// their neighbours, and, with `withWater`, sets cells with water points to their median, then flattens them and
// the cells without any return joined to them (open water) to the water points' median. The points are the only
// returns: CloudTerrainBuilder takes every return and the areas of lost sheets, sheet by sheet.
CloudTerrainGrid buildCloudTerrainGrid(const std::vector<formats::CloudPoint>& ground, const geodesy::Bbox& frame,
                                       double step, const std::vector<formats::CloudPoint>& waterPoints,
                                       bool withWater);

}  // namespace terrain

// 2D polylines and elevation labels of contours, as placement draws them.
#pragma once
#include <cstdint>
#include <vector>

#include "terrain/ContourLine.h"
#include "terrain/PlanarMap.h"

namespace terrain {

// Pens of index and other contours, and the labels' pen and size.
inline constexpr std::int16_t kIndexContourPen = 2;
inline constexpr std::int16_t kContourPen = 1;
inline constexpr std::int16_t kContourLabelPen = 2;
inline constexpr double kContourLabelSize = 2.0;
// The host's anchor code for a text centred on its position.
inline constexpr std::int32_t kContourLabelAnchor = 4;

// Counts of what was drawn.
struct ContourDrawResult {
    int polylines = 0;
    int labels = 0;
    int failures = 0;  // lines too short to draw and host refusals
};

// Draws each contour as a polyline on the layer and labels its index contours; with `smooth` a copy of
// the lines is smoothed first. Labels turn against the project rotation to stay upright. Nothing is
// drawn when `drawLines` is false: labels belong to their lines.
ContourDrawResult drawContours2d(const std::vector<ContourLine>& contours, const PlanarMap& map, double rotation,
                                 std::int32_t layer, bool smooth, bool drawLines);

}  // namespace terrain

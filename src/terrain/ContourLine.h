// One traced contour line at a single level.
#pragma once
#include <vector>

// A planar vertex of a contour, in the frame's coordinates (metres).
struct ContourPoint {
    double x = 0.0;
    double y = 0.0;
    bool operator==(const ContourPoint&) const = default;
};

// A contour: its level, whether it is an index contour (level number a multiple of 5),
// and its vertices in tracing order; a closed contour repeats its first point at the end.
struct ContourLine {
    double z = 0.0;
    bool index = false;
    std::vector<ContourPoint> points;
};

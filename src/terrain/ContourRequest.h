// What the user asks of a contour computation.
#pragma once
#include "geodesy/Bbox.h"

namespace terrain {

// The frame, the terrain step, the interval and whether to smooth.
struct ContourRequest {
    geodesy::Bbox frame;    // metres, in the sheets' coordinates
    int terrainStep = 1;    // whole metres; 1 when <= 0
    double interval = 1.0;  // one of the allowed intervals
    bool smooth = false;    // bilateral smoothing of the grid
};

}  // namespace terrain

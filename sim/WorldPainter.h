// The orthophoto of every scenario: countryside everywhere, and at each place a scenario serves data for, what
// that data describes (the demo town, the blocks of the Polish places, the elevation sites' relief, the LiDAR
// places' coloured points, the structures site).
#pragma once
#include "RasterCanvas.h"

namespace sim {

void paintWorld(RasterCanvas& canvas);
// Fields, meadows and woods in a patchwork, the same at every scale.
void paintCountryside(RasterCanvas& canvas);

}  // namespace sim

// Cuts a frame into terrain patches of regularly sampled ground heights.
#pragma once
#include <string>

#include "geodesy/Bbox.h"
#include "terrain/HeightSource.h"
#include "terrain/TerrainPatch.h"

namespace terrain {

// Most nodes per patch and axis (each patch but the last also takes its neighbour's first node).
inline constexpr int kPatchNodes = 200;
// Most patches per axis.
inline constexpr int kPatchesPerAxis = 4;

// Samples the frame every `step` whole metres (1 when step <= 0) into at most 4 x 4 patches.
// `note` receives the limit message when the frame is too large for the step, else stays empty.
TerrainSet buildTerrainPatches(const geodesy::Bbox& frame, int step, const HeightSource& heights, std::string& note);

}  // namespace terrain

// The terrain and contour branches of a fetch: sheets from the index, parsed, then patches or contours.
#pragma once
#include <string>
#include <vector>

#include "terrain/ContourBuild.h"
#include "terrain/ElevationSheetSource.h"
#include "terrain/TerrainBuild.h"

namespace terrain {

// Terrain patches over the frame at the terrain step; every stop leaves a note and no patches.
TerrainBuildResult fetchTerrain(const geodesy::Bbox& frame, int step, const ElevationSheetSource& source,
                                const FetchProgress& progress);

// Contours over the frame; every stop leaves a note and no contours. The cancel query is also asked
// between sheet downloads.
ContourBuildResult fetchContours(const ContourRequest& request, const ElevationSheetSource& source,
                                 const CancelQuery& cancel, const FetchProgress& progress);

}  // namespace terrain

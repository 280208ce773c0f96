// Terrain and contours of a fetch from the elevation model.
#pragma once

namespace importer {

struct FetchContext;

// Terrain from the elevation model ("teren").
void fetchElevationGroup(FetchContext& ctx);
// Contour lines from the elevation model ("poziomice2d", "poziomice3d").
void fetchContoursGroup(FetchContext& ctx);

}  // namespace importer

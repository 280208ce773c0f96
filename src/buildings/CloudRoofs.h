// Roofs from the point cloud over known footprints: one flat roof per footprint at the median height of the
// building's points, and the LOD2 reconstruction of each footprint.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "buildings/BuildingTypes.h"
#include "buildings/CloudRoofSettings.h"
#include "buildings/PointIndex.h"
#include "buildings/TerrainCells.h"

namespace buildings {

// The flat roof of one footprint; `index` holds `points`.
RoofFitResult roofFromCloud(const std::vector<geodesy::PlanarPoint>& footprint,
                            const std::vector<formats::CloudPoint>& points, const PointIndex& index,
                            const TerrainCells& ground, const CloudRoofSettings& settings = {});

// Progress of the per-footprint loops: the footprint reached (1-based) and the count.
using FootprintProgress = std::function<void(int done, int total)>;

// The LOD2 reconstruction of every footprint, its solids turned outward; the cancel query, when set, ends the
// loop early (the buildings done so far are kept).
std::vector<RoofFitResult> reconstructFootprints(const std::vector<std::vector<geodesy::PlanarPoint>>& footprints,
                                                 const std::vector<formats::CloudPoint>& points,
                                                 const FootprintProgress& progress = {},
                                                 const std::function<bool()>& cancel = {});

// "Rekonstrukcja LOD2: <sheets> kafli, <points> pkt, <buildings> budynkow, Ok(class)=<ok>; typy: <Type>=<count>..."
std::string reconstructionSummary(int sheets, std::size_t points, const std::vector<RoofFitResult>& buildings);

}  // namespace buildings

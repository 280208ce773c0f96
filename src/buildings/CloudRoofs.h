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

// The flat roof of one LOD1 footprint; `index` holds `points`. Trees and noise (classes 3 to 5, 7 and 18) are no
// part of it. Without a roof point it stands 3 m above the nearest ground of the cloud, else above the package's
// ground, and is marked.
RoofFitResult roofFromCloud(const Building3D& building, const std::vector<formats::CloudPoint>& points,
                            const PointIndex& index, const TerrainCells& ground,
                            const CloudRoofSettings& settings = {});

// Progress of the per-footprint loops: the footprint reached (1-based) and the count.
using FootprintProgress = std::function<void(int done, int total)>;

// The LOD2 reconstruction of every LOD1 footprint, its solids turned outward, trees and noise left out; the cancel
// query, when set, ends the loop early (the buildings done so far are kept). A footprint with no point near it
// keeps its package block on the cloud's nearest ground (else the package's ground), marked; one with fewer than
// 20 points of its own is fitted to its neighbourhood's raised points and marked.
std::vector<RoofFitResult> reconstructFootprints(const std::vector<Building3D>& buildings,
                                                 const std::vector<formats::CloudPoint>& points,
                                                 const FootprintProgress& progress = {},
                                                 const std::function<bool()>& cancel = {});

// "Rekonstrukcja LOD2: <sheets> kafli, <points> pkt, <buildings> budynkow, Ok(class)=<ok>; typy: <Type>=<count>..."
std::string reconstructionSummary(int sheets, std::size_t points, const std::vector<RoofFitResult>& buildings);

}  // namespace buildings

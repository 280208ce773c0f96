// Running the groups of one fetch, and the groups small enough to live beside the run.
#pragma once

namespace importer {

struct FetchContext;

// Runs every group a requested layer lists, in the table's group order; a failing group only adds to the
// warning.
void runFetchGroups(FetchContext& ctx);

// General plan zones and local plan drawings ("pog", "mpzp").
void fetchPlanningGroup(FetchContext& ctx);
// Large-scale base map ("bdot500") as a raster from the county WMS.
void fetchBaseMapGroup(FetchContext& ctx);
// Orthophoto ("rastr") from the national WMS.
void fetchOrthoGroup(FetchContext& ctx);
// Terrain, contours and water from LiDAR ("terenchmura", "poziomicechmura", "wodachmura").
void fetchCloudTerrainGroup(FetchContext& ctx);
// LOD1 building solids ("budynki3d", also as footprints for the cloud and surface-model branches).
void fetchBuildings3dGroup(FetchContext& ctx);
// Buildings from the normalised surface model ("budynkindsm").
void fetchNdsmBuildingsGroup(FetchContext& ctx);
// Bridges and roads ("mosty", "drogi").
void fetchBridgesRoadsGroup(FetchContext& ctx);
// LOD2 building models ("budynkilod2").
void fetchBuildingsLod2Group(FetchContext& ctx);
// Roofs fitted to LiDAR ("dachychmura").
void fetchCloudRoofsGroup(FetchContext& ctx);
// LOD2 reconstruction from LiDAR ("budynkirekon").
void fetchReconstructionGroup(FetchContext& ctx);

}  // namespace importer

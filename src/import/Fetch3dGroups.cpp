#include "import/FetchGroups.h"

// The point-cloud, building-model and surface-model branches are not wired in yet.
void fetchCloudTerrainGroup(FetchContext&) {}
void fetchBuildings3dGroup(FetchContext&) {}
void fetchNdsmBuildingsGroup(FetchContext&) {}
void fetchBridgesRoadsGroup(FetchContext&) {}
void fetchBuildingsLod2Group(FetchContext&) {}
void fetchCloudRoofsGroup(FetchContext&) {}
void fetchReconstructionGroup(FetchContext&) {}

#include "import/FetchGroups.h"

// Terrain and contours from the elevation model are not wired in yet.
void fetchElevationGroup(FetchContext&) {}
void fetchContoursGroup(FetchContext&) {}

// Placement of the county building models: LOD1 blocks as slabs, LOD2 buildings as morphs.
#pragma once
#include "host/Host.h"

namespace importer {

struct PlacementContext;

// LOD1 blocks as slabs, skipping those a LOD2 model of the same id replaces; never aborts.
host::HostError placeLod1Buildings(PlacementContext& c);
// LOD2 buildings as morphs, each tried with ever simpler bodies; never aborts.
host::HostError placeLod2Buildings(PlacementContext& c);

}  // namespace importer

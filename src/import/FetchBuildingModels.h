// The county building packages of the open-data portal: LOD1 blocks ("budynki3d") and LOD2 models
// ("budynkilod2"), downloaded through the cache and read only where their sheets touch the frame.
#pragma once
#include <string>
#include <vector>

#include "buildings/BuildingTypes.h"

namespace importer {

struct FetchContext;

// LOD1 blocks in the frame. Failures go to the fetch's warning at once; the closing note (year, county, count)
// is returned in `note`.
std::vector<buildings::Building3D> fetchBuildings3d(FetchContext& ctx, std::string& note);
// LOD2 buildings in the frame, likewise; `noCoverage` tells whether the county has no LOD2 buildings there (no
// package, or a package read whole with none in the frame), as opposed to a failure.
std::vector<buildings::BuildingLod2> fetchBuildingsLod2(FetchContext& ctx, std::string& note,
                                                        bool* noCoverage = nullptr);

}  // namespace importer

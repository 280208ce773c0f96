// The kinds of element in their fixed placement order: rasters, 2D objects, then the layers' own steps.
#pragma once
#include <vector>

#include "host/Host.h"
#include "import/FetchedData.h"

namespace importer {

struct PlacementContext;

// One kind of element. A step without a maker is a kind whose placement does not exist yet: its data are
// reported as not placed.
struct PlacementStep {
    int number = 0;
    const char* what = "";  // the kind, for the user
    bool (*hasData)(const FetchedData&) = nullptr;
    host::HostError (*make)(PlacementContext&) = nullptr;  // 0, or the code of an abort
};

// The steps in placement order.
const std::vector<PlacementStep>& placementSteps();
// Runs every step that has data, in order; stops at an abort and answers its code.
host::HostError runPlacementSteps(PlacementContext& context);

}  // namespace importer

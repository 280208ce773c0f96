// Placement: the stored fetch result turned into host elements in one undoable command.
#pragma once
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "geodesy/Bbox.h"
#include "geodesy/Epsg.h"
#include "import/FetchedData.h"
#include "settings/Settings.h"

namespace importer {

// Name of the undoable command that holds one placement.
inline constexpr const char* kPlacementCommandName = "Import GIS";

// What one placement works from: the stored fetch and the settings it reads layer names and the height
// anchor from, and writes a new anchor back to.
struct PlacementRequest {
    const FetchedData& data;                    // the last fetch's result
    const std::vector<std::string>& layerKeys;  // the layer keys of that fetch
    geodesy::Bbox frame;                        // its frame, PL-1992
    int fetchEpsg = geodesy::kEpsgPl1992;       // its PL-2000 zone
    bool smoothContours = false;
    settings::Settings& settings;
};

// "place" after its two preconditions: checks, anchor, the command, counts and the reply.
nlohmann::json runPlacement(const PlacementRequest& request);

}  // namespace importer

// "setOrigin": writes the project's georeference from the centre of the map.
#pragma once
#include <nlohmann/json.hpp>

#include "net/WfsClient.h"

namespace importer {

// Writes the PL-2000 georeference of the message's "lat"/"lon" into the project (dropping CRS texts the host
// refuses) and starts the terrain-height lookup with a client set up like `webClient`; "originSet" or "error".
nlohmann::json setProjectOrigin(const nlohmann::json& msg, const net::WfsClient& webClient);

}  // namespace importer

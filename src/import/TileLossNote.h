// The user's note on a tiled layer that did not come whole: never a partial layer passed as complete.
#pragma once
#include <string>

#include "net/WfsClient.h"

namespace importer {

// "" when every tile came; otherwise how many of how many tiles are missing, or that the service did not
// answer at all, or that the frame was too large or the fetch cancelled. `what` names the layer ("Dzialki").
std::string tileLossNote(const std::string& what, const net::TiledFetchOutcome& outcome);
// True when the service gave no usable tile at all (a failure, not an absence of data).
bool serviceFailed(const net::TiledFetchOutcome& outcome);

}  // namespace importer

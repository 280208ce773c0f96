// Bridge and road ways of a frame from the OpenStreetMap Overpass API.
#pragma once
#include <string>
#include <vector>

#include "geodesy/Bbox.h"
#include "net/OsmWay.h"

namespace net {

class WfsClient;

// Frames larger than this (square metres) are refused before asking.
constexpr double kOverpassMaxArea = 2.5e7;

// The ways of the frame (PL-1992 metres) in answer order; on a refused frame, a failed request or an answer that
// is not whole (an HTML page, broken JSON, a runtime error the server remarks on) `error` receives the text for
// the user and the list is empty. Nothing is asked when neither kind is wanted.
std::vector<OsmWay> queryOsmWays(WfsClient& client, const geodesy::Bbox& frame, bool bridges, bool roads,
                                 std::string& error);

// The Overpass QL text for a south, west, north, east box.
std::string overpassQuery(const std::string& box, bool bridges, bool roads);
// Width of a way from its "width" and "lanes" tags, else from its kind.
double osmWayWidth(const std::string& width, const std::string& lanes, const std::string& kind, bool bridge);
// The ways of an Overpass JSON answer; empty, with `error` set, for a body that is not a whole answer.
std::vector<OsmWay> parseOverpassWays(const std::string& body, std::string& error);

}  // namespace net

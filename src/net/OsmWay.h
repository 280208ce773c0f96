// One OpenStreetMap way of an Overpass answer: a bridge or road centreline in PL-1992 with its width.
#pragma once
#include <string>
#include <vector>

#include "geodesy/PlanarPoint.h"

namespace net {

struct OsmWay {
    std::vector<geodesy::PlanarPoint> points;  // PL-1992, in the answer's order, at least 2
    std::string kind;                          // "highway", else "railway"
    std::string name;
    double width = 0.0;  // metres
    bool bridge = false;
};

}  // namespace net

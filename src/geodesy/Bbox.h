// An axis-aligned planar frame in metres.
#pragma once
#include "geodesy/PlanarPoint.h"

namespace geodesy {

// Minimum easting, minimum northing, maximum easting, maximum northing (in this order).
struct Bbox {
    double minE = 0.0;
    double minN = 0.0;
    double maxE = 0.0;
    double maxN = 0.0;

    PlanarPoint centre() const { return {(minE + maxE) / 2.0, (minN + maxN) / 2.0}; }
    double width() const { return maxE - minE; }
    double height() const { return maxN - minN; }
    bool contains(PlanarPoint p) const { return p.x >= minE && p.x <= maxE && p.y >= minN && p.y <= maxN; }
    bool operator==(const Bbox&) const = default;
};

}  // namespace geodesy

// An axis-aligned planar frame in metres.
#pragma once
#include <algorithm>
#include <initializer_list>

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

// The smallest frame holding every point, e.g. a frame's corners mapped into another system.
inline Bbox boundsOf(std::initializer_list<PlanarPoint> points) {
    Bbox box{points.begin()->x, points.begin()->y, points.begin()->x, points.begin()->y};
    for (const PlanarPoint& p : points) {
        box.minE = std::min(box.minE, p.x);
        box.minN = std::min(box.minN, p.y);
        box.maxE = std::max(box.maxE, p.x);
        box.maxN = std::max(box.maxN, p.y);
    }
    return box;
}

}  // namespace geodesy

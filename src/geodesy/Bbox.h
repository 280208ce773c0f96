// An axis-aligned planar frame in metres.
#pragma once
#include "geodesy/Coordinates.h"

// Minimum easting, minimum northing, maximum easting, maximum northing (in this order).
struct Bbox {
    double minE = 0.0;
    double minN = 0.0;
    double maxE = 0.0;
    double maxN = 0.0;

    EN centre() const { return {(minE + maxE) / 2.0, (minN + maxN) / 2.0}; }
    double width() const { return maxE - minE; }
    double height() const { return maxN - minN; }
    bool contains(EN p) const { return p.e >= minE && p.e <= maxE && p.n >= minN && p.n <= maxN; }
    bool operator==(const Bbox&) const = default;
};

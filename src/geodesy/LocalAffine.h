// A linearisation of the PL-1992 -> PL-2000 conversion around one point, for converting many nearby points cheaply.
#pragma once
#include "geodesy/PlanarPoint.h"

namespace geodesy {

// Eight doubles: the PL-1992 centre, its PL-2000 image, and the PL-2000 change per metre of PL-1992
// easting and per metre of PL-1992 northing.
struct LocalAffine {
    double centre1992E = 0.0;
    double centre1992N = 0.0;
    double centre2000E = 0.0;
    double centre2000N = 0.0;
    double eastPerEast = 1.0;    // d(E2000)/d(E1992)
    double northPerEast = 0.0;   // d(N2000)/d(E1992)
    double eastPerNorth = 0.0;   // d(E2000)/d(N1992)
    double northPerNorth = 1.0;  // d(N2000)/d(N1992)

    // The PL-2000 point of a PL-1992 point near the centre.
    PlanarPoint apply(PlanarPoint q) const {
        const double de = q.x - centre1992E;
        const double dn = q.y - centre1992N;
        return {centre2000E + de * eastPerEast + dn * eastPerNorth,
                centre2000N + de * northPerEast + dn * northPerNorth};
    }
    bool operator==(const LocalAffine&) const = default;
};

}  // namespace geodesy

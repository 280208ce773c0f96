// A planar point in metres.
#pragma once

namespace geodesy {

// x = easting, y = northing (PL-1992, a PL-2000 zone, or a frame's local metres).
struct PlanarPoint {
    double x = 0.0;
    double y = 0.0;
    bool operator==(const PlanarPoint&) const = default;
};

}  // namespace geodesy

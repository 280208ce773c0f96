// A point in space in metres.
#pragma once

namespace geodesy {

// x = easting, y = northing (as PlanarPoint), z = height above sea level.
struct SpatialPoint {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    bool operator==(const SpatialPoint&) const = default;
};

}  // namespace geodesy
